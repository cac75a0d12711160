#include "platform/netlink/LinuxNetSource.h"
#include "platform/netlink/NlBytes.h"

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace corvane;
using namespace corvane::testing;

namespace {

constexpr uint32_t kPid = 777;

// The far end of a socketpair playing the kernel: answers each request it reads with the
// datagrams `respond` returns. Replies go through the source's real receive path.
class FakeKernel {
public:
    using Responder = std::function<std::vector<Bytes>(const nlmsghdr&, const Bytes&)>;

    explicit FakeKernel(Responder respond) : respond_(std::move(respond))
    {
        int fds[2];
        if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) != 0)
            throw std::runtime_error("socketpair");
        sourceFd_ = fds[0];
        kernelFd_ = fds[1];
        thread_ = std::thread([this] { serve(); });
    }
    ~FakeKernel()
    {
        shutdown(kernelFd_, SHUT_RDWR);
        thread_.join();
        close(kernelFd_);
    }
    int takeSourceFd() { return std::exchange(sourceFd_, -1); }
    int requests() const { return requests_; }
    void waitAnswered(int n) const
    {
        while (answered_ < n)
            std::this_thread::yield();
    }

private:
    void serve()
    {
        Bytes request(65536);
        for (;;) {
            const ssize_t n = recv(kernelFd_, request.data(), request.size(), 0);
            if (n <= 0)
                return;
            nlmsghdr hdr{};
            std::memcpy(&hdr, request.data(), sizeof(hdr));
            ++requests_;
            for (const Bytes& reply : respond_(hdr, Bytes(request.begin(), request.begin() + n)))
                ::send(kernelFd_, reply.data(), reply.size(), MSG_NOSIGNAL);
            ++answered_;
        }
    }

    Responder respond_;
    int sourceFd_ = -1;
    int kernelFd_ = -1;
    std::atomic<int> requests_{0};
    std::atomic<int> answered_{0};
    std::thread thread_;
};

class FakeKernelTest : public ::testing::Test {
protected:
    void start(FakeKernel::Responder respond)
    {
        kernel = std::make_unique<FakeKernel>(std::move(respond));
        const auto timeout = std::chrono::milliseconds(200);
        source = std::make_unique<LinuxNetSource>(
            LinuxNetSource::Options{"/nonexistent", timeout},
            std::make_unique<RtnlSocket>(kernel->takeSourceFd(), kPid, timeout));
    }

    std::unique_ptr<FakeKernel> kernel;
    std::unique_ptr<LinuxNetSource> source;
};

TEST_F(FakeKernelTest, AsksForOneLinkAndReadsItsCounters)
{
    start([](const nlmsghdr& h, const Bytes& req) -> std::vector<Bytes> {
        ifinfomsg info{};
        std::memcpy(&info, req.data() + NLMSG_HDRLEN, sizeof(info));
        if (h.nlmsg_type != RTM_GETLINK || h.nlmsg_flags != NLM_F_REQUEST)
            return {errorReply(h.nlmsg_seq, kPid, -EINVAL)};
        if (info.ifi_index != 7)
            return {errorReply(h.nlmsg_seq, kPid, -ENODEV)};
        return {linkReply(h.nlmsg_seq, kPid, 7, 123, 456)};
    });
    EXPECT_EQ(source->readCounters(7), (LinkCounters{123, 456, 0}));
    EXPECT_EQ(source->readCounters(8), std::nullopt); // vanished
    EXPECT_EQ(source->readCounters(7), (LinkCounters{123, 456, 0}));
}

TEST_F(FakeKernelTest, LargeReplyEnlargesTheBufferOnceAndIsReadInTheSameCall)
{
    size_t padding = 20000;
    size_t lastReply = 0;
    start([&](const nlmsghdr& h, const Bytes&) -> std::vector<Bytes> {
        const Bytes filler(padding, 0);
        Bytes reply = linkReply(h.nlmsg_seq, kPid, 2, 10, 20, sizeof(rtnl_link_stats64), "big0",
                                attr(IFLA_AF_SPEC, filler.data(), filler.size()));
        lastReply = reply.size();
        return {reply};
    });
    ASSERT_EQ(source->receiveBufferSize(), RtnlSocket::initialBufferSize);
    EXPECT_EQ(source->readCounters(2), (LinkCounters{10, 20, 0}));
    const size_t grown = lastReply + RtnlSocket::bufferSlack;
    EXPECT_EQ(source->receiveBufferSize(), grown);
    EXPECT_EQ(kernel->requests(), 1);

    padding = 22000; // fits the slack: no second enlargement
    EXPECT_EQ(source->readCounters(2), (LinkCounters{10, 20, 0}));
    padding = 100; // never shrinks
    EXPECT_EQ(source->readCounters(2), (LinkCounters{10, 20, 0}));
    EXPECT_EQ(source->receiveBufferSize(), grown);
}

