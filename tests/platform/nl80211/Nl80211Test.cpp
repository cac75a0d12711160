#include "platform/netlink/NlWalk.h"
#include "platform/nl80211/GenlClient.h"
#include "platform/nl80211/Nl80211Parse.h"
#include "platform/nl80211/Nl80211WiFiSource.h"
#include "support/NamedCases.h"
#include "support/NlBytes.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <deque>
#include <linux/genetlink.h>
#include <linux/nl80211.h>

using namespace corvane;
using namespace corvane::nl80211;
using namespace corvane::testing;

namespace {

constexpr uint16_t family = 28;
constexpr uint32_t mlmeGroup = 7;
using Datagrams = std::vector<Datagram>;

// A request as sent: its header, command and attributes.
struct Sent {
    nlmsghdr h;
    uint8_t cmd;
    Bytes attrs;
};

// A channel that answers each request by script, and records what was sent.
struct ScriptedChannel final : NetlinkChannel {
    std::function<Datagrams(const Sent&)> script;
    std::vector<Sent> sent;
    std::vector<uint32_t> joined;
    std::deque<Datagram> pending;

    uint32_t portId() const override { return testPort; }
    bool send(std::span<const uint8_t> m) override
    {
        sent.push_back({nl::load<nlmsghdr>(m), m[16], Bytes(m.begin() + 20, m.end())});
        const Datagrams replies = script(sent.back());
        pending.insert(pending.end(), replies.begin(), replies.end());
        return true;
    }
    Datagram receive(std::chrono::milliseconds) override
    {
        if (pending.empty())
            return {EAGAIN, {}};
        Datagram d = std::move(pending.front());
        pending.pop_front();
        return d;
    }
    bool joinGroup(uint32_t group) override
    {
        joined.push_back(group);
        return true;
    }
};

const Bytes ap = {2, 0, 0, 0, 0, 1};

Message msg(uint8_t cmd, const Attrs& a)
{
    return Message{genl(family, cmd, a)};
}

std::optional<StationEntry> station(const Attrs& info)
{
    auto a = Attrs().raw(NL80211_ATTR_MAC, ap).nest(NL80211_ATTR_STA_INFO, info);
    return parseStation(msg(NL80211_CMD_NEW_STATION, a));
}
WiFiStation txRate(const Attrs& rate)
{
    return station(Attrs().nest(NL80211_STA_INFO_TX_BITRATE, rate))
        .value_or(StationEntry{})
        .station;
}

Bytes entry(uint32_t seq, uint16_t flags = NLM_F_MULTI)
{
    return genl(family, 7, Attrs().num<uint32_t>(3, 1), seq, flags);
}
Datagrams one(const Bytes& datagram)
{
    return {{0, datagram}};
}
// A dump of two entries; `intr` flags it as inconsistent.
Datagrams twoEntries(uint32_t s, bool intr = false)
{
    const uint16_t flags = NLM_F_MULTI | (intr ? NLM_F_DUMP_INTR : 0);
    return {{0, entry(s, flags) + entry(s, flags)}, {0, done(s, 0, flags)}};
}
Datagrams overflowing(uint32_t s)
{
    return {{0, entry(s)}, {ENOBUFS, {}}};
}

constexpr size_t most = GenlClient::maxAttempts;
struct Case : NamedCase {
    std::function<Datagrams(uint32_t seq, size_t attempt)> answer;
    int error;
    size_t messages = 0, sends = 1;
};
const Case cases[] = {
    {"OnlyTheAnswersToThisRequest",
     [](auto s, auto) {
         return Datagrams{{0, entry(s - 1) + genl(family + 1, 7, {}, s) +
                                  genl(family, 7, {}, s, 0, testPort + 1)},
                          {0, entry(s) + done(s) + entry(s)}};
     },
     0, 1},
    {"InterruptedOnce", [](auto s, auto n) { return twoEntries(s, n == 1); }, 0, 2, 2},
    {"AlwaysInterrupted", [](auto s, auto) { return twoEntries(s, true); }, EINTR, 0, most},
    {"OverflowMidDumpOnce", [](auto s, auto n) { return n == 1 ? overflowing(s) : twoEntries(s); },
     0, 2, 2},
    {"AlwaysOverflowing", [](auto s, auto) { return overflowing(s); }, ENOBUFS, 0, most},
    {"Refused", [](auto s, auto) { return one(error(s, -EPERM)); }, EPERM},
    {"DumpFailedInDone", [](auto s, auto) { return one(entry(s) + done(s, -EOPNOTSUPP)); },
     EOPNOTSUPP},
    {"NoAnswer", [](auto, auto) { return Datagrams{}; }, ETIMEDOUT},
    {"ErrorWithoutCode", [](auto s, auto) { return one(nlmsg(NLMSG_ERROR, 0, s, {})); }, EBADMSG},
    {"ImpossibleCode", [](auto s, auto) { return one(error(s, INT_MIN)); }, EPROTO},
    // A damaged datagram, whatever came before the damage (the walker's fuzz target has the rest).
    {"PartialHeaderAfterEntry", [](auto s, auto) { return one(entry(s) + Bytes(8, 0)); }, EBADMSG},
};
class GenlClientReply : public ::testing::TestWithParam<Case> {};
CORVANE_NAMED_CASES(GenlClientReply, cases);

// Every reply is checked; an interrupted dump, or one that lost messages, is asked for again.
TEST_P(GenlClientReply, ChecksEveryReplyAndRestartsBoundedly)
{
    const Case& row = GetParam();
    auto channel = std::make_unique<ScriptedChannel>();
    ScriptedChannel* wire = channel.get();
    wire->script = [&](const Sent& r) { return row.answer(r.h.nlmsg_seq, wire->sent.size()); };
    GenlClient client(std::move(channel));
    const Reply reply = client.transact(Request(family, 5, true));
    EXPECT_EQ(reply.error, row.error);
    EXPECT_EQ(reply.messages.size(), row.messages);
    EXPECT_EQ(wire->sent.size(), row.sends);
}

const MacAddress apLink{2, 0, 0, 0, 0, 1};
const Bytes mld = {2, 0, 0, 0, 0, 9};
const std::string ssid("Caf\xc3\xa9\xff\0x", 8); // raw bytes, kept whole

// Whether the request carries this attribute, type and value.
bool carries(const Sent& r, const Attrs& attribute)
{
    return !std::ranges::search(r.attrs, attribute.bytes).empty();
}

// A kernel with a multi-link station interface (7) and an idle one (2) listed before the one
// (3) on 5180 MHz, associated to a multi-link access point whose station entry is keyed by its MLD
// address rather than the link's BSSID. The channel in use has since moved to 5500 MHz.
Datagrams fakeKernel(const Sent& r, bool hasNl80211)
{
    const uint32_t seq = r.h.nlmsg_seq;
    const bool dump = r.h.nlmsg_flags & NLM_F_DUMP;
    const Bytes end = dump ? done(seq) : error(seq, 0);
    const auto reply = [&](uint8_t cmd, const Attrs& a) {
        return genl(r.h.nlmsg_type, cmd, a, seq);
    };
    const auto answer = [&](const Bytes& messages) { return one(messages + end); };
    if (r.h.nlmsg_type == GENL_ID_CTRL && !hasNl80211)
        return one(error(seq, -ENOENT));
    if (r.h.nlmsg_type == GENL_ID_CTRL) {
        auto group =
            Attrs().str(CTRL_ATTR_MCAST_GRP_NAME, "mlme").num(CTRL_ATTR_MCAST_GRP_ID, mlmeGroup);
        return answer(
            reply(CTRL_CMD_NEWFAMILY, Attrs()
                                          .num(CTRL_ATTR_FAMILY_ID, family)
                                          .nest(CTRL_ATTR_MCAST_GROUPS, Attrs().nest(1, group))));
    }
    const auto iface = [&](uint32_t index, const Attrs& more) {
        const uint32_t type = NL80211_IFTYPE_STATION;
        return reply(NL80211_CMD_NEW_INTERFACE,
                     Attrs(more).num(NL80211_ATTR_IFINDEX, index).num(NL80211_ATTR_IFTYPE, type));
    };
    // Multi-link: the frequency is only inside the links, the first one's counts. An
    // oversized SSID is no name.
    const auto link = [](uint32_t freq) { return Attrs().num(NL80211_ATTR_WIPHY_FREQ, freq); };
    const auto mlo =
        Attrs()
            .raw(NL80211_ATTR_SSID, Bytes(33, 'a'))
            .nest(NL80211_ATTR_MLO_LINKS, Attrs().nest(1, link(6115)).nest(2, link(2412)));
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
        return answer(iface(7, mlo) + iface(2, {}) +
                      iface(3, Attrs()
                                   .str(NL80211_ATTR_IFNAME, "wlan0")
                                   .raw(NL80211_ATTR_SSID, Bytes(ssid.begin(), ssid.end()))
                                   .num(NL80211_ATTR_WIPHY_FREQ, 5180u)));
    case NL80211_CMD_GET_SURVEY:
        if (carries(r, Attrs().num(NL80211_ATTR_IFINDEX, 7u))) // no channel marked in use
            return answer(survey(5180, -80, false) + survey(6115, -95, false));
        return answer(survey(5180, -80, false) + survey(5500, -92, true));
    case NL80211_CMD_GET_SCAN:
        return answer(bss(5, 0) + bss(1, NL80211_BSS_STATUS_ASSOCIATED));
    case NL80211_CMD_GET_STATION:
        if (dump || carries(r, Attrs().raw(NL80211_ATTR_MAC, mld)))
            return answer(reply(NL80211_CMD_NEW_STATION, sta));
        return one(error(seq, -ENOENT));
    }
    return one(error(seq, -EOPNOTSUPP));
}

} // namespace

