#pragma once

#include "measure/NetSampler.h"
#include "model/AppViewModel.h"
#include "model/Preferences.h"
#include "platform/SystemEvents.h"
#include "platform/autostart/XdgAutostart.h"
#include "services/LoginItemService.h"
#include "services/PublicIPService.h"
#include "services/WiFiMonitor.h"
#include "support/FakeNetSource.h"
#include "support/LoopbackHttp.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace corvane::testing {

class FakeSleepEvents final : public SleepEvents {
public:
    void sleep() { Q_EMIT displaysSlept(); }
    void wake() { Q_EMIT displaysWoke(); }
};

class FakePowerState final : public PowerState {
public:
    bool lowPowerMode() const override { return on; }
    bool on = false;
};

// A Wi-Fi source with no interfaces that counts radio reads.
class CountingWiFiSource final : public WiFiSource {
public:
    explicit CountingWiFiSource(int* reads) : reads_(reads) {}
    std::vector<WiFiInterface> readInterfaces() override
    {
        ++*reads_;
        return {};
    }
    std::optional<WiFiBss> readLink(uint32_t) override { return std::nullopt; }
    std::optional<WiFiStation> readStation(uint32_t, const std::optional<MacAddress>&) override
    {
        return std::nullopt;
    }
    std::optional<int> readNoise(uint32_t, uint32_t) override { return std::nullopt; }

private:
    int* reads_;
};

class ModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qunsetenv("CORVANE_DEMO");
        ASSERT_TRUE(dir.isValid());
        dishListener.listen(QHostAddress::LocalHost);
        dish = {QStringLiteral("127.0.0.1"), dishListener.serverPort()};
    }
    void TearDown() override { qunsetenv("CORVANE_DEMO"); }

    QString prefsPath() const { return dir.filePath(QStringLiteral("corvane.conf")); }

    std::unique_ptr<AppViewModel> makeModel(double waitScale = 0.005)
    {
        ModelServices s;
        s.sampler = std::make_unique<NetSampler>(std::make_unique<FakeNetSource>(net),
                                                 std::make_unique<FakeClock>(net));
        s.preferences = std::make_unique<Preferences>(prefsPath());
        auto sleepEvents = std::make_unique<FakeSleepEvents>();
        sleep = sleepEvents.get();
        s.sleepEvents = std::move(sleepEvents);
        auto power = std::make_unique<FakePowerState>();
        powerState = power.get();
        s.powerState = std::move(power);
        s.classify = [this](const std::string& name) {
            ++classifyCalls;
            return name.starts_with("wlan") ? LinkKind::wifi : LinkKind::ethernet;
        };
        s.localIPv4 = [this](const std::string& name) -> std::optional<std::string> {
            ++localIPCalls;
            return name == "eth0" ? std::optional<std::string>("198.51.100.7") : std::nullopt;
        };
        s.upInterfaces = [] { return std::vector<std::string>{"eth0", "wlan0"}; };
        s.openUrl = [this](const QUrl& u) { opened.append(u); };
        s.copyText = [this](const QString& t) { copied.append(t); };
        s.wifi = std::make_unique<WiFiMonitor>(std::make_unique<CountingWiFiSource>(&wifiReads));
        s.loginItem = std::make_unique<LoginItemService>(XdgAutostart(
            dir.filePath(QStringLiteral("config")), {}, QStringLiteral("/usr/bin/corvane")));
        PublicIPOptions ip;
        ip.endpoint = publicIPEndpoint;
        ip.inactivityTimeout = std::chrono::milliseconds(500);
        ip.overallTimeout = std::chrono::milliseconds(1000);
        s.publicIPService = std::make_unique<PublicIPService>(ip);
        s.dish = dish;
        s.probeTimeout = std::chrono::milliseconds(200);
        s.dishyUrl = QUrl(QStringLiteral("http://dish.invalid/"));
        s.waitScale = waitScale;
        return std::make_unique<AppViewModel>(std::move(s));
    }

    // Waits for `n` more applied ticks.
    static bool waitTicks(AppViewModel& m, int n)
    {
        QSignalSpy spy(&m, &AppViewModel::tickApplied);
        while (spy.count() < n) {
            if (!spy.wait(3000))
                return false;
        }
        return true;
    }

    static bool waitRefresh(AppViewModel& m)
    {
        QSignalSpy done(&m, &AppViewModel::panelRefreshFinished);
        return done.wait(5000);
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
    FakeSleepEvents* sleep = nullptr;
    FakePowerState* powerState = nullptr;
    int classifyCalls = 0;
    int localIPCalls = 0;
    int wifiReads = 0;
    // Loopback only: a dish that accepts connections and an address service.
    QTcpServer dishListener;
    StarlinkProbe::Target dish;
    LoopbackHttp echo{"203.0.113.9\n"};
    QString publicIPEndpoint = echo.url();
    QList<QUrl> opened;
    QStringList copied;
};

} // namespace corvane::testing
