#include "platform/netlink/NlWalk.h"

#include "platform/netlink/RtnlParse.h"
#include "platform/nl80211/GenlClient.h"
#include "support/NamedCases.h"
#include "support/NlBytes.h"

using namespace corvane;
using namespace corvane::testing;

// One table of damage for the walker that rtnetlink and generic netlink share: the bytes must
// be refused whole by the route parser and by generic netlink's reply walk alike.
namespace {

enum : uint16_t { U32 = 1, Text = 2, Nest = 3, Unknown = 99 };
constexpr uint32_t kSeq = 9;

// Reads every attribute the way the parsers do: a u32, a string, a nest of the same; an
// unknown type is passed over.
bool readAll(nl::Bytes area)
{
    return nl::forEachAttribute(area, [](uint16_t type, nl::Bytes p) {
        uint32_t n = 0;
        std::string_view s;
        return type == U32    ? nl::read(p, n)
               : type == Text ? nl::readString(p, s)
               : type == Nest ? readAll(p)
                              : true;
    });
}

Bytes cut(Bytes b, size_t drop)
{
    b.resize(b.size() - drop);
    return b;
}

const Attrs inner = Attrs().num<uint32_t>(U32, 7).str(Text, "wlan0");

struct AttributeCase : NamedCase {
    Bytes area;
    bool framed, readable;
};
const AttributeCase attributeCases[] = {
    {"Whole", Attrs(inner).nest(Nest, inner).bytes, true, true},
    {"Empty", {}, true, true},
    {"LastPaddingLeftOff", cut(Attrs().raw(Text, {'a', 0}).bytes, 2), true, true},
    {"TruncatedHeader", Attrs(inner).bytes + Bytes{8, 0}, false, false},
    {"ShorterThanItsHeader", Attrs().raw(Unknown, {}, 2).bytes, false, false},
    {"ZeroLength", Bytes{0, 0, U32, 0, 7, 0, 0, 0}, false, false},
    {"LengthPastTheEnd", Attrs().raw(U32, bytesOf<uint32_t>(7), 12).bytes, false, false},
    {"WrongFixedSizeShort", Attrs().num<uint16_t>(U32, 7).bytes, true, false},
    {"WrongFixedSizeLong", Attrs().num<uint64_t>(U32, 7).bytes, true, false},
    {"MissingNul", Attrs().raw(Text, {'w', 'l'}).bytes, true, false},
    {"EmptyString", Attrs().raw(Text, {}).bytes, true, false},
    {"NestCutShort", Attrs().nest(Nest, Attrs().raw(U32, bytesOf<uint32_t>(7), 20)).bytes, true,
     false},
    {"NestEndsInAPartialHeader", Attrs().raw(Nest, {4, 0}).bytes, true, false},
};
class NlAttributes : public ::testing::TestWithParam<AttributeCase> {};
CORVANE_NAMED_CASES(NlAttributes, attributeCases);

TEST_P(NlAttributes, BoundsAreCheckedAtEveryLevel)
{
    const AttributeCase& c = GetParam();
    EXPECT_EQ(nl::forEachAttribute(c.area, [](uint16_t, nl::Bytes) { return true; }), c.framed);
    EXPECT_EQ(readAll(c.area), c.readable);
    Bytes asRoute = route(kSeq, {.attrs = Attrs{c.area}});
    asRoute.resize(NLMSG_ALIGN(asRoute.size()));
    rtnl::RouteChoice best;
    EXPECT_EQ(rtnl::parseRouteDump(asRoute + done(kSeq), {kSeq, testPort}, best),
              c.framed ? rtnl::Outcome::Done : rtnl::Outcome::Malformed);
}

const Bytes message = genl(28, 1, inner, kSeq);
struct MessageCase : NamedCase {
    Bytes datagram;
    nl::Walk walk;
};
const MessageCase messageCases[] = {
    {"TwoWhole", message + message, nl::Walk::Exhausted},
    {"Empty", {}, nl::Walk::Damaged},
    {"HeaderCutShort", message + Bytes(8, 0), nl::Walk::Damaged},
    {"LengthPastTheEnd", cut(message, 1), nl::Walk::Damaged},
    {"SecondPastTheEnd", message + cut(message, 1), nl::Walk::Damaged},
    {"ShorterThanItsHeader", Bytes{8, 0, 0, 0} + Bytes(message.begin() + 4, message.end()),
     nl::Walk::Damaged},
};
class NlMessages : public ::testing::TestWithParam<MessageCase> {};
CORVANE_NAMED_CASES(NlMessages, messageCases);

TEST_P(NlMessages, BoundsAreCheckedForEveryMessage)
{
    const MessageCase& c = GetParam();
    const bool damaged = c.walk == nl::Walk::Damaged;
    size_t visited = 0;
    EXPECT_EQ(nl::forEachMessage(c.datagram,
                                 [&](const nlmsghdr&, nl::Bytes p) {
                                     EXPECT_TRUE(readAll(p.subspan(4)));
                                     return ++visited != 0;
                                 }),
              c.walk);
    nl80211::ReplyState state;
    nl80211::walkReply(c.datagram, 28, kSeq, testPort, state);
    EXPECT_EQ(state.malformed, damaged);
    EXPECT_EQ(state.messages.size(), visited);
    rtnl::RouteChoice best;
    EXPECT_EQ(rtnl::parseRouteDump(c.datagram, {kSeq, testPort}, best),
              damaged ? rtnl::Outcome::Malformed : rtnl::Outcome::More);
}

} // namespace
