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

void setLength(Bytes& b, uint32_t len)
{
    std::memcpy(b.data(), &len, sizeof(len));
}

struct LinkCase {
    const char* name;
    Bytes datagram;
    Outcome outcome;
    uint64_t rx = 0;
    uint64_t tx = 0;
    std::string ifname = {};
};

std::vector<LinkCase> linkCases()
{
    const Bytes good = linkReply(kSeq, kPid, kIndex, 1000, 2000);
    Bytes zeroLength = good;
    setLength(zeroLength, 0);
    Bytes pastDatagram = good;
    setLength(pastDatagram, static_cast<uint32_t>(good.size() + 8));
    // Cut inside the stats attribute and make the message end there too.
    Bytes cutAttribute(good.begin(), good.end() - 100);
    setLength(cutAttribute, static_cast<uint32_t>(cutAttribute.size()));
    Bytes errorCut = Message(NLMSG_ERROR, kSeq, kPid).bytes();
    errorCut.resize(errorCut.size() + 2);
    setLength(errorCut, static_cast<uint32_t>(errorCut.size()));
    const char unterminated[IF_NAMESIZE] = {'a', 'a', 'a', 'a', 'a', 'a', 'a', 'a',
                                            'a', 'a', 'a', 'a', 'a', 'a', 'a', 'a'};
    ifinfomsg info{};
    info.ifi_index = kIndex;
    return {
        {"Good", good, Outcome::Done, 1000, 2000, "fake0"},
        {"NoopFirst", concat({Message(NLMSG_NOOP, kSeq, kPid).bytes(), good}), Outcome::Done, 1000,
         2000, "fake0"},
        {"StatsOfOlderKernel", linkReply(kSeq, kPid, kIndex, 5, 6, 184), Outcome::Done, 5, 6,
         "fake0"},
        {"StatsJustCoverBytes", linkReply(kSeq, kPid, kIndex, 5, 6, 32), Outcome::Done, 5, 6,
         "fake0"},
        {"StatsOfNewerKernel", linkReply(kSeq, kPid, kIndex, 5, 6, 264), Outcome::Done, 5, 6,
         "fake0"},
        {"UnterminatedNameIgnored",
         linkReply(kSeq, kPid, kIndex, 5, 6, 200, nullptr, attr(IFLA_IFNAME, unterminated, 16)),
         Outcome::Done, 5, 6, ""},
        {"StatsTooShortForTxBytes", linkReply(kSeq, kPid, kIndex, 5, 6, 24), Outcome::Malformed},
        {"TruncatedAttribute", cutAttribute, Outcome::Malformed},
        {"ZeroLengthMessage", zeroLength, Outcome::Malformed},
        {"LengthPastDatagram", pastDatagram, Outcome::Malformed},
        {"ShorterThanHeader", Bytes(good.begin(), good.begin() + 10), Outcome::Malformed},
        {"Empty", {}, Outcome::Malformed},
        {"NoStats", Message(RTM_NEWLINK, kSeq, kPid).fixed(info).bytes(), Outcome::Malformed},
        {"HeaderCut", Message(RTM_NEWLINK, kSeq, kPid).fixed(uint64_t{0}).bytes(),
         Outcome::Malformed},
        {"OtherInterface", linkReply(kSeq, kPid, kIndex + 1, 5, 6), Outcome::Malformed},
        {"WrongSequence", linkReply(kSeq + 1, kPid, kIndex, 5, 6), Outcome::Mismatch},
        {"WrongPort", linkReply(kSeq, kPid + 1, kIndex, 5, 6), Outcome::Mismatch},
        {"KernelRefused", errorReply(kSeq, kPid, -ENODEV), Outcome::KernelError},
        {"ErrorCutShort", errorCut, Outcome::Malformed},
    };
}

void PrintTo(const LinkCase& c, std::ostream* os)
{
    *os << c.name;
}

class LinkReplyTest : public ::testing::TestWithParam<LinkCase> {};