// Damage anywhere, however deep, rejects the message rather than half-reading it.
TEST(Nl80211Parse, DamageRejectsTheWholeMessage)
{
    auto iface = [](const Attrs& a) { return parseInterface(msg(NL80211_CMD_NEW_INTERFACE, a)); };
    auto scan = [](const Attrs& bss) {
        return parseScanEntry(
            msg(NL80211_CMD_NEW_SCAN_RESULTS, Attrs().nest(NL80211_ATTR_BSS, bss)));
    };
    auto bssCut = Attrs().nest(NL80211_ATTR_BSS, Attrs());
    bssCut.bytes[0] = 200;
    const std::pair<const char*, bool> parsed[] = {
        {"InterfaceWithoutIndex", iface(Attrs().str(NL80211_ATTR_IFNAME, "wlan0")).has_value()},
        {"ShortIndex", iface(Attrs().num<uint16_t>(NL80211_ATTR_IFINDEX, 3)).has_value()},
        {"ShortBssid", scan(Attrs().raw(NL80211_BSS_BSSID, {2, 0, 0})).has_value()},
        {"BssNestPastTheMessage",
         parseScanEntry(msg(NL80211_CMD_NEW_SCAN_RESULTS, bssCut)).has_value()},
        {"RateTwoLevelsDown", station(Attrs().nest(NL80211_STA_INFO_TX_BITRATE,
                                                   Attrs().raw(NL80211_RATE_INFO_BITRATE32, {1})))
                                  .has_value()},
        {"StationWithoutInfo",
         parseStation(msg(NL80211_CMD_NEW_STATION, Attrs().raw(NL80211_ATTR_MAC, ap))).has_value()},
    };
    for (const auto& [name, ok] : parsed)
        EXPECT_FALSE(ok) << name;
}

