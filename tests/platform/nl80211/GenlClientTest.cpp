#include "platform/nl80211/GenlClient.h"

#include "platform/nl80211/ScriptedChannel.h"

#include <climits>
#include <gtest/gtest.h>

using namespace corvane::nl80211;
using namespace corvane::testing;

namespace {

constexpr uint16_t family = 28;
using Datagrams = std::vector<Datagram>;

Bytes entry(uint32_t seq, uint16_t flags = NLM_F_MULTI)
{
    return genl(family, 7, Attrs().num<uint32_t>(3, 1), seq, flags);
}

Reply run(std::function<Datagrams(uint32_t seq)> answer, size_t* sends = nullptr)
{
    auto channel = std::make_unique<ScriptedChannel>([&](const Sent& r) { return answer(r.seq); });
    auto* wire = channel.get();
    GenlClient client(std::move(channel));
    Reply reply = client.transact(Request(family, 5, true));
    if (sends)
        *sends = wire->sent.size();
    return reply;
}

} // namespace

TEST(GenlClient, KeepsOnlyTheAnswersToThisRequest)
{
    Reply reply = run([](uint32_t s) {
        return Datagrams{
            {0, entry(s - 1) + genl(family + 1, 7, {}, s) + genl(family, 7, {}, s, 0, 1)},
            {0, entry(s) + done(s) + entry(s)}};
    });
    EXPECT_TRUE(reply.ok());
    EXPECT_EQ(reply.messages.size(), 1u);
}

TEST(GenlClient, RestartsAnInterruptedDumpBoundedly)
{
    int interrupted = 1, overflows = 0;
    auto answer = [&](uint32_t s) {
        if (overflows-- > 0) // lost messages mid-dump: ask again
            return Datagrams{{0, entry(s)}, {ENOBUFS, {}}};
        const uint16_t flags = NLM_F_MULTI | (interrupted-- > 0 ? NLM_F_DUMP_INTR : 0);
        return Datagrams{{0, entry(s, flags) + entry(s, flags)}, {0, done(s, 0, flags)}};
    };
    size_t sends = 0;
    for (const auto& [interruptions, overflowed, attempts, entries] :
         {std::tuple{1, 0, 2u, 2u},
          {1000, 0, unsigned(GenlClient::maxAttempts), 0u},
          {0, 1, 2u, 2u}}) {
        interrupted = interruptions;
        overflows = overflowed;
        const Reply reply = run(answer, &sends);
        EXPECT_EQ(reply.ok(), entries != 0);
        EXPECT_EQ(reply.messages.size(), entries);
        EXPECT_EQ(sends, attempts);
    }
}

TEST(GenlClient, FailuresGiveNothing)
{
    const int expected[] = {EPERM, EOPNOTSUPP, ETIMEDOUT, EBADMSG, EBADMSG, EPROTO, ENOBUFS};
    for (int row = 0; row < 7; ++row) {
        Reply reply = run([row](uint32_t s) -> Datagrams {
            Bytes cut = entry(s);
            cut.resize(cut.size() - 2);
            switch (row) {
            case 0:
                return {{0, error(s, -EPERM)}};
            case 1:
                return {{0, entry(s) + done(s, -EOPNOTSUPP)}};
            case 2:
                return {};
            case 3:
                return {{0, cut}};
            case 4:
                return {{0, nlmsg(NLMSG_ERROR, 0, s, {})}};
            case 5:
                return {{0, error(s, INT_MIN)}};
            }
            return {{0, entry(s)}, {ENOBUFS, {}}};
        });
        EXPECT_EQ(reply.error, expected[row]) << row;
        EXPECT_TRUE(reply.messages.empty());
    }
}
