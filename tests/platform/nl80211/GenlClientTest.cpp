#include "platform/nl80211/GenlClient.h"

#include "platform/nl80211/ScriptedChannel.h"
#include "support/NamedCases.h"

#include <climits>

using namespace corvane::nl80211;
using namespace corvane::testing;

namespace {

constexpr uint16_t family = 28;
using Datagrams = std::vector<Datagram>;

Bytes entry(uint32_t seq, uint16_t flags = NLM_F_MULTI)
{
    return genl(family, 7, Attrs().num<uint32_t>(3, 1), seq, flags);
}

// A dump of two entries; `intr` flags it as inconsistent.
Datagrams twoEntries(uint32_t s, bool intr = false)
{
    const uint16_t flags = NLM_F_MULTI | (intr ? NLM_F_DUMP_INTR : 0);
    return {{0, entry(s, flags) + entry(s, flags)}, {0, done(s, 0, flags)}};
}

constexpr size_t most = GenlClient::maxAttempts;
struct Case : NamedCase {
    std::function<Datagrams(uint32_t seq, size_t attempt)> answer;
    int error;
    size_t messages, sends = 1;
};
const Case cases[] = {
    {"OnlyTheAnswersToThisRequest",
     [](uint32_t s, size_t) {
         return Datagrams{{0, entry(s - 1) + genl(family + 1, 7, {}, s) +
                                  genl(family, 7, {}, s, 0, testPort + 1)},
                          {0, entry(s) + done(s) + entry(s)}};
     },
     0, 1},
    {"InterruptedOnce", [](uint32_t s, size_t n) { return twoEntries(s, n == 1); }, 0, 2, 2},
    {"AlwaysInterrupted", [](uint32_t s, size_t) { return twoEntries(s, true); }, EINTR, 0, most},
    {"OverflowMidDumpOnce",
     [](uint32_t s, size_t n) {
         return n == 1 ? Datagrams{{0, entry(s)}, {ENOBUFS, {}}} : twoEntries(s);
     },
     0, 2, 2},
    {"AlwaysOverflowing",
     [](uint32_t s, size_t) {
         return Datagrams{{0, entry(s)}, {ENOBUFS, {}}};
     },
     ENOBUFS, 0, most},
    {"Refused",
     [](uint32_t s, size_t) {
         return Datagrams{{0, error(s, -EPERM)}};
     },
     EPERM, 0},
    {"DumpFailedInDone",
     [](uint32_t s, size_t) {
         return Datagrams{{0, entry(s) + done(s, -EOPNOTSUPP)}};
     },
     EOPNOTSUPP, 0},
    {"NoAnswer", [](uint32_t, size_t) { return Datagrams{}; }, ETIMEDOUT, 0},
    {"ErrorWithoutCode",
     [](uint32_t s, size_t) {
         return Datagrams{{0, nlmsg(NLMSG_ERROR, 0, s, {})}};
     },
     EBADMSG, 0},
    {"ImpossibleCode",
     [](uint32_t s, size_t) {
         return Datagrams{{0, error(s, INT_MIN)}};
     },
     EPROTO, 0},
};
class GenlClientReply : public ::testing::TestWithParam<Case> {};
CORVANE_NAMED_CASES(GenlClientReply, cases);

// Every reply is checked; an interrupted dump, or one that lost messages, is asked for again.
TEST_P(GenlClientReply, ChecksEveryReplyAndRestartsBoundedly)
{
    const Case& row = GetParam();
    auto channel = std::make_unique<ScriptedChannel>();
    ScriptedChannel* wire = channel.get();
    wire->script = [&](const Sent& r) { return row.answer(r.seq, wire->sent.size()); };
    GenlClient client(std::move(channel));
    const Reply reply = client.transact(Request(family, 5, true));
    EXPECT_EQ(reply.error, row.error);
    EXPECT_EQ(reply.messages.size(), row.messages);
    EXPECT_EQ(wire->sent.size(), row.sends);
}

} // namespace
