#include "platform/netlink/RtnlParse.h"
#include "support/NamedCases.h"
#include "support/NlBytes.h"

#include <cerrno>

using namespace corvane;
using namespace corvane::rtnl;
using namespace corvane::testing;

namespace {

constexpr uint32_t kSeq = 7;
constexpr int kIndex = 3;

struct StatsCase : NamedCase {
    Bytes datagram;
    Outcome outcome;
    uint64_t rx = 0;
};
const StatsCase statsCases[] = {
    {"Good", statsReply(kSeq, kIndex, 1000, 2000), Outcome::Done, 1000},
    {"StatsOfOlderKernel", statsReply(kSeq, kIndex, 1000, 2000, 184), Outcome::Done, 1000},
    {"StatsOfNewerKernel", statsReply(kSeq, kIndex, 1000, 2000, 264), Outcome::Done, 1000},
    {"StatsTooShortForTxBytes", statsReply(kSeq, kIndex, 5, 6, 24), Outcome::Malformed},
    {"NoStats", nlmsg(RTM_NEWSTATS, 0, kSeq, bytesOf(if_stats_msg{0, 0, 0, kIndex, 0})),
     Outcome::Malformed},
    {"OtherInterface", statsReply(kSeq, kIndex + 1, 5, 6), Outcome::Malformed},
    {"WrongPort", statsReply(kSeq, kIndex, 5, 6, sizeof(rtnl_link_stats64), {}, testPort + 1),
     Outcome::Mismatch},
    {"KernelRefused", error(kSeq, -ENODEV), Outcome::KernelError},
    {"ErrorCutShort", nlmsg(NLMSG_ERROR, 0, kSeq, Bytes(2)), Outcome::Malformed},
};
class StatsReply : public ::testing::TestWithParam<StatsCase> {};
CORVANE_NAMED_CASES(StatsReply, statsCases);

TEST_P(StatsReply, ParsesOnlyAWholeMatchingReply)
{
    StatsReading reading;
    EXPECT_EQ(parseStatsReply(GetParam().datagram, {kSeq, testPort}, kIndex, reading),
              GetParam().outcome);
    EXPECT_EQ(reading.rxBytes, GetParam().rx);
    EXPECT_EQ(reading.txBytes, GetParam().rx ? 2000u : 0u);
}

Bytes dump(std::initializer_list<Route> routes)
{
    Bytes out;
    for (const Route& r : routes)
        out = out + route(kSeq, r);
    return out + done(kSeq);
}
// Attributes of the kind every walk meets: a u32, a string and a nest of them. Damage to them
// refuses the whole dump; what the walker and its readers accept is the fuzz target's.
Bytes withAttributes(const Bytes& area)
{
    return dump({{.attrs = Attrs{area}}});
}
enum : uint16_t { U32 = 1, Text = 2, Nest = 3, Unknown = 99 };
const Attrs inner = Attrs().num<uint32_t>(U32, 7).str(Text, "wlan0");

struct RouteCase : NamedCase {
    Bytes datagram;
    Outcome outcome;
    uint32_t oif = 0; // 0: no route chosen
    std::string gateway = "none";
    bool interrupted = false;
};
const Bytes hops = nextHop(6, "203.0.113.1") + nextHop(7, "203.0.113.2");
const RouteCase routeCases[] = {
    {"LowestMetricWinsAbsentIsZero",
     dump({{.attrs = viaGateway(2, "198.51.100.1").num(RTA_PRIORITY, 20u)},
           {.attrs = viaGateway(4, "192.0.2.4")},
           {.attrs = viaGateway(3, "203.0.113.1").num(RTA_PRIORITY, 10u)}}),
     Outcome::Done, 4, "192.0.2.4"},
    {"EqualMetricsTheFirstWins",
     dump({{.attrs = viaGateway(2, "198.51.100.1").num(RTA_PRIORITY, 5u)},
           {.attrs = viaGateway(3, "192.0.2.3").num(RTA_PRIORITY, 5u)}}),
     Outcome::Done, 2, "198.51.100.1"},
    {"DefaultWithoutGateway", dump({{.attrs = Attrs().num(RTA_OIF, 5u)}}), Outcome::Done, 5},
    {"MultipathTakesFirstHop", dump({{.attrs = Attrs().raw(RTA_MULTIPATH, hops)}}), Outcome::Done,
     6, "203.0.113.1"},
    {"LastMultipathKeepsNoEarlierGateway",
     dump({{.attrs = Attrs()
                         .raw(RTA_MULTIPATH, hops)
                         .raw(RTA_MULTIPATH, Bytes{8, 0, 0, 0, 9, 0, 0, 0})}}),
     Outcome::Done, 9},
    {"MainTableOnlyWithTableAttributeOverriding",
     dump({{.table = 100, .attrs = viaGateway(9, "192.0.2.9")},
           {.attrs = viaGateway(8, "192.0.2.8").num(RTA_TABLE, 1000u)},
           {.table = RT_TABLE_COMPAT, .attrs = viaGateway(2, "192.0.2.2").num(RTA_TABLE, 254u)}}),
     Outcome::Done, 2, "192.0.2.2"},
    {"OnlyIPv4UnicastDefaults",
     dump({{.family = AF_INET6, .attrs = Attrs().num(RTA_OIF, 8u).raw(RTA_GATEWAY, Bytes(16, 32))},
           {.dstLen = 24, .attrs = viaGateway(2, "198.51.100.1")},
           {.type = RTN_BLACKHOLE, .attrs = Attrs().num(RTA_OIF, 3u)}}),
     Outcome::Done},
    {"Interrupted",
     route(kSeq, {.attrs = Attrs().num(RTA_OIF, 2u)}, NLM_F_MULTI | NLM_F_DUMP_INTR) + done(kSeq),
     Outcome::Done, 2, "none", true},
    {"KernelError", error(kSeq, -EBUSY), Outcome::KernelError},
    {"DumpFailedInDone", done(kSeq, -EBUSY), Outcome::KernelError},
    {"WrongSequence", route(kSeq + 3, {}), Outcome::Mismatch},
    {"LengthPastTheDatagram", Bytes{20} + Bytes(15, 0), Outcome::Malformed},
    {"BadNextHopLength",
     dump({{.attrs = Attrs().raw(RTA_MULTIPATH, Bytes{0xff, 0, 0, 0, 2, 0, 0, 0})}}),
     Outcome::Malformed},
    {"AttributesWhole", withAttributes(Attrs(inner).nest(Nest, inner).bytes), Outcome::Done},
    {"NoAttributes", withAttributes({}), Outcome::Done},
    {"LastPaddingLeftOff", withAttributes({6, 0, Text, 0, 'a', 0}), Outcome::Done},
    {"TruncatedHeader", withAttributes(Attrs(inner).bytes + Bytes{8, 0}), Outcome::Malformed},
    {"ShorterThanItsHeader", withAttributes(Attrs().raw(Unknown, {}, 2).bytes), Outcome::Malformed},
    {"ZeroLength", withAttributes({0, 0, U32, 0, 7, 0, 0, 0}), Outcome::Malformed},
    {"LengthPastTheEnd", withAttributes(Attrs().raw(U32, bytesOf<uint32_t>(7), 12).bytes),
     Outcome::Malformed},
};
class RouteDump : public ::testing::TestWithParam<RouteCase> {};
CORVANE_NAMED_CASES(RouteDump, routeCases);

TEST_P(RouteDump, ChoosesTheDefaultRoute)
{
    const RouteCase& c = GetParam();
    RouteChoice best;
    EXPECT_EQ(parseRouteDump(c.datagram, {kSeq, testPort}, best), c.outcome);
    EXPECT_EQ(best.oif, c.oif);
    EXPECT_EQ(best.found, c.oif != 0);
    EXPECT_EQ(best.interrupted, c.interrupted);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, best.gateway.data(), text, sizeof(text));
    EXPECT_EQ(best.hasGateway ? std::string(text) : "none", c.gateway);
}

} // namespace
