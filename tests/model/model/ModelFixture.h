#pragma once

#include "demo/DemoFixture.h"
#include "demo/DemoServices.h"
#include "measure/NetSampler.h"
#include "model/AppViewModel.h"
#include "model/Preferences.h"
#include "platform/SystemEvents.h"
#include "services/LoginItemService.h"
#include "services/WiFiMonitor.h"
#include "support/FakeNetSource.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace corvane::testing {

// The public-address lookup as the model sees it: answers later, as a network answer would,
// or holds every answer until released.
struct FakeLookup final {
    bool hold = false;
    int requests = 0;
    std::vector<std::pair<const QObject*, PublicAddressLookup::Callback>> held;

    void release()
    {
        hold = false;
        for (auto& [context, done] : std::exchange(held, {}))
            QTimer::singleShot(50, context, [done] { done(QStringLiteral("203.0.113.9")); });
    }
};

class ModelTest : public ::testing::Test {
protected:
    // Every port over the fixture's state; each owner holds its own instance. The Wi-Fi
    // source has no interfaces and counts reads.
    struct Ports : PowerState,
                   LinkDirectory,
                   Desktop,
                   Autostart,
                   PublicAddressLookup,
                   DishProbe,
                   WiFiSource {
        ModelTest& t;
        explicit Ports(ModelTest& test) : t(test) {}
        bool lowPowerMode() const override { return t.lowPower; }
        LinkKind kind(const std::string& name) override
        {
            ++t.classifyCalls;
            return name.starts_with("wlan") ? LinkKind::wifi : LinkKind::ethernet;
        }
        std::optional<std::string> localIPv4(const std::string& name) override
        {
            ++t.localIPCalls;
            return name == "eth0" ? std::optional<std::string>("198.51.100.7") : std::nullopt;
        }
        std::vector<std::string> upInterfaces() override { return {"eth0", "wlan0"}; }
        void openUrl(const QUrl& url) override { t.opened.append(url); }
        void copyText(const QString& text) override { t.copied.append(text); }
        bool isEnabled() const override { return t.autostartOn; }
        // A regular file where the configuration directory goes refuses the entry.
        std::optional<QString> install() override
        {
            if (QFileInfo(t.dir.filePath(QStringLiteral("config"))).isFile())
                return QStringLiteral("config: Not a directory");
            return t.autostartOn = true, std::nullopt;
        }
        std::optional<QString> uninstall() override { return t.autostartOn = false, std::nullopt; }
        void fetch(const QObject* context, Callback done) override
        {
            ++t.echo.requests;
            t.echo.held.emplace_back(context, std::move(done));
            if (!t.echo.hold)
                t.echo.release();
        }
        ProbeHandle reachable(QObject* context, std::function<void(bool)> done) override
        {
            auto answer = std::make_shared<std::function<void(bool)>>(std::move(done));
            const auto once = [answer](bool ok) {
                if (*answer)
                    std::exchange(*answer, nullptr)(ok);
            };
            QTimer::singleShot(50, context, [once, ok = t.dishListening] { once(ok); });
            return ProbeHandle([once] { once(false); });
        }
        std::vector<WiFiInterface> readInterfaces() override
        {
            ++t.wifiReads;
            return {};
        }
        std::optional<WiFiBss> readLink(uint32_t) override { return std::nullopt; }
        std::optional<WiFiStation> readStation(uint32_t, const std::optional<MacAddress>&) override
        {
            return std::nullopt;
        }
        std::optional<int> readNoise(uint32_t, uint32_t) override { return std::nullopt; }
    };
    QString prefsPath() const { return dir.filePath(QStringLiteral("corvane.conf")); }

    std::unique_ptr<AppViewModel> makeModel(double waitScale = 0.005)
    {
        ModelServices s;
        s.sampler = std::make_unique<NetSampler>(std::make_unique<FakeNetSource>(net),
                                                 std::make_unique<FakeClock>(net));
        s.preferences = std::make_unique<Preferences>(prefsPath());
        s.sleepEvents = std::make_unique<SleepEvents>();
        sleep = s.sleepEvents.get();
        s.powerState = std::make_unique<Ports>(*this);
        s.links = std::make_unique<Ports>(*this);
        s.desktop = std::make_unique<Ports>(*this);
        s.wifi = std::make_unique<WiFiMonitor>(std::make_unique<Ports>(*this));
        s.loginItem = std::make_unique<LoginItemService>(std::make_unique<Ports>(*this));
        s.publicAddress = std::make_unique<Ports>(*this);
        s.dish = std::make_unique<Ports>(*this);
        s.dishyUrl = QUrl(QStringLiteral("http://dish.invalid/"));
        s.waitScale = waitScale;
        auto m = std::make_unique<AppViewModel>(std::move(s));
        m->start();
        return m;
    }

    // The seeded model main makes in demo mode.
    std::unique_ptr<AppViewModel> makeDemoModel()
    {
        auto m = std::make_unique<AppViewModel>(DemoFixture::services(
            std::make_unique<Preferences>(prefsPath()),
            std::make_unique<LoginItemService>(std::make_unique<Ports>(*this)),
            std::make_unique<Ports>(*this)));
        m->seed(DemoFixture::seed(DemoFixture::privacy()));
        return m;
    }

    // Waits for `n` more applied ticks.
    static bool waitTicks(AppViewModel& m, int n)
    {
        QSignalSpy spy(&m, &AppViewModel::tickApplied);
        return QTest::qWaitFor([&] { return spy.count() >= n; }, 3000 * n);
    }
    static bool waitRefresh(AppViewModel& m)
    {
        return QSignalSpy(&m, &AppViewModel::panelRefreshFinished).wait(5000);
    }

    QTemporaryDir dir;
    // eth0 is primary; wlan0 and veth1 exist; every clock read is two seconds later.
    std::shared_ptr<FakeNet> net = [] {
        auto n = std::make_shared<FakeNet>();
        n->primary = {"eth0", "192.0.2.1"};
        n->indexes = {{"eth0", 2}, {"wlan0", 3}, {"veth1", 7}};
        for (uint32_t i : {2u, 3u, 7u})
            n->counters[i] = {0, 0, 1'000'000'000};
        n->clockStep = std::chrono::seconds(2);
        return n;
    }();
    SleepEvents* sleep = nullptr;
    bool lowPower = false;
    int classifyCalls = 0;
    int localIPCalls = 0;
    int wifiReads = 0;
    bool autostartOn = false;
    bool dishListening = true; // a cancel answers false at once and only once
    FakeLookup echo;
    QList<QUrl> opened;
    QStringList copied;
};

} // namespace corvane::testing
