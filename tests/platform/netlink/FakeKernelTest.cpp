#include "platform/netlink/LinuxNetSource.h"
#include "support/LogCapture.h"
#include "support/NlBytes.h"

#include <atomic>
#include <cerrno>
#include <functional>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace corvane;
using namespace corvane::testing;

namespace {

// The far end of a socketpair plays the kernel: each request is answered with the datagrams
// `respond` returns, and the replies go through the source's real receive path.
class FakeKernelTest : public ::testing::Test {
protected:
    using Responder = std::function<std::vector<Bytes>(const nlmsghdr&, const Bytes&)>;

    void start(Responder respond)
    {
        int fds[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds), 0);
        fd = fds[1];
        thread = std::thread([this, respond] {
            Bytes request(65536);
            for (ssize_t n; (n = recv(fd, request.data(), request.size(), 0)) > 0;) {
                nlmsghdr h;
                std::memcpy(&h, request.data(), sizeof(h));
                ++requests;
                for (const Bytes& reply : respond(h, request))
                    ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
                ++answered;
            }
        });
        const auto timeout = std::chrono::milliseconds(200);
        source = std::make_unique<LinuxNetSource>(
            LinuxNetSource::Options{"/nonexistent", timeout},
            std::make_unique<NetlinkSocket>(fds[0], testPort, timeout));
    }
    void TearDown() override
    {
        shutdown(fd, SHUT_RDWR);
        if (thread.joinable())
            thread.join();
        close(fd);
    }

    int fd = -1;
    std::atomic<int> requests{0};
    std::atomic<int> answered{0};
    std::thread thread;
    std::unique_ptr<LinuxNetSource> source;
};

// Also: the request asks for the 64-bit counters of exactly one link, and a vanished link
// reads as nothing.
TEST_F(FakeKernelTest, LargeReplyEnlargesTheBufferOnceAndIsReadInTheSameCall)
{
    std::atomic<size_t> padding = 20000, lastReply = 0;
    start([&](const nlmsghdr& h, const Bytes& req) -> std::vector<Bytes> {
        if_stats_msg stats{};
        std::memcpy(&stats, req.data() + NLMSG_HDRLEN, sizeof(stats));
        if (h.nlmsg_type != RTM_GETSTATS || h.nlmsg_flags != NLM_F_REQUEST || stats.ifindex != 2 ||
            stats.filter_mask != IFLA_STATS_FILTER_BIT(IFLA_STATS_LINK_64))
            return {error(h.nlmsg_seq, -ENODEV)};
        const Bytes reply = statsReply(h.nlmsg_seq, 2, 10, 20, sizeof(rtnl_link_stats64),
                                       Attrs().raw(IFLA_STATS_AF_SPEC, Bytes(padding)));
        lastReply = reply.size();
        return {reply};
    });
    ASSERT_EQ(source->receiveBufferSize(), NetlinkSocket::initialBufferSize);
    EXPECT_EQ(source->readCounters(2), (LinkCounters{10, 20, 0}));
    const size_t grown = lastReply + NetlinkSocket::bufferSlack;
    EXPECT_EQ(source->receiveBufferSize(), grown);
    EXPECT_EQ(requests, 2); // the reply that did not fit is asked for once more

    for (size_t next : {22000, 100}) { // fits the slack; much smaller: the buffer stays
        padding = next;
        EXPECT_EQ(source->readCounters(2), (LinkCounters{10, 20, 0}));
        EXPECT_EQ(source->receiveBufferSize(), grown);
    }
    EXPECT_EQ(source->readCounters(8), std::nullopt);
}

// Index 1 is the loopback device in every namespace; 0x7ffffff0 is none. A run of failed
// dumps warns once, and again only after a dump worked.
TEST_F(FakeKernelTest, RouteDumpsRestartBoundedlyAndUnusableOnesGiveNoPrimary)
{
    LogCapture log("corvane.netlink");
    std::atomic<int> interruptions = 1, broken = 0;
    start([&](const nlmsghdr& h, const Bytes& req) -> std::vector<Bytes> {
        rtmsg rtm{};
        std::memcpy(&rtm, req.data() + NLMSG_HDRLEN, sizeof(rtm));
        if (h.nlmsg_type != RTM_GETROUTE || !(h.nlmsg_flags & NLM_F_DUMP) ||
            rtm.rtm_family != AF_INET)
            return {error(h.nlmsg_seq, -EINVAL)};
        const uint16_t flags = interruptions-- > 0 ? NLM_F_MULTI | NLM_F_DUMP_INTR : NLM_F_MULTI;
        const Bytes lo = route(h.nlmsg_seq, {.attrs = viaGateway(1, "198.51.100.1")}, flags);
        switch (broken) {
        case 1: // the dump never ends
            return {lo};
        case 2:
            return {error(h.nlmsg_seq, -EPERM)};
        case 3:
            return {route(h.nlmsg_seq, {.attrs = viaGateway(0x7ffffff0, "192.0.2.1")}),
                    done(h.nlmsg_seq)};
        }
        return {lo, done(h.nlmsg_seq)};
    });
    EXPECT_EQ(source->primaryInterface(), (PrimaryRoute{"lo", "198.51.100.1", 1}));
    EXPECT_EQ(requests, 2);

    interruptions = 1000;
    EXPECT_EQ(source->primaryInterface(), PrimaryRoute{});
    EXPECT_EQ(requests, 2 + LinuxNetSource::maxAttempts);

    interruptions = 0;
    for (broken = 1; broken <= 3; ++broken)
        EXPECT_EQ(source->primaryInterface(), PrimaryRoute{}) << "case " << broken;
    EXPECT_EQ(log.warnings().size(), 1);

    broken = 0;
    EXPECT_EQ(source->primaryInterface().index, 1u);
    broken = 2;
    EXPECT_EQ(source->primaryInterface(), PrimaryRoute{});
    EXPECT_EQ(log.warnings().size(), 2);
}

} // namespace

// A reply that arrives too late, or from the wrong port, must not poison the next call: the
// socket drops what is queued before it asks again.
TEST_F(FakeKernelTest, StaleRepliesAreDroppedBeforeTheNextRequest)
{
    const size_t stats = sizeof(rtnl_link_stats64);
    std::atomic<int> call = 0;
    start([&](const nlmsghdr& h, const Bytes&) -> std::vector<Bytes> {
        switch (++call) {
        case 1: // an answer to some other request, then (too late for that call) ours
            return {statsReply(h.nlmsg_seq - 1, 2, 1, 1), statsReply(h.nlmsg_seq, 2, 1, 1)};
        case 3: // another port
            return {statsReply(h.nlmsg_seq, 2, 1, 1, stats, {}, testPort + 1)};
        case 4:
            return {}; // no answer: the timeout ends the call
        default:
            return {statsReply(h.nlmsg_seq, 2, 30, 40)};
        }
    });
    EXPECT_EQ(source->readCounters(2), std::nullopt);
    while (answered < 1) // the late reply is queued before the next request
        std::this_thread::yield();
    EXPECT_EQ(source->readCounters(2), (LinkCounters{30, 40, 0}));
    EXPECT_EQ(source->readCounters(2), std::nullopt);
    EXPECT_EQ(source->readCounters(2), std::nullopt);
    EXPECT_EQ(source->readCounters(2), (LinkCounters{30, 40, 0}));
}
