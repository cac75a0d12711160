#include "platform/netlink/LinuxNetSource.h"
#include "platform/netlink/NlBytes.h"

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

constexpr uint32_t kPid = 777;

// The far end of a socketpair playing the kernel: answers each request with the datagrams
// `respond` returns. Replies go through the source's real receive path.
class FakeKernel {
public:
    using Responder = std::function<std::vector<Bytes>(const nlmsghdr&, const Bytes&)>;

    explicit FakeKernel(Responder respond) : respond_(std::move(respond))
    {
        int fds[2];
        if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) != 0)
            throw std::runtime_error("socketpair");
        sourceFd = fds[0];
        fd_ = fds[1];
        thread_ = std::thread([this] {
            Bytes request(65536);
            for (ssize_t n; (n = recv(fd_, request.data(), request.size(), 0)) > 0;) {
                nlmsghdr hdr{};
                std::memcpy(&hdr, request.data(), sizeof(hdr));
                ++requests;
                for (const Bytes& reply : respond_(hdr, request))
                    ::send(fd_, reply.data(), reply.size(), MSG_NOSIGNAL);
                ++answered;
            }
        });
    }
    ~FakeKernel()
    {
        shutdown(fd_, SHUT_RDWR);
        thread_.join();
        close(fd_);
    }

    int sourceFd = -1;
    std::atomic<int> requests{0};
    std::atomic<int> answered{0};

private:
    Responder respond_;
    int fd_ = -1;
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
            std::make_unique<RtnlSocket>(kernel->sourceFd, kPid, timeout));
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
    std::atomic<size_t> padding = 20000, lastReply = 0;
    start([&](const nlmsghdr& h, const Bytes&) -> std::vector<Bytes> {
        const Bytes reply = linkReply(h.nlmsg_seq, kPid, 2, 10, 20, sizeof(rtnl_link_stats64),
                                      attr(IFLA_AF_SPEC, Bytes(padding)));
        lastReply = reply.size();
        return {reply};
    });
    ASSERT_EQ(source->receiveBufferSize(), RtnlSocket::initialBufferSize);
    EXPECT_EQ(source->readCounters(2), (LinkCounters{10, 20, 0}));
    const size_t grown = lastReply + RtnlSocket::bufferSlack;
    EXPECT_EQ(source->receiveBufferSize(), grown);
    EXPECT_EQ(kernel->requests, 2); // the reply that did not fit is asked for once more

    for (size_t next : {22000, 100}) { // fits the slack; much smaller: the buffer stays
        padding = next;
        EXPECT_EQ(source->readCounters(2), (LinkCounters{10, 20, 0}));
        EXPECT_EQ(source->receiveBufferSize(), grown);
    }
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
    while (kernel->answered < 1)
        std::this_thread::yield();
    EXPECT_EQ(source->readCounters(2), (LinkCounters{30, 40, 0}));
    EXPECT_EQ(source->readCounters(2), std::nullopt);
    EXPECT_EQ(source->readCounters(2), std::nullopt);
    EXPECT_EQ(source->readCounters(2), (LinkCounters{30, 40, 0}));
}

TEST_F(FakeKernelTest, RouteDumpIsRestartedABoundedNumberOfTimesWhenInterrupted)
{
    std::atomic<int> interruptions = 1;
    start([&](const nlmsghdr& h, const Bytes& req) -> std::vector<Bytes> {
        rtmsg rtm{};
        std::memcpy(&rtm, req.data() + NLMSG_HDRLEN, sizeof(rtm));
        if (h.nlmsg_type != RTM_GETROUTE || !(h.nlmsg_flags & NLM_F_DUMP) ||
            rtm.rtm_family != AF_INET)
            return {errorReply(h.nlmsg_seq, kPid, -EINVAL)};
        const uint16_t flags = interruptions-- > 0 ? NLM_F_MULTI | NLM_F_DUMP_INTR : NLM_F_MULTI;
        // Index 1 is the loopback device in every namespace.
        return {routeMessage(h.nlmsg_seq, kPid, {.attrs = viaGateway(1, "198.51.100.1")}, flags),
                doneMessage(h.nlmsg_seq, kPid)};
    });
    EXPECT_EQ(source->primaryInterface(), (PrimaryRoute{"lo", "198.51.100.1"}));
    EXPECT_EQ(kernel->requests, 2);

    interruptions = 1000;
    EXPECT_EQ(source->primaryInterface(), PrimaryRoute{});
    EXPECT_EQ(kernel->requests, 2 + LinuxNetSource::maxAttempts);
}

TEST_F(FakeKernelTest, UnusableRoutesGiveNoPrimary)
{
    int call = 0;
    start([&](const nlmsghdr& h, const Bytes&) -> std::vector<Bytes> {
        const Bytes gone =
            routeMessage(h.nlmsg_seq, kPid, {.attrs = viaGateway(0x7ffffff0, "192.0.2.1")});
        switch (++call) {
        case 1: // an interface that no longer exists
            return {gone, doneMessage(h.nlmsg_seq, kPid)};
        case 2: // the dump never ends
            return {routeMessage(h.nlmsg_seq, kPid, {.attrs = attrU32(RTA_OIF, 1)})};
        default:
            return {errorReply(h.nlmsg_seq, kPid, -EPERM)};
        }
    });
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(source->primaryInterface(), PrimaryRoute{}) << "call " << i + 1;
}

} // namespace
