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

    // With `listening`, the source hears the kernel's news on a second pair, written to `news`.
    void start(Responder respond, bool listening = false)
    {
        int fds[2], events[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds), 0);
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, events), 0);
        news = events[1];
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
            std::make_unique<NetlinkSocket>(fds[0], testPort, timeout),
            listening ? std::make_unique<NetlinkSocket>(events[0], 0, timeout) : nullptr);
        if (!listening)
            close(events[0]);
    }
    void TearDown() override
    {
        shutdown(fd, SHUT_RDWR);
        if (thread.joinable())
            thread.join();
        close(fd);
        close(news);
    }

    int fd = -1, news = -1;
    std::atomic<int> requests{0};
    std::atomic<int> answered{0};
    std::thread thread;
    std::unique_ptr<LinuxNetSource> source;
};

// A reply that does not fit grows the buffer once and is asked for again; one that answers
// another request (late, or for another port) is dropped before the next request.
TEST_F(FakeKernelTest, CountersSurviveLargeLateAndStrayReplies)
{
    std::atomic<size_t> size = 0;
    start([&](const nlmsghdr& h, const Bytes&) -> std::vector<Bytes> {
        const auto reply = [&](uint32_t seq, uint32_t port = testPort) {
            const Attrs padding = Attrs().raw(IFLA_STATS_AF_SPEC, Bytes(20000));
            const Bytes r = statsReply(seq, 2, 10, 20, sizeof(rtnl_link_stats64), padding, port);
            size = r.size();
            return r;
        };
        switch (requests) {
        case 3: // an answer to some other request, then (too late for that call) ours
            return {reply(h.nlmsg_seq - 1), reply(h.nlmsg_seq)};
        case 5:
            return {reply(h.nlmsg_seq, testPort + 1)};
        case 6:
            return {}; // no answer: the timeout ends the call
        }
        return {reply(h.nlmsg_seq)};
    });
    const LinkCounters counters{10, 20, 0};
    ASSERT_EQ(source->receiveBufferSize(), NetlinkSocket::initialBufferSize);
    EXPECT_EQ(source->readCounters(2), counters);
    EXPECT_EQ(requests, 2);
    EXPECT_EQ(source->receiveBufferSize(), size + NetlinkSocket::bufferSlack);
    EXPECT_EQ(source->readCounters(2), std::nullopt);
    while (answered < 3) // the late reply is queued before the next request
        std::this_thread::yield();
    for (const auto& expected : {std::optional(counters), std::optional<LinkCounters>(),
                                 std::optional<LinkCounters>(), std::optional(counters)})
        EXPECT_EQ(source->readCounters(2), expected);
    EXPECT_EQ(source->readCounters(8), std::nullopt); // a vanished link
    EXPECT_EQ(source->receiveBufferSize(), size + NetlinkSocket::bufferSlack);
}

// Index 1 is the loopback device in every namespace; 0x7ffffff0 is none. A dump that did not
// fit the buffer or was interrupted is asked for again, up to a bound. A run of failed dumps
// warns once, and again only after a dump worked.
TEST_F(FakeKernelTest, RouteDumpsRestartBoundedlyAndUnusableOnesGiveNoPrimary)
{
    LogCapture log("corvane.netlink");
    std::atomic<int> interruptions = 1, broken = 0;
    start([&](const nlmsghdr& h, const Bytes&) -> std::vector<Bytes> {
        const bool first = requests == 1;
        const uint16_t flags =
            !first && interruptions-- > 0 ? NLM_F_MULTI | NLM_F_DUMP_INTR : NLM_F_MULTI;
        const Bytes lo = route(
            h.nlmsg_seq, {.attrs = viaGateway(1, "198.51.100.1").raw(999, Bytes(20000))}, flags);
        switch (broken) {
        case 1: // the dump never ends
            return {lo};
        case 2:
            return {error(h.nlmsg_seq, -EPERM)};
        case 3:
            return {route(h.nlmsg_seq, {.attrs = viaGateway(0x7ffffff0, "192.0.2.1")}),
                    done(h.nlmsg_seq)};
        }
        return {lo + done(h.nlmsg_seq)}; // one datagram: nothing of it is left over
    });
    EXPECT_EQ(source->primaryInterface(), (PrimaryRoute{"lo", "198.51.100.1", 1}));
    EXPECT_EQ(requests, LinuxNetSource::maxAttempts);

    interruptions = 1000;
    EXPECT_EQ(source->primaryInterface(), PrimaryRoute{});
    EXPECT_EQ(requests, 2 * LinuxNetSource::maxAttempts);

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

// Any news from the kernel moves the link epoch and sends the next lookup of the primary
// back to the routing table; quiet, the table is read once.
TEST_F(FakeKernelTest, KernelNewsMoveTheLinkEpochAndRereadTheRoutes)
{
    start(
        [](const nlmsghdr& h, const Bytes&) -> std::vector<Bytes> {
            return {route(h.nlmsg_seq, {.attrs = Attrs().num(RTA_OIF, 1u)}) + done(h.nlmsg_seq)};
        },
        true);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(source->primaryInterface().index, 1u);
    EXPECT_EQ(requests, 1);
    ASSERT_EQ(::send(news, "x", 1, 0), 1);
    EXPECT_EQ(source->primaryInterface().index, 1u);
    EXPECT_EQ(requests, 2);
    EXPECT_EQ(source->linkEpoch(), 1u);
}

} // namespace
