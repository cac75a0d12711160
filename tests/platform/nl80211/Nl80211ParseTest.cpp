#include "platform/nl80211/Nl80211Parse.h"

#include "support/NlBytes.h"

#include <gtest/gtest.h>
#include <linux/nl80211.h>

using namespace corvane;
using namespace corvane::nl80211;
using namespace corvane::testing;

namespace {

const Bytes ap = {2, 0, 0, 0, 0, 1};

Message msg(uint8_t cmd, const Attrs& a)
{
    return Message{genl(28, cmd, a)};
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

Attrs rate(const Attrs& r)
{
    return Attrs().nest(NL80211_STA_INFO_TX_BITRATE, r);
}

} // namespace

// Multi-link: the frequency is only inside the links. An oversized SSID is no name.
TEST(Nl80211Parse, MultiLinkInterface)
{
    auto mlo = Attrs()
                   .num<uint32_t>(NL80211_ATTR_IFINDEX, 5)
                   .raw(NL80211_ATTR_SSID, Bytes(33, 'a'))
                   .nest(NL80211_ATTR_MLO_LINKS,
                         Attrs().nest(1, Attrs().num<uint32_t>(NL80211_ATTR_WIPHY_FREQ, 6115)));
    EXPECT_EQ(parseInterface(msg(NL80211_CMD_NEW_INTERFACE, mlo)),
              (WiFiInterface{5, "", false, std::nullopt, 6115}));
}

// Damage anywhere, however deep, rejects the message rather than half-reading it.
TEST(Nl80211Parse, DamageRejectsTheWholeMessage)
{
    auto iface = [](const Attrs& a) { return parseInterface(msg(NL80211_CMD_NEW_INTERFACE, a)); };
    auto bssCut = Attrs().num<uint32_t>(NL80211_ATTR_IFINDEX, 3).nest(NL80211_ATTR_BSS, Attrs());
    bssCut.bytes[8] = 200;
    const std::pair<const char*, bool> parsed[] = {
        {"InterfaceWithoutIndex", iface(Attrs().str(NL80211_ATTR_IFNAME, "wlan0")).has_value()},
        {"ShortIndex", iface(Attrs().num<uint16_t>(NL80211_ATTR_IFINDEX, 3)).has_value()},
        {"ShortBssid", scan(Attrs().raw(NL80211_BSS_BSSID, {2, 0, 0})).has_value()},
        {"BssNestPastTheMessage",
         parseScanEntry(msg(NL80211_CMD_NEW_SCAN_RESULTS, bssCut)).has_value()},
        {"RateTwoLevelsDown",
         station(rate(Attrs().raw(NL80211_RATE_INFO_BITRATE32, {1}))).has_value()},
        {"StationWithoutInfo",
         parseStation(msg(NL80211_CMD_NEW_STATION, Attrs().raw(NL80211_ATTR_MAC, ap))).has_value()},
    };
    for (const auto& [name, ok] : parsed)
        EXPECT_FALSE(ok) << name;
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

TEST(Nl80211Parse, StationRateAndGeneration)
{
    using G = WiFiGeneration;
    constexpr uint16_t bitrate = NL80211_RATE_INFO_BITRATE, bitrate32 = NL80211_RATE_INFO_BITRATE32;
    const struct {
        Attrs info;
        WiFiStation station;
    } table[] = {
        {rate(Attrs().num<uint16_t>(bitrate, 540)), {std::nullopt, std::nullopt, 540, G::legacy}},
        {rate(Attrs().num<uint16_t>(bitrate, 1300).num<uint8_t>(NL80211_RATE_INFO_MCS, 15)),
         {std::nullopt, std::nullopt, 1300, G::ht}},
        {rate(Attrs().num<uint8_t>(NL80211_RATE_INFO_VHT_MCS, 9)),
         {std::nullopt, std::nullopt, std::nullopt, G::vht}},
        {rate(Attrs()
                  .num<uint16_t>(bitrate, 65535)
                  .num<uint32_t>(bitrate32, 96080)
                  .num<uint8_t>(NL80211_RATE_INFO_HE_MCS, 11)),
         {std::nullopt, std::nullopt, 96080, G::he}},
        {rate(Attrs().num<uint32_t>(bitrate32, 288200).num<uint8_t>(NL80211_RATE_INFO_EHT_MCS, 13))
             .num<uint8_t>(NL80211_STA_INFO_SIGNAL, uint8_t(-55)),
         {-55, std::nullopt, 288200, G::eht}},
        {Attrs().num<uint8_t>(NL80211_STA_INFO_BEACON_SIGNAL_AVG, uint8_t(-67)),
         {std::nullopt, -67, std::nullopt, G::legacy}},
    };
    for (const auto& row : table)
        EXPECT_EQ(station(row.info).value_or(StationEntry{}).station, row.station);
}