TEST_P(LinkReplyTest, Parses)
{
    const LinkCase& c = GetParam();
    LinkReading reading;
    ASSERT_EQ(parseLinkReply(c.datagram, {kSeq, kPid}, kIndex, reading), c.outcome);
    EXPECT_EQ(reading.rxBytes, c.rx);
    EXPECT_EQ(reading.txBytes, c.tx);
    EXPECT_EQ(std::string(reading.name.data()), c.ifname);
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

Bytes route(Route r)
{
    return routeMessage(kSeq, kPid, r);
}
Bytes viaGateway(uint32_t oif, const char* gw, std::optional<uint32_t> prio = {})
{
    Bytes attrs = concat({attrU32(RTA_OIF, oif), attrIPv4(RTA_GATEWAY, gw)});
    if (prio)
        attrs = concat({attrs, attrU32(RTA_PRIORITY, *prio)});
    return attrs;
}
Bytes dump(std::initializer_list<Bytes> routes)
{
    return concat({concat(routes), doneMessage(kSeq, kPid)});
}

std::vector<RouteCase> routeCases()
{
    Route v6{.family = AF_INET6};
    const uint8_t v6gw[16] = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    v6.attrs = concat({attrU32(RTA_OIF, 8), attr(RTA_GATEWAY, v6gw, sizeof(v6gw))});
    Bytes badHop = attr(RTA_MULTIPATH, "\xff\x00\x00\x00\x02\x00\x00\x00", 8);
    const int doneError = -EINTR;
    return {
        {"SingleDefault", dump({route({.attrs = viaGateway(2, "198.51.100.1")})}), Outcome::Done, 2,
         "198.51.100.1"},
        {"LowestMetricWins",
         dump({route({.attrs = viaGateway(2, "198.51.100.1", 100)}),
               route({.attrs = viaGateway(3, "203.0.113.1", 50)}),
               route({.attrs = viaGateway(4, "192.0.2.1", 200)})}),
         Outcome::Done, 3, "203.0.113.1"},
        {"AbsentMetricIsZero",
         dump({route({.attrs = viaGateway(2, "198.51.100.1", 20)}),
               route({.attrs = viaGateway(3, "203.0.113.1")})}),
         Outcome::Done, 3, "203.0.113.1"},
        {"DefaultWithoutGateway", dump({route({.attrs = attrU32(RTA_OIF, 5)})}), Outcome::Done, 5},
        {"MultipathTakesFirstHop",
         dump({route({.attrs = multipath({{6, "203.0.113.1"}, {7, "203.0.113.2"}})})}),
         Outcome::Done, 6, "203.0.113.1"},
        {"OtherTablesIgnored",
         dump({route({.table = 100, .attrs = viaGateway(9, "192.0.2.9", 0)}),
               route({.table = RT_TABLE_COMPAT,
                      .attrs = concat({viaGateway(8, "192.0.2.8", 0), attrU32(RTA_TABLE, 1000)})}),
               route({.attrs = viaGateway(2, "198.51.100.1", 10)})}),
         Outcome::Done, 2, "198.51.100.1"},
        {"TableAttributeOverrides",
         dump({route({.table = RT_TABLE_COMPAT,
                      .attrs = concat({viaGateway(4, "192.0.2.4"), attrU32(RTA_TABLE, 254)})})}),
         Outcome::Done, 4, "192.0.2.4"},
        {"OnlyIPv6AndNonDefault",
         dump({route(v6), route({.dstLen = 24, .attrs = viaGateway(2, "198.51.100.1")}),
               route({.type = RTN_BLACKHOLE, .attrs = attrU32(RTA_PRIORITY, 0)})}),
         Outcome::Done},
        {"DumpContinues", route({.attrs = viaGateway(2, "198.51.100.1")}), Outcome::More, 2,
         "198.51.100.1"},
        {"Interrupted",
         concat({routeMessage(kSeq, kPid, {.attrs = attrU32(RTA_OIF, 2)},
                              NLM_F_MULTI | NLM_F_DUMP_INTR),
                 doneMessage(kSeq, kPid)}),
         Outcome::Done, 2, nullptr, true},
        {"KernelError", errorReply(kSeq, kPid, -EBUSY), Outcome::KernelError},
        {"DoneWithError", Message(NLMSG_DONE, kSeq, kPid).fixed(doneError).bytes(),
         Outcome::KernelError},
        {"WrongSequence", routeMessage(kSeq + 3, kPid, {}), Outcome::Mismatch},
        {"HeaderCut", Message(RTM_NEWROUTE, kSeq, kPid).fixed(uint32_t{0}).bytes(),
         Outcome::Malformed},
        {"BadNextHopLength", dump({route({.attrs = badHop})}), Outcome::Malformed},
        {"GatewayTooShort", dump({route({.attrs = attr(RTA_GATEWAY, "\x01\x02", 2)})}),
         Outcome::Malformed},
    };
}

void PrintTo(const RouteCase& c, std::ostream* os)
{
    *os << c.name;
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
    EXPECT_EQ(best.hasGateway, c.gateway != nullptr);
    if (c.gateway) {
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, best.gateway.data(), text, sizeof(text));
        EXPECT_STREQ(text, c.gateway);
    }
}

INSTANTIATE_TEST_SUITE_P(Dumps, RouteDumpTest, ::testing::ValuesIn(routeCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RouteDumpTest, BestRouteCarriesAcrossDatagrams)
{
    RouteChoice best;
    ASSERT_EQ(
        parseRouteDump(route({.attrs = viaGateway(2, "198.51.100.1", 30)}), {kSeq, kPid}, best),
        Outcome::More);
    ASSERT_EQ(parseRouteDump(dump({route({.attrs = viaGateway(3, "198.51.100.2", 40)})}),
                             {kSeq, kPid}, best),
              Outcome::Done);
    EXPECT_EQ(best.oif, 2u);
}

} // namespace
