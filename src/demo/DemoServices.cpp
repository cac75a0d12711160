#include "demo/DemoServices.h"

#include "demo/DemoData.h"
#include "model/Preferences.h"
#include "services/LoginItemService.h"
#include "services/WiFiMonitor.h"

#include <QMetaObject>
#include <QPointer>

namespace corvane::DemoFixture {

namespace {

QString text(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

// The demo interface with still counters: a loop started by mistake shows no traffic.
class DemoNetSource final : public NetSource {
public:
    PrimaryRoute primaryInterface() override
    {
        return {std::string(interfaceName), std::string(routerIP), 1};
    }
    uint32_t indexOf(const std::string& name) override { return name == interfaceName; }
    std::optional<LinkCounters> readCounters(uint32_t index) override
    {
        if (index != 1)
            return std::nullopt;
        return LinkCounters{totalInBytes, totalOutBytes, uint64_t(linkMbps * 1e6)};
    }
    uint64_t linkEpoch() override { return 0; }
};

class DemoClock final : public SampleClock {
public:
    std::chrono::nanoseconds now() override { return std::chrono::seconds(tick_ += 2); }

private:
    int tick_ = 0;
};

// One station interface joined to the demo network; the monitor derives the radio row.
class DemoWiFiSource final : public WiFiSource {
public:
    std::vector<WiFiInterface> readInterfaces() override
    {
        return {{1, std::string(interfaceName), true, std::string(ssid), radio.frequencyMHz}};
    }
    std::optional<WiFiBss> readLink(uint32_t) override
    {
        return WiFiBss{{2, 0, 0, 0, 0, 1}, std::string(ssid), radio.frequencyMHz, radio.rssi * 100};
    }
    std::optional<WiFiStation> readStation(uint32_t, const std::optional<MacAddress>&) override
    {
        return WiFiStation{radio.rssi, std::nullopt, radio.txRate100kbps, WiFiGeneration::he};
    }
    std::optional<int> readNoise(uint32_t, uint32_t) override { return radio.noise; }
};

class DemoLinks final : public LinkDirectory {
public:
    LinkKind kind(const std::string& name) override
    {
        return name == interfaceName ? linkKind : LinkKind::other;
    }
    std::optional<std::string> localIPv4(const std::string& name) override
    {
        if (name != interfaceName)
            return std::nullopt;
        return std::string(localIP);
    }
    std::vector<std::string> upInterfaces() override { return {std::string(interfaceName)}; }
};

// Answers from the event loop like the real services, dropped when the context goes.
template <typename T> void answerLater(const QObject* context, std::function<void(T)> done, T value)
{
    QMetaObject::invokeMethod(
        const_cast<QObject*>(context),
        [done = std::move(done), value = std::move(value)] { done(value); }, Qt::QueuedConnection);
}

class DemoPublicAddress final : public PublicAddressLookup {
public:
    void fetch(const QObject* context, Callback done) override
    {
        answerLater<std::optional<QString>>(context, std::move(done), text(publicIP));
    }
};

class DemoDish final : public DishProbe {
public:
    ProbeHandle reachable(QObject* context, std::function<void(bool)> done) override
    {
        // Shared with the handle, so a cancel answers now and the queued answer finds nothing.
        auto answer = std::make_shared<std::function<void(bool)>>(std::move(done));
        answerLater<bool>(
            context,
            [answer](bool ok) {
                if (*answer)
                    std::exchange(*answer, nullptr)(ok);
            },
            starlinkReachable);
        return ProbeHandle([answer] {
            if (*answer)
                std::exchange(*answer, nullptr)(false);
        });
    }
};

} // namespace

ModelServices services(std::unique_ptr<Preferences> preferences,
                       std::unique_ptr<LoginItemService> loginItem,
                       std::unique_ptr<Desktop> desktop)
{
    ModelServices s;
    s.sampler = std::make_unique<NetSampler>(std::make_unique<DemoNetSource>(),
                                             std::make_unique<DemoClock>());
    s.preferences = std::move(preferences);
    s.links = std::make_unique<DemoLinks>();
    s.desktop = std::move(desktop);
    s.wifi = std::make_unique<WiFiMonitor>(std::make_unique<DemoWiFiSource>());
    s.loginItem = std::move(loginItem);
    s.publicAddress = std::make_unique<DemoPublicAddress>();
    s.dish = std::make_unique<DemoDish>();
    return s;
}

ModelSeed seed(bool privacy)
{
    ModelSeed s;
    s.history = samples();
    s.current = current;
    s.sessionStart = QDateTime(QDate(2026, 1, 5), QTime(sessionStartHour, sessionStartMinute));
    s.totalInBytes = totalInBytes;
    s.totalOutBytes = totalOutBytes;
    s.interfaceName = text(interfaceName);
    s.linkKind = linkKind;
    s.linkMbps = linkMbps;
    s.privacyMode = privacy;
    s.starlinkReachable = starlinkReachable;
    s.starlinkDashboardURL = QUrl(text(starlinkDashboardURL));
    s.routerIP = text(routerIP);
    s.publicIP = text(publicIP);
    return s;
}

} // namespace corvane::DemoFixture
