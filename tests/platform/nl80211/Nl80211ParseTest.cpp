#include "platform/nl80211/Nl80211Parse.h"

#include "support/NlBytes.h"

#include <gtest/gtest.h>
#include <linux/nl80211.h>

using namespace corvane;
using namespace corvane::nl80211;
using namespace corvane::testing;

namespace {

constexpr uint16_t nl80211Id = 28;
const Bytes ap = {2, 0, 0, 0, 0, 1};

Message msg(uint8_t cmd, const Attrs& a)
{
    return Message{genl(nl80211Id, cmd, a)};
}

std::optional<ScanEntry> scan(const Attrs& bss)
{
    auto a = Attrs().num<uint32_t>(NL80211_ATTR_IFINDEX, 3).nest(NL80211_ATTR_BSS, bss);
    return parseScanEntry(msg(NL80211_CMD_NEW_SCAN_RESULTS, a));
}

std::optional<StationEntry> station(const Attrs& info)
{
    auto a = Attrs().raw(NL80211_ATTR_MAC, ap).nest(NL80211_ATTR_STA_INFO, info);
    return parseStation(msg(NL80211_CMD_NEW_STATION, a));
}

} // namespace

TEST(Nl80211Parse, Interface)
{
    const std::string ssid("Caf\xc3\xa9\xff\0x", 8); // raw bytes, kept whole
    auto full = Attrs()
                    .num<uint32_t>(NL80211_ATTR_IFINDEX, 3)
                    .str(NL80211_ATTR_IFNAME, "wlan0")
                    .num<uint32_t>(NL80211_ATTR_IFTYPE, NL80211_IFTYPE_STATION)
                    .raw(NL80211_ATTR_SSID, Bytes(ssid.begin(), ssid.end()))
                    .num<uint32_t>(NL80211_ATTR_WIPHY_FREQ, 5180);
    EXPECT_EQ(parseInterface(msg(NL80211_CMD_NEW_INTERFACE, full)),
              (WiFiInterface{3, "wlan0", true, ssid, 5180}));

    // Multi-link: the frequency is only inside the links. An oversized SSID is no name.
    auto mlo = Attrs()
                   .num<uint32_t>(NL80211_ATTR_IFINDEX, 5)
                   .raw(NL80211_ATTR_SSID, Bytes(33, 'a'))
                   .nest(NL80211_ATTR_MLO_LINKS,
                         Attrs().nest(1, Attrs().num<uint32_t>(NL80211_ATTR_WIPHY_FREQ, 6115)));
    EXPECT_EQ(parseInterface(msg(NL80211_CMD_NEW_INTERFACE, mlo)),
              (WiFiInterface{5, "", false, std::nullopt, 6115}));

    for (const Attrs& bad :
         {Attrs().str(NL80211_ATTR_IFNAME, "wlan0"), Attrs().num<uint16_t>(NL80211_ATTR_IFINDEX, 3),
          Attrs().raw(NL80211_ATTR_IFINDEX, bytesOf<uint32_t>(3), 40)})
        EXPECT_FALSE(parseInterface(msg(NL80211_CMD_NEW_INTERFACE, bad)));
}

TEST(Nl80211Parse, ScanEntry)
{
    auto entry =
        scan(Attrs()
                 .raw(NL80211_BSS_BSSID, ap)
                 .num<uint32_t>(NL80211_BSS_FREQUENCY, 2437)
                 .raw(NL80211_BSS_INFORMATION_ELEMENTS, {1, 1, 2, 0, 4, 'h', 'o', 'm', 'e'})
                 .num<int32_t>(NL80211_BSS_SIGNAL_MBM, -6100)
                 .num<uint32_t>(NL80211_BSS_STATUS, NL80211_BSS_STATUS_ASSOCIATED));
    ASSERT_TRUE(entry);
    EXPECT_TRUE(entry->associated);
    EXPECT_EQ(entry->bss, (WiFiBss{{2, 0, 0, 0, 0, 1}, "home", 2437, -6100}));

    // An inner attribute running past its nest, a short BSSID, and the nest itself claiming
    // more than the message holds.
    EXPECT_FALSE(scan(Attrs().raw(NL80211_BSS_BSSID, ap).raw(NL80211_BSS_STATUS, bytesOf(1), 12)));
    EXPECT_FALSE(scan(Attrs().raw(NL80211_BSS_BSSID, {2, 0, 0})));
    auto cut = Attrs().num<uint32_t>(NL80211_ATTR_IFINDEX, 3).nest(NL80211_ATTR_BSS, Attrs());
    cut.bytes[8] = 200;
    EXPECT_FALSE(parseScanEntry(msg(NL80211_CMD_NEW_SCAN_RESULTS, cut)));
}

