#include "platform/nl80211/Nl80211WiFiSource.h"

#include "platform/netlink/NlWalk.h"
#include "platform/nl80211/ScriptedChannel.h"

#include <gtest/gtest.h>
#include <linux/genetlink.h>
#include <linux/nl80211.h>

using namespace corvane;
using namespace corvane::nl80211;
using namespace corvane::testing;

namespace {

constexpr uint16_t family = 28;
constexpr uint32_t mlmeGroup = 7;
const MacAddress apLink{2, 0, 0, 0, 0, 1};
const Bytes mld = {2, 0, 0, 0, 0, 9};
const std::string ssid("Caf\xc3\xa9\xff\0x", 8); // raw bytes, kept whole
const Bytes rawSsid(ssid.begin(), ssid.end());

bool hasAttr(const Sent& r, uint16_t type, const Bytes& value)
{
    bool found = false;
    nl::forEachAttribute(r.attrs, [&](uint16_t t, std::span<const uint8_t> p) {
        found |= t == type && Bytes(p.begin(), p.end()) == value;
        return true;
    });
    return found;
}

// A kernel with two idle station interfaces (7, 2) listed before the one (3) on 5180 MHz,
// associated to a multi-link access point whose station entry is keyed by its MLD address
// rather than the link's BSSID. The channel in use has since moved to 5500 MHz.
std::vector<Datagram> fakeKernel(const Sent& r, bool hasNl80211)
{
    const Bytes end = (r.flags & NLM_F_DUMP) ? done(r.seq) : error(r.seq, 0);
    const auto reply = [&](uint8_t cmd, const Attrs& a) { return genl(r.type, cmd, a, r.seq); };
    const auto answer = [&](const Bytes& messages) {
        return std::vector<Datagram>{{0, messages + end}};
    };
    if (r.type == GENL_ID_CTRL && !hasNl80211)
        return {{0, error(r.seq, -ENOENT)}};
    if (r.type == GENL_ID_CTRL) {
        auto group =
            Attrs().str(CTRL_ATTR_MCAST_GRP_NAME, "mlme").num(CTRL_ATTR_MCAST_GRP_ID, mlmeGroup);
        return answer(
            reply(CTRL_CMD_NEWFAMILY, Attrs()
                                          .num(CTRL_ATTR_FAMILY_ID, family)
                                          .nest(CTRL_ATTR_MCAST_GROUPS, Attrs().nest(1, group))));
    }
    const auto iface = [&](uint32_t index, uint32_t freq) {
        auto a = Attrs()
                     .num(NL80211_ATTR_IFINDEX, index)
                     .num(NL80211_ATTR_IFTYPE, uint32_t(NL80211_IFTYPE_STATION));
        if (freq)
            a.str(NL80211_ATTR_IFNAME, "wlan0")
                .raw(NL80211_ATTR_SSID, rawSsid)
                .num(NL80211_ATTR_WIPHY_FREQ, freq);
        return reply(NL80211_CMD_NEW_INTERFACE, a);
    };
    const auto survey = [&](uint32_t freq, int8_t noise, bool inUse) {
        auto info =
            Attrs().num(NL80211_SURVEY_INFO_FREQUENCY, freq).num(NL80211_SURVEY_INFO_NOISE, noise);
        return reply(NL80211_CMD_NEW_SURVEY_RESULTS,
                     Attrs().nest(NL80211_ATTR_SURVEY_INFO,
                                  inUse ? info.raw(NL80211_SURVEY_INFO_IN_USE, {}) : info));
    };
    const auto bss = [&](uint8_t last, uint32_t status) {
        // A hidden network's beacon names nothing; the probe response does.
        auto b = Attrs()
                     .raw(NL80211_BSS_BSSID, {2, 0, 0, 0, 0, last})
                     .num(NL80211_BSS_FREQUENCY, 5180u)
                     .raw(NL80211_BSS_BEACON_IES, {0, 0})
                     .raw(NL80211_BSS_INFORMATION_ELEMENTS, {1, 1, 2, 0, 2, 'o', 'k'})
                     .num(NL80211_BSS_SIGNAL_MBM, -6100)
                     .num(NL80211_BSS_STATUS, status);
        return reply(NL80211_CMD_NEW_SCAN_RESULTS,
                     Attrs().num(NL80211_ATTR_IFINDEX, 3u).nest(NL80211_ATTR_BSS, b));
    };
    const auto sta =
        Attrs()
            .raw(NL80211_ATTR_MAC, mld)
            .nest(NL80211_ATTR_STA_INFO, Attrs().num(NL80211_STA_INFO_SIGNAL, int8_t(-48)));
    switch (r.cmd) {
    case NL80211_CMD_GET_INTERFACE:
        return answer(iface(7, 0) + iface(2, 0) + iface(3, 5180));
    case NL80211_CMD_GET_SURVEY:
        return answer(survey(5180, -80, false) + survey(5500, -92, true));
    case NL80211_CMD_GET_SCAN:
        return answer(bss(5, 0) + bss(1, NL80211_BSS_STATUS_ASSOCIATED));
    case NL80211_CMD_GET_STATION:
        if ((r.flags & NLM_F_DUMP) || hasAttr(r, NL80211_ATTR_MAC, mld))
            return answer(reply(NL80211_CMD_NEW_STATION, sta));
        return {{0, error(r.seq, -ENOENT)}};
    }
    return {{0, error(r.seq, -EOPNOTSUPP)}};
}

struct Nl80211Source : ::testing::Test {
    bool hasNl80211 = true;
    ScriptedChannel* requests = new ScriptedChannel;
    ScriptedChannel* events = new ScriptedChannel;
    Nl80211WiFiSource source{std::unique_ptr<ScriptedChannel>(requests),
                             std::unique_ptr<ScriptedChannel>(events)};
    void SetUp() override
    {
        requests->script = [this](const Sent& r) { return fakeKernel(r, hasNl80211); };
    }
};

} // namespace

