#include "services/WiFiMonitor.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <map>
#include <sys/eventfd.h>
#include <unistd.h>

using namespace corvane;
using Radio = WiFiMonitor::Radio;

namespace {

const MacAddress apBssid{2, 0, 0, 0, 0, 1};

// Scriptable Wi-Fi state the test keeps while the monitor owns the source. Events arrive
// through a real descriptor so the event-loop path is the one in use.
struct FakeWiFi final : WiFiSource {
    std::vector<WiFiInterface> interfaces{{2, "wlx0", false, std::nullopt, 2412},
                                          {3, "wlan0", true, std::nullopt, 5180}};
    std::map<uint32_t, WiFiBss> links{{3, {apBssid, "HomeNet", 5180, -6100}}};
    std::map<uint32_t, WiFiStation> stations{{3, {-55, -57, 5735, WiFiGeneration::he}}};
    std::map<uint32_t, int> noise{{3, -92}};
    std::optional<MacAddress> askedBssid;
    int interfaceReads = 0;
    int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);

    ~FakeWiFi() override { close(fd); }
    template <typename M> static std::optional<typename M::mapped_type> at(const M& m, uint32_t k)
    {
        auto it = m.find(k);
        return it == m.end() ? std::nullopt : std::optional(it->second);
    }
    std::vector<WiFiInterface> readInterfaces() override { return ++interfaceReads, interfaces; }
    std::optional<WiFiBss> readLink(uint32_t i) override { return at(links, i); }
    std::optional<WiFiStation> readStation(uint32_t i, const std::optional<MacAddress>& b) override
    {
        askedBssid = b;
        return at(stations, i);
    }
    std::optional<int> readNoise(uint32_t i, uint32_t) override { return at(noise, i); }
    int eventDescriptor() const override { return fd; }
    bool takeNetworkChange() override
    {
        uint64_t n;
        return ::read(fd, &n, sizeof n) == sizeof n;
    }
    void postEvent()
    {
        uint64_t one = 1;
        (void)!::write(fd, &one, sizeof one);
    }
};

struct WiFiMonitorTest : ::testing::Test {
    FakeWiFi* wifi = new FakeWiFi;
    WiFiMonitor m{std::unique_ptr<WiFiSource>(wifi)};
};

} // namespace

TEST(WiFiRadio, BarsAndTooltip)
{
    Radio r{-55, -92, 573.9, "5 GHz", 36, "Wi-Fi 6"};
    EXPECT_EQ(r.tooltip(), "Signal -55 dBm, noise -92 dBm, link rate 573 Mb/s");
    r.noise.reset();
    EXPECT_EQ(r.tooltip(), "Signal -55 dBm, link rate 573 Mb/s");

    for (auto [rssi, bars] : {std::pair{-95, 1},
                              {-81, 1},
                              {-80, 2},
                              {-71, 2},
                              {-70, 3},
                              {-61, 3},
                              {-60, 4},
                              {-45, 4}}) {
        r.rssi = rssi;
        EXPECT_EQ(r.bars(), bars) << rssi;
    }
}

TEST(WiFiRadio, BandAndChannelFromFrequency)
{
    const std::tuple<uint32_t, int, const char*> rows[] = {
        {2412, 1, "2.4 GHz"}, {2484, 14, "2.4 GHz"}, {4920, 184, "5 GHz"}, {5180, 36, "5 GHz"},
        {5895, 179, "5 GHz"}, {5935, 2, "6 GHz"},    {5955, 1, "6 GHz"},   {7115, 233, "6 GHz"},
        {0, 0, ""},           {60480, 0, ""}};
    for (auto [mhz, channel, band] : rows) {
        EXPECT_EQ(WiFiMonitor::channel(mhz), channel) << mhz;
        EXPECT_EQ(WiFiMonitor::band(mhz), QString(band)) << mhz;
    }
}

TEST(WiFiRadio, SsidBytesAreShownWhole)
{
    EXPECT_EQ(WiFiMonitor::displayName("Caf\xc3\xa9"), QString::fromUtf8("Café"));
    // Invalid bytes, a cut-off sequence and bytes that would break the line show as
    // replacement characters; nothing after them is lost.
    const QString shown = WiFiMonitor::displayName(std::string("a\xff\nb\0c\xe2\x82", 8));
    const QChar bad = QChar::ReplacementCharacter;
    EXPECT_EQ(shown.left(6), QString("a") + bad + bad + "b" + bad + "c");
    EXPECT_TRUE(shown.size() > 6 && shown.mid(6).count(bad) == shown.size() - 6);
    EXPECT_EQ(WiFiMonitor::displayName(std::string(32, 'x')).size(), 32);
}