TEST_F(FakeKernelTest, StaleRepliesAreDroppedBeforeTheNextRequest)
{
    int call = 0;
    start([&](const nlmsghdr& h, const Bytes&) -> std::vector<Bytes> {
        switch (++call) {
        case 1: // an answer to some other request, then (too late for that call) ours
            return {linkReply(h.nlmsg_seq - 1, kPid, 2, 1, 1),
                    linkReply(h.nlmsg_seq, kPid, 2, 1, 1)};
        case 3:
            return {linkReply(h.nlmsg_seq, kPid + 1, 2, 1, 1)}; // another port
        case 4:
            return {}; // no answer: the timeout ends the call
        default:
            return {linkReply(h.nlmsg_seq, kPid, 2, 30, 40)};
        }
    });
    EXPECT_EQ(source->readCounters(2), std::nullopt);
    kernel->waitAnswered(1);
    EXPECT_EQ(source->readCounters(2), (LinkCounters{30, 40, 0}));
    EXPECT_EQ(source->readCounters(2), std::nullopt);
    EXPECT_EQ(source->readCounters(2), std::nullopt);
    EXPECT_EQ(source->readCounters(2), (LinkCounters{30, 40, 0}));
}

Bytes defaultRoute(uint32_t seq, uint32_t oif, uint16_t flags = NLM_F_MULTI)
{
    return routeMessage(
        seq, kPid,
        {.attrs = concat({attrU32(RTA_OIF, oif), attrIPv4(RTA_GATEWAY, "198.51.100.1")})}, flags);
}

TEST_F(FakeKernelTest, RouteDumpSpansDatagramsAndNamesTheInterface)
{
    start([](const nlmsghdr& h, const Bytes& req) -> std::vector<Bytes> {
        rtmsg rtm{};
        std::memcpy(&rtm, req.data() + NLMSG_HDRLEN, sizeof(rtm));
        if (h.nlmsg_type != RTM_GETROUTE || !(h.nlmsg_flags & NLM_F_DUMP) ||
            rtm.rtm_family != AF_INET)
            return {errorReply(h.nlmsg_seq, kPid, -EINVAL)};
        // Index 1 is the loopback device in every namespace.
        return {defaultRoute(h.nlmsg_seq, 1), doneMessage(h.nlmsg_seq, kPid)};
    });
    EXPECT_EQ(source->primaryInterface(), (PrimaryRoute{"lo", "198.51.100.1"}));
}

TEST_F(FakeKernelTest, InterruptedDumpIsAskedAgainABoundedNumberOfTimes)
{
    int interruptions = 1;
    start([&](const nlmsghdr& h, const Bytes&) -> std::vector<Bytes> {
        const uint16_t flags = interruptions-- > 0 ? NLM_F_MULTI | NLM_F_DUMP_INTR : NLM_F_MULTI;
        return {defaultRoute(h.nlmsg_seq, 1, flags), doneMessage(h.nlmsg_seq, kPid)};
    });
    EXPECT_EQ(source->primaryInterface(), (PrimaryRoute{"lo", "198.51.100.1"}));
    EXPECT_EQ(kernel->requests(), 2);

    interruptions = 1000;
    EXPECT_EQ(source->primaryInterface(), PrimaryRoute{});
    EXPECT_EQ(kernel->requests(), 2 + LinuxNetSource::maxAttempts);
}

TEST_F(FakeKernelTest, UnusableRoutesGiveNoPrimary)
{
    int call = 0;
    start([&](const nlmsghdr& h, const Bytes&) -> std::vector<Bytes> {
        switch (++call) {
        case 1: // an interface that no longer exists
            return {defaultRoute(h.nlmsg_seq, 0x7ffffff0), doneMessage(h.nlmsg_seq, kPid)};
        case 2: // the dump never ends
            return {defaultRoute(h.nlmsg_seq, 1)};
        default:
            return {errorReply(h.nlmsg_seq, kPid, -EPERM)};
        }
    });
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(source->primaryInterface(), PrimaryRoute{}) << "call " << i + 1;
}

} // namespace
