#include "services/WiFiMonitor.h"

#include <QSignalSpy>
#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <unistd.h>

using namespace corvane;
using Radio = WiFiMonitor::Radio;

namespace {

const MacAddress apBssid{2, 0, 0, 0, 0, 1};

// Scriptable Wi-Fi state the test keeps while the monitor owns the source.
struct FakeWiFi final : WiFiSource {
    std::vector<WiFiInterface> interfaces{{2, "wlx0", false, std::nullopt, 2412},
                                          {3, "wlan0", true, std::nullopt, 5180}};
    std::optional<WiFiBss> link = WiFiBss{apBssid, "HomeNet", 5180, -6100}; // of wlan0 only
    std::optional<WiFiStation> station = WiFiStation{-55, -57, 5735, WiFiGeneration::he};
    std::optional<int> noise = -92;
    std::optional<MacAddress> askedBssid;
    int events = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK); // readable: events are waiting
    bool networkChanged = false;                         // what those events amount to
    ~FakeWiFi() override { close(events); }

    std::vector<WiFiInterface> readInterfaces() override { return interfaces; }
    std::optional<WiFiBss> readLink(uint32_t i) override { return i == 3 ? link : std::nullopt; }
    std::optional<WiFiStation> readStation(uint32_t i, const std::optional<MacAddress>& b) override
    {
        askedBssid = b;
        return i == 3 ? station : std::nullopt;
    }
    std::optional<int> readNoise(uint32_t i, uint32_t) override
    {
        return i == 3 ? noise : std::nullopt;
    }
    int eventDescriptor() const override { return events; }
    bool takeNetworkChange() override
    {
        eventfd_t n;
        return eventfd_read(events, &n) == 0 && networkChanged;
    }
};

} // namespace

TEST(WiFiRadio, TooltipBarsBandChannelAndAWholeSsid)
{
    Radio r{-55, -92, 573.9, "5 GHz", 36, "Wi-Fi 6"};
    EXPECT_EQ(r.tooltip(), "Signal -55 dBm, noise -92 dBm, link rate 573 Mb/s");
    r.noise.reset();
    EXPECT_EQ(r.tooltip(), "Signal -55 dBm, link rate 573 Mb/s");

    const std::pair<int, int> rows[] = {{-81, 1}, {-80, 2}, {-71, 2}, {-70, 3}, {-61, 3}, {-60, 4}};
    for (auto [rssi, bars] : rows) {
        r.rssi = rssi;
        EXPECT_EQ(r.bars(), bars) << rssi;
    }
    const std::tuple<uint32_t, int, const char*> bands[] = {
        {2412, 1, "2.4 GHz"}, {2484, 14, "2.4 GHz"}, {4920, 184, "5 GHz"}, {5180, 36, "5 GHz"},
        {5935, 2, "6 GHz"},   {5955, 1, "6 GHz"},    {0, 0, ""},           {60480, 0, ""}};
    for (auto [mhz, channel, band] : bands) {
        EXPECT_EQ(WiFiMonitor::channel(mhz), channel) << mhz;
        EXPECT_EQ(WiFiMonitor::band(mhz), QString(band)) << mhz;
    }

    // Invalid bytes, a cut-off sequence and bytes that would break the line show as
    // replacement characters; nothing after them is lost.
    const QString shown = WiFiMonitor::displayName(std::string("a\xff\nb\0c\xe2\x82", 8));
    const QChar bad = QChar::ReplacementCharacter;
    EXPECT_EQ(shown.left(6), QString("a") + bad + bad + "b" + bad + "c");
    EXPECT_TRUE(shown.size() > 6 && shown.mid(6).count(bad) == shown.size() - 6);
    // Direction controls and invisible characters cannot reorder or hide the name.
    EXPECT_EQ(WiFiMonitor::displayName("a\u202eb\u2067c\u200bd\u200fe\ufefff\u061cg\u2060h"),
              QString("a\ufffdb\ufffdc\ufffdd\ufffde\ufffdf\ufffdg\ufffdh"));
}

// Each reading falls back source by source; each property notifies only on change.
TEST(WiFiMonitor, RadioOfTheAssociationWithFallbacksReadOnEventsThatMayChangeIt)
{
    auto* wifi = new FakeWiFi;
    WiFiMonitor m{std::unique_ptr<WiFiSource>(wifi)};
    QSignalSpy ssid(&m, &WiFiMonitor::ssidChanged);
    QSignalSpy radio(&m, &WiFiMonitor::radioChanged);
    EXPECT_EQ(m.ssid(), "HomeNet");
    wifi->interfaces[1].ssid = ""; // left out by some kernels: the BSS has it
    m.read();
    m.readRadio();
    m.readRadio();
    EXPECT_EQ(m.radio(), (Radio{-55, -92, 573.5, "5 GHz", 36, "Wi-Fi 6"}));
    EXPECT_EQ(wifi->askedBssid, apBssid);
    EXPECT_EQ(ssid.count(), 0);
    EXPECT_EQ(radio.count(), 1);

    wifi->noise.reset(); // known to unknown noise is a change
    m.readRadio();
    EXPECT_EQ(radio.count(), 2);
    // 802.11g, frequency only from the BSS.
    wifi->interfaces[1].frequencyMHz = 0;
    wifi->link->frequencyMHz = 2437;
    wifi->station = {-48, std::nullopt, 540, WiFiGeneration::legacy};
    m.readRadio();
    EXPECT_EQ(m.radio(), (Radio{-48, std::nullopt, 54, "2.4 GHz", 6, ""}));

    wifi->station->signalDbm.reset();
    wifi->station->beaconSignalAvgDbm = -57;
    m.readRadio();
    EXPECT_EQ(m.radio()->rssi, -57);
    wifi->station.reset(); // last resort: the BSS's mBm; no rate, no generation
    wifi->link->signalMbm = -6150;
    m.readRadio();
    EXPECT_EQ(m.radio(), (Radio{-62, std::nullopt, 0, "2.4 GHz", 6, ""}));
    wifi->link->signalMbm.reset(); // no honest signal at all
    m.readRadio();
    EXPECT_FALSE(m.radio());

    wifi->station = {-48, std::nullopt, 540, WiFiGeneration::legacy};
    wifi->link.reset(); // no longer joined, though a station entry lingers
    m.readRadio();
    m.read();
    m.read();
    EXPECT_FALSE(m.radio());
    EXPECT_EQ(radio.count(), 6);
    EXPECT_EQ(ssid.count(), 1);

    // Only events that may have changed the network lead to a new reading.
    wifi->interfaces[1].ssid = "Roamed";
    for (const bool changed : {false, true}) {
        wifi->networkChanged = changed;
        ASSERT_EQ(eventfd_write(wifi->events, 1), 0);
        EXPECT_EQ(ssid.wait(changed ? 5000 : 100), changed);
    }
    EXPECT_EQ(m.ssid(), "Roamed");
}