TEST_F(WiFiMonitorTest, NameFromInterfaceOrTheAssociatedBss)
{
    EXPECT_EQ(m.ssid(), "HomeNet"); // no attribute: the scan's SSID element
    EXPECT_TRUE(m.authorized());
    wifi->interfaces[1].ssid = "FromAttr";
    m.read();
    EXPECT_EQ(m.ssid(), "FromAttr");
    wifi->interfaces[1].ssid = "";
    wifi->links[3].ssid = "";
    m.read();
    EXPECT_EQ(m.ssid(), std::nullopt);

    // The measured interface wins when it is a station; otherwise the first station.
    wifi->interfaces.push_back({7, "wlan1", true, "Second", 2437});
    wifi->interfaces.push_back({8, "ap0", false, "Hotspot", 2437});
    m.setPreferredInterface("wlan1");
    EXPECT_EQ(m.ssid(), "Second");
    m.setPreferredInterface("ap0");
    EXPECT_EQ(m.ssid(), std::nullopt);
}

TEST_F(WiFiMonitorTest, RadioOfTheAssociation)
{
    EXPECT_FALSE(m.radio()); // read only when asked
    m.readRadio();
    EXPECT_EQ(m.radio(), (Radio{-55, -92, 573.5, "5 GHz", 36, "Wi-Fi 6"}));
    EXPECT_EQ(wifi->askedBssid, apBssid);

    // 802.11g, frequency only from the BSS, no noise from the driver.
    wifi->interfaces[1].frequencyMHz = 0;
    wifi->links[3].frequencyMHz = 2437;
    wifi->stations[3] = {-48, std::nullopt, 540, WiFiGeneration::legacy};
    wifi->noise.clear();
    m.readRadio();
    EXPECT_EQ(m.radio(), (Radio{-48, std::nullopt, 54, "2.4 GHz", 6, ""}));

    wifi->stations[3].signalDbm.reset();
    wifi->stations[3].beaconSignalAvgDbm = -57;
    m.readRadio();
    EXPECT_EQ(m.radio()->rssi, -57);
    wifi->stations.clear(); // last resort: the BSS's mBm; no rate, no generation
    wifi->links[3].signalMbm = -6150;
    m.readRadio();
    EXPECT_EQ(m.radio(), (Radio{-62, std::nullopt, 0, "2.4 GHz", 6, ""}));
    wifi->links[3].signalMbm.reset(); // no honest signal at all
    m.readRadio();
    EXPECT_FALSE(m.radio());
}

TEST_F(WiFiMonitorTest, NotifiesOnlyOnChange)
{
    QSignalSpy ssid(&m, &WiFiMonitor::ssidChanged);
    QSignalSpy radio(&m, &WiFiMonitor::radioChanged);
    m.read();
    m.readRadio();
    m.readRadio();
    EXPECT_EQ(ssid.count(), 0);
    EXPECT_EQ(radio.count(), 1);
    wifi->noise.clear(); // known to unknown noise is a change
    m.readRadio();
    EXPECT_EQ(radio.count(), 2);

    wifi->links.erase(3); // no longer joined, though a station entry lingers
    m.readRadio();
    m.readRadio();
    m.read();
    m.read();
    EXPECT_FALSE(m.radio());
    EXPECT_EQ(radio.count(), 3);
    EXPECT_EQ(ssid.count(), 1);
    wifi->interfaces.clear();
    m.readRadio();
    EXPECT_EQ(radio.count(), 3);
}

TEST_F(WiFiMonitorTest, NetworkChangeEventRereadsTheNameOnly)
{
    m.readRadio();
    const auto radioBefore = m.radio();
    const int readsBefore = wifi->interfaceReads;
    wifi->links[3] = {{2, 0, 0, 0, 0, 7}, "Office", 2412, -4000};
    wifi->postEvent();
    wifi->postEvent();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m.ssid() == "Office"; }, 2000));
    QTest::qWait(20);
    EXPECT_EQ(wifi->interfaceReads, readsBefore + 1); // two events, one refresh
    EXPECT_EQ(m.radio(), radioBefore);
}

TEST(WiFiMonitorDemo, FixedNameAndSeededRadioOnly)
{
    WiFiMonitor m(QStringLiteral("HomeNet-5G"));
    EXPECT_TRUE(m.demo() && m.authorized() && !m.radio());
    QSignalSpy spy(&m, &WiFiMonitor::radioChanged);
    const Radio demo{-54, -91, 1200, "5 GHz", 44, "Wi-Fi 6"};
    m.seedDemo(demo);
    m.seedDemo(demo);
    m.read();
    m.readRadio();
    m.setPreferredInterface("wlan0");
    EXPECT_EQ(m.ssid(), "HomeNet-5G");
    EXPECT_EQ(m.radio(), demo);
    EXPECT_EQ(spy.count(), 1);
}

// This machine: without Wi-Fi hardware the live monitor reports none, without error.
TEST(WiFiMonitorKernel, LiveMonitorOnThisMachine)
{
    WiFiMonitor m;
    m.readRadio();
    std::cout << "ssid " << (m.ssid() ? m.ssid()->toStdString() : "none") << ", radio "
              << (m.radio() ? m.radio()->tooltip().toStdString() : "none") << "\n";
    if (!QDir("/sys/class/ieee80211").exists()) {
        EXPECT_FALSE(m.ssid());
        EXPECT_FALSE(m.radio());
    }
}
