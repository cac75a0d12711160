#include "platform/nl80211/GenlClient.h"

#include "platform/nl80211/NlBytes.h"

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
    int interrupted = 1;
    auto answer = [&](uint32_t s) {
        const uint16_t flags = NLM_F_MULTI | (interrupted-- > 0 ? NLM_F_DUMP_INTR : 0);
        return Datagrams{{0, entry(s, flags) + entry(s, flags)}, {0, done(s, 0, flags)}};
    };
    size_t sends = 0;
    Reply reply = run(answer, &sends);
    EXPECT_EQ(reply.messages.size(), 2u);
    EXPECT_EQ(sends, 2u);

    interrupted = 1000;
    reply = run(answer, &sends);
    EXPECT_FALSE(reply.ok());
    EXPECT_TRUE(reply.messages.empty());
    EXPECT_EQ(sends, size_t(GenlClient::maxAttempts));

    int overflows = 1; // lost messages mid-dump: ask again
    reply = run([&](uint32_t s) {
        if (overflows-- > 0)
            return Datagrams{{0, entry(s)}, {ENOBUFS, {}}};
        return Datagrams{{0, entry(s) + entry(s) + done(s)}};
    });
    EXPECT_EQ(reply.messages.size(), 2u);
}

TEST(GenlClient, FailuresGiveNothing)
{
    const std::pair<std::function<Datagrams(uint32_t)>, int> table[] = {
        {[](uint32_t s) {
             return Datagrams{{0, error(s, -EPERM)}};
         },
         EPERM},
        {[](uint32_t s) {
             return Datagrams{{0, entry(s) + done(s, -EOPNOTSUPP)}};
         },
         EOPNOTSUPP},
        {[](uint32_t) { return Datagrams{}; }, ETIMEDOUT},
        {[](uint32_t s) {
             auto cut = entry(s);
             cut.resize(cut.size() - 2);
             return Datagrams{{0, cut}};
         },
         EBADMSG},
        {[](uint32_t s) {
             return Datagrams{{0, nlmsg(NLMSG_ERROR, 0, s, {})}};
         },
         EBADMSG},
        {[](uint32_t s) {
             return Datagrams{{0, entry(s)}, {ENOBUFS, {}}};
         },
         ENOBUFS},
    };
    for (const auto& [answer, errno_] : table) {
        Reply reply = run(answer);
        EXPECT_EQ(reply.error, errno_);
        EXPECT_TRUE(reply.messages.empty());
    }
}