TEST(Nl80211Parse, SsidElementWalkIsBounded)
{
    Bytes over32{0, 33};
    over32.resize(35, 'a');
    const std::pair<Bytes, std::optional<std::string>> table[] = {
        {{0, 2, 'h', 'i', 1, 1, 2}, "hi"},
        {{221, 3, 1, 2, 3, 0, 1, 'x'}, "x"},
        {{0, 2, 0xff, 0xc3}, "\xff\xc3"},
        {{0, 0}, ""},
        {{1, 1, 2}, std::nullopt},
        {{0, 9, 'h', 'i'}, std::nullopt},
        {{0, 2, 'h'}, std::nullopt},
        {over32, std::nullopt},
        {{1, 40, 0, 2, 'h', 'i'}, std::nullopt},
        {{0}, std::nullopt},
    };
    for (const auto& [elements, ssid] : table)
        EXPECT_EQ(ssidFromElements(elements), ssid) << elements.size();
}

TEST(Nl80211Parse, StationRateGenerationAndDamage)
{
    using G = WiFiGeneration;
    constexpr uint16_t bitrate = NL80211_RATE_INFO_BITRATE, bitrate32 = NL80211_RATE_INFO_BITRATE32;
    const struct {
        Attrs rate;
        G generation;
        std::optional<uint32_t> rate100k;
    } table[] = {
        {Attrs().num<uint16_t>(bitrate, 540), G::legacy, 540},
        {Attrs().num<uint16_t>(bitrate, 1300).num<uint8_t>(NL80211_RATE_INFO_MCS, 15), G::ht, 1300},
        {Attrs().num<uint8_t>(NL80211_RATE_INFO_VHT_MCS, 9), G::vht, std::nullopt},
        {Attrs()
             .num<uint16_t>(bitrate, 65535)
             .num<uint32_t>(bitrate32, 96080)
             .num<uint8_t>(NL80211_RATE_INFO_HE_MCS, 11),
         G::he, 96080},
        {Attrs().num<uint32_t>(bitrate32, 288200).num<uint8_t>(NL80211_RATE_INFO_EHT_MCS, 13),
         G::eht, 288200},
    };
    auto rate = [](const Attrs& r) { return Attrs().nest(NL80211_STA_INFO_TX_BITRATE, r); };
    for (const auto& row : table) {
        auto e = station(rate(row.rate).num<uint8_t>(NL80211_STA_INFO_SIGNAL, uint8_t(-55)));
        ASSERT_TRUE(e);
        EXPECT_EQ(e->station, (WiFiStation{-55, std::nullopt, row.rate100k, row.generation}));
    }

    // No signal: the beacon average stands in.
    auto avg = station(Attrs().num<uint8_t>(NL80211_STA_INFO_BEACON_SIGNAL_AVG, uint8_t(-67)));
    ASSERT_TRUE(avg);
    EXPECT_EQ(avg->station, (WiFiStation{std::nullopt, -67, std::nullopt, WiFiGeneration::legacy}));

    // Damage two levels down rejects the reply rather than half-reading it.
    EXPECT_FALSE(station(rate(Attrs().raw(bitrate32, bytesOf(1), 30))));
    EXPECT_FALSE(station(rate(Attrs().raw(bitrate32, {1}))));
    EXPECT_FALSE(parseStation(msg(NL80211_CMD_NEW_STATION, Attrs().raw(NL80211_ATTR_MAC, ap))));
}