TEST(Nl80211Parse, StationRateAndGeneration)
{
    using G = WiFiGeneration;
    constexpr uint16_t bitrate = NL80211_RATE_INFO_BITRATE, bitrate32 = NL80211_RATE_INFO_BITRATE32;
    // The rate's attributes, the rate they give, and the generation.
    const std::tuple<Attrs, std::optional<uint32_t>, G> table[] = {
        {Attrs().num<uint16_t>(bitrate, 540), 540, G::legacy},
        {Attrs().num<uint16_t>(bitrate, 1300).num<uint8_t>(NL80211_RATE_INFO_MCS, 15), 1300, G::ht},
        {Attrs().num<uint8_t>(NL80211_RATE_INFO_VHT_MCS, 9), std::nullopt, G::vht},
        {Attrs()
             .num<uint16_t>(bitrate, 65535)
             .num<uint32_t>(bitrate32, 96080)
             .num<uint8_t>(NL80211_RATE_INFO_HE_MCS, 11),
         96080, G::he},
        {Attrs().num<uint32_t>(bitrate32, 288200).num<uint8_t>(NL80211_RATE_INFO_EHT_MCS, 13),
         288200, G::eht},
    };
    for (const auto& [info, rate, generation] : table)
        EXPECT_EQ(txRate(info), (WiFiStation{std::nullopt, std::nullopt, rate, generation}));
    const auto heard = Attrs()
                           .num<uint8_t>(NL80211_STA_INFO_SIGNAL, uint8_t(-55))
                           .num<uint8_t>(NL80211_STA_INFO_BEACON_SIGNAL_AVG, uint8_t(-67));
    EXPECT_EQ(station(heard).value_or(StationEntry{}).station,
              (WiFiStation{-55, -67, std::nullopt, G::legacy}));
}

