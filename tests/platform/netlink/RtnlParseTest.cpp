#include "platform/netlink/RtnlParse.h"

#include "platform/netlink/NlBytes.h"

#include <cerrno>
#include <gtest/gtest.h>

using namespace corvane::rtnl;
using namespace corvane::testing;

namespace {

constexpr uint32_t kSeq = 7;
constexpr uint32_t kPid = 4242;
constexpr int kIndex = 3;

Bytes withLength(Bytes b, size_t len)
{
    const auto l = static_cast<uint32_t>(len);
    std::memcpy(b.data(), &l, sizeof(l));
    return b;
}

struct LinkCase {
    const char* name;
    Bytes datagram;
    Outcome outcome;
    uint64_t rx = 0;
};
void PrintTo(const LinkCase& c, std::ostream* os)
{
    *os << c.name;
}

std::vector<LinkCase> linkCases()
{
    const Bytes good = linkReply(kSeq, kPid, kIndex, 1000, 2000);
    const Bytes cut(good.begin(), good.end() - 100); // ends inside the stats attribute
    ifinfomsg info{};
    info.ifi_index = kIndex;
    return {
        {"Good", good, Outcome::Done, 1000},
        {"StatsOfOlderKernel", linkReply(kSeq, kPid, kIndex, 1000, 2000, 184), Outcome::Done, 1000},
        {"StatsOfNewerKernel", linkReply(kSeq, kPid, kIndex, 1000, 2000, 264), Outcome::Done, 1000},
        {"StatsTooShortForTxBytes", linkReply(kSeq, kPid, kIndex, 5, 6, 24), Outcome::Malformed},
        {"TruncatedAttribute", withLength(cut, cut.size()), Outcome::Malformed},
        {"ZeroLengthMessage", withLength(good, 0), Outcome::Malformed},
        {"LengthPastDatagram", withLength(good, good.size() + 8), Outcome::Malformed},
        {"ShorterThanHeader", Bytes(good.begin(), good.begin() + 10), Outcome::Malformed},
        {"NoStats", message(RTM_NEWLINK, kSeq, kPid, 0, info), Outcome::Malformed},
        {"OtherInterface", linkReply(kSeq, kPid, kIndex + 1, 5, 6), Outcome::Malformed},
        {"WrongSequence", linkReply(kSeq + 1, kPid, kIndex, 5, 6), Outcome::Mismatch},
        {"WrongPort", linkReply(kSeq, kPid + 1, kIndex, 5, 6), Outcome::Mismatch},
        {"KernelRefused", errorReply(kSeq, kPid, -ENODEV), Outcome::KernelError},
        {"ErrorCutShort",
         withLength(message(NLMSG_ERROR, kSeq, kPid, 0, uint16_t{0}), NLMSG_HDRLEN + 2),
         Outcome::Malformed},
    };
}

class LinkReplyTest : public ::testing::TestWithParam<LinkCase> {};

TEST_P(LinkReplyTest, Parses)
{
    const LinkCase& c = GetParam();
    LinkReading reading;
    ASSERT_EQ(parseLinkReply(c.datagram, {kSeq, kPid}, kIndex, reading), c.outcome);
    EXPECT_EQ(reading.rxBytes, c.rx);
    EXPECT_EQ(reading.txBytes, c.rx ? 2000u : 0u);
    EXPECT_STREQ(reading.name.data(), c.rx ? "fake0" : "");
}

INSTANTIATE_TEST_SUITE_P(Replies, LinkReplyTest, ::testing::ValuesIn(linkCases()),
                         [](const auto& info) { return std::string(info.param.name); });

struct RouteCase {
    const char* name;
    Bytes datagram;
    Outcome outcome;
    uint32_t oif = 0; // 0: no route chosen
    const char* gateway = nullptr;
    bool interrupted = false;
};
void PrintTo(const RouteCase& c, std::ostream* os)
{
    *os << c.name;
}

Bytes route(Route r)
{
    return routeMessage(kSeq, kPid, r);
}
Bytes dump(std::initializer_list<Bytes> routes)
{
    return concat({concat(routes), doneMessage(kSeq, kPid)});
}

std::vector<RouteCase> routeCases()
{
    const uint8_t v6gw[16] = {0x20, 0x01, 0x0d, 0xb8};
    const Bytes hops = concat({nextHop(6, "203.0.113.1"), nextHop(7, "203.0.113.2")});
    const Bytes badHop = attr(RTA_MULTIPATH, "\xff\x00\x00\x00\x02\x00\x00\x00", 8);
    return {
        {"LowestMetricWinsAbsentIsZero",
         dump(
             {route({.attrs = concat({viaGateway(2, "198.51.100.1"), attrU32(RTA_PRIORITY, 20)})}),
              route({.attrs = viaGateway(4, "192.0.2.4")}),
              route({.attrs = concat({viaGateway(3, "203.0.113.1"), attrU32(RTA_PRIORITY, 10)})})}),
         Outcome::Done, 4, "192.0.2.4"},
        {"DefaultWithoutGateway", dump({route({.attrs = attrU32(RTA_OIF, 5)})}), Outcome::Done, 5},
        {"MultipathTakesFirstHop", dump({route({.attrs = attr(RTA_MULTIPATH, hops)})}),
         Outcome::Done, 6, "203.0.113.1"},
        {"MainTableOnlyWithTableAttributeOverriding",
         dump({route({.table = 100, .attrs = viaGateway(9, "192.0.2.9")}),
               route({.table = RT_TABLE_MAIN,
                      .attrs = concat({viaGateway(8, "192.0.2.8"), attrU32(RTA_TABLE, 1000)})}),
               route({.table = RT_TABLE_COMPAT,
                      .attrs = concat({viaGateway(2, "192.0.2.2"), attrU32(RTA_TABLE, 254)})})}),
         Outcome::Done, 2, "192.0.2.2"},
        {"OnlyIPv4UnicastDefaults",
         dump({route({.family = AF_INET6,
                      .attrs = concat({attrU32(RTA_OIF, 8), attr(RTA_GATEWAY, v6gw, 16)})}),
               route({.dstLen = 24, .attrs = viaGateway(2, "198.51.100.1")}),
               route({.type = RTN_BLACKHOLE})}),
         Outcome::Done},
        {"DumpContinues", route({.attrs = attrU32(RTA_OIF, 2)}), Outcome::More, 2},
        {"Interrupted",
         concat({routeMessage(kSeq, kPid, {.attrs = attrU32(RTA_OIF, 2)},
                              NLM_F_MULTI | NLM_F_DUMP_INTR),
                 doneMessage(kSeq, kPid)}),
         Outcome::Done, 2, nullptr, true},
        {"KernelError", errorReply(kSeq, kPid, -EBUSY), Outcome::KernelError},
        {"DoneWithError", doneMessage(kSeq, kPid, -EINTR), Outcome::KernelError},
        {"WrongSequence", routeMessage(kSeq + 3, kPid, {}), Outcome::Mismatch},
        {"HeaderCut", message(RTM_NEWROUTE, kSeq, kPid, 0, uint32_t{0}), Outcome::Malformed},
        {"BadNextHopLength", dump({route({.attrs = badHop})}), Outcome::Malformed},
    };
}

class RouteDumpTest : public ::testing::TestWithParam<RouteCase> {};

TEST_P(RouteDumpTest, ChoosesTheDefaultRoute)
{
    const RouteCase& c = GetParam();
    RouteChoice best;
    ASSERT_EQ(parseRouteDump(c.datagram, {kSeq, kPid}, best), c.outcome);
    EXPECT_EQ(best.found, c.oif != 0);
    EXPECT_EQ(best.oif, c.oif);
    EXPECT_EQ(best.interrupted, c.interrupted);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, best.gateway.data(), text, sizeof(text));
    EXPECT_EQ(best.hasGateway ? std::string(text) : "none", c.gateway ? c.gateway : "none");
}

INSTANTIATE_TEST_SUITE_P(Dumps, RouteDumpTest, ::testing::ValuesIn(routeCases()),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