TEST_F(Nl80211Source, ReadsWithoutEverScanning)
{
    hasNl80211 = false; // no driver yet: nothing, and asked again next time
    EXPECT_TRUE(source.readInterfaces().empty() && !source.readLink(3) && events->joined.empty());
    hasNl80211 = true;
    EXPECT_EQ(source.readInterfaces(),
              (std::vector<WiFiInterface>{{3, "wlan0", true, ssid, 5180},
                                          {2, "", true, std::nullopt, 0},
                                          {7, "", true, std::nullopt, 0}}));
    EXPECT_EQ(events->joined, std::vector<uint32_t>{mlmeGroup});

    EXPECT_EQ(source.readLink(3), (WiFiBss{apLink, "ok", 5180, -6100}));
    // The link's BSSID is no station (multi-link); the interface's peer list has the AP.
    EXPECT_EQ(source.readStation(3, apLink)->signalDbm, -48);
    EXPECT_TRUE(hasAttr(requests->sent.back(), NL80211_ATTR_IFINDEX, bytesOf(3u)));
    EXPECT_EQ(source.readNoise(3, 5180), -92);
    for (const Sent& r : requests->sent)
        EXPECT_NE(r.cmd, NL80211_CMD_TRIGGER_SCAN);
}

TEST_F(Nl80211Source, EventsThatChangeTheNetwork)
{
    source.readInterfaces(); // learns the family
    auto event = [](uint8_t cmd, uint16_t status = 0) {
        auto a = Attrs().num(NL80211_ATTR_STATUS_CODE, status);
        return Datagram{0, genl(family, cmd, a, 0, 0, 0)};
    };
    events->pending = {event(NL80211_CMD_NEW_SCAN_RESULTS), event(NL80211_CMD_CONNECT, 1)};
    EXPECT_FALSE(source.takeNetworkChange()); // a failed attempt changes nothing
    events->pending = {event(NL80211_CMD_NEW_SCAN_RESULTS), event(NL80211_CMD_ROAM)};
    EXPECT_TRUE(source.takeNetworkChange());
    events->pending = {{ENOBUFS, {}}}; // lost events may have been the one
    EXPECT_TRUE(source.takeNetworkChange());
    EXPECT_FALSE(source.takeNetworkChange());
}