// Events are news of a network change when they say so: a failed attempt changes nothing,
// and events lost to an overflow may have been the one.
TEST(Nl80211Source, ReadsWithoutEverScanningAndHearsChanges)
{
    bool hasNl80211 = false; // no driver yet: nothing, and asked again next time
    auto* requests = new ScriptedChannel;
    auto* events = new ScriptedChannel;
    requests->script = [&](const Sent& r) { return fakeKernel(r, hasNl80211); };
    Nl80211WiFiSource source{std::unique_ptr<ScriptedChannel>(requests),
                             std::unique_ptr<ScriptedChannel>(events)};
    EXPECT_TRUE(source.readInterfaces().empty() && !source.readLink(3) && events->joined.empty());
    hasNl80211 = true;
    EXPECT_EQ(source.readInterfaces(),
              (std::vector<WiFiInterface>{{3, "wlan0", true, ssid, 5180},
                                          {7, "", true, std::nullopt, 6115},
                                          {2, "", true, std::nullopt, 0}}));
    EXPECT_EQ(events->joined, std::vector<uint32_t>{mlmeGroup});

    EXPECT_EQ(source.readLink(3), (WiFiBss{apLink, "ok", 5180, -6100}));
    // The link's BSSID is no station (multi-link); the interface's peer list has the AP.
    EXPECT_EQ(source.readStation(3, apLink)->signalDbm, -48);
    EXPECT_TRUE(carries(requests->sent.back(), Attrs().num(NL80211_ATTR_IFINDEX, 3u)));
    EXPECT_EQ(source.readNoise(3, 5180), -92);
    EXPECT_EQ(source.readNoise(7, 6115), -95);
    for (const Sent& r : requests->sent)
        EXPECT_NE(r.cmd, NL80211_CMD_TRIGGER_SCAN);

    auto event = [](uint8_t cmd, uint16_t status = 0) {
        auto a = Attrs().num(NL80211_ATTR_STATUS_CODE, status);
        return Datagram{0, genl(family, cmd, a, 0, 0, 0)};
    };
    events->pending = {event(NL80211_CMD_NEW_SCAN_RESULTS), event(NL80211_CMD_CONNECT, 1)};
    EXPECT_FALSE(source.takeNetworkChange());
    events->pending = {event(NL80211_CMD_NEW_SCAN_RESULTS), event(NL80211_CMD_ROAM)};
    EXPECT_TRUE(source.takeNetworkChange());
    events->pending = {{ENOBUFS, {}}};
    EXPECT_TRUE(source.takeNetworkChange());
    EXPECT_FALSE(source.takeNetworkChange());
}

// The kernel's own controller through the real socket: its dump of families names nlctrl,
// and asking for a family that does not exist is an answer, not a fault.
TEST(GenlClientKernel, AsksTheRealController)
{
    auto channel = SocketChannel::open();
    ASSERT_TRUE(channel);
    GenlClient client(std::move(channel));
    const Reply all = client.transact(Request(GENL_ID_CTRL, CTRL_CMD_GETFAMILY, true));
    ASSERT_TRUE(all.ok()) << std::strerror(all.error);
    const Bytes nlctrl = Attrs().str(CTRL_ATTR_FAMILY_NAME, "nlctrl").bytes;
    const auto unpadded = std::span(nlctrl).first(NLA_HDRLEN + sizeof("nlctrl"));
    EXPECT_TRUE(std::ranges::any_of(all.messages, [&](const Message& m) {
        return !std::ranges::search(m.bytes, unpadded).empty();
    }));
    auto unknown = Request(GENL_ID_CTRL, CTRL_CMD_GETFAMILY, false);
    EXPECT_EQ(client.transact(unknown.putString(CTRL_ATTR_FAMILY_NAME, "corvane-none")).error,
              ENOENT);
}
