#include "platform/netlink/LinuxNetSource.h"

#include "measure/NetSampler.h"
#include "platform/netlink/NlWalk.h"
#include "platform/sysfs/FakeSysfs.h"
#include "platform/sysfs/SysfsNet.h"
#include "platform/sysfs/SystemLinks.h"
#include "support/LogCapture.h"
#include "support/NlBytes.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace corvane;
using namespace corvane::testing;
using namespace std::chrono_literals;

namespace {

// The far end of a socketpair plays the kernel: each request is answered with the datagrams
// `respond` returns, and the replies go through the source's real receive path.
class FakeKernelTest : public ::testing::Test {
protected:
    using Responder = std::function<std::vector<Bytes>(const nlmsghdr&)>;

    void start(Responder respond)
    {
        int fds[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds), 0);
        fd = fds[1];
        thread = std::thread([this, respond] {
            Bytes request(65536);
            while (recv(fd, request.data(), request.size(), 0) > 0) {
                ++requests;
                for (const Bytes& reply : respond(nl::load<nlmsghdr>(request)))
                    ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
                ++answered;
            }
        });
        const auto timeout = 200ms;
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

// A reply that does not fit grows the buffer and is asked for again; one that answers another
// request (late, or for another port) fails that call and is dropped before the next request.
TEST_F(FakeKernelTest, CountersSurviveLargeLateAndStrayReplies)
{
    start([&](const nlmsghdr& h) -> std::vector<Bytes> {
        const auto reply = [&](uint32_t seq, uint32_t port = testPort) {
            const Attrs padding = Attrs().raw(IFLA_STATS_AF_SPEC, Bytes(20000));
            return statsReply(seq, 2, 10, 20, sizeof(rtnl_link_stats64), padding, port);
        };
        if (requests == 3)
            return {reply(h.nlmsg_seq - 1), reply(h.nlmsg_seq)};
        return {reply(h.nlmsg_seq, requests == 5 ? testPort + 1 : testPort)};
    });
    const LinkCounters counters{10, 20, 0};
    EXPECT_EQ(source->readCounters(2), counters);
    EXPECT_EQ(requests, 2);
    EXPECT_EQ(source->readCounters(2), std::nullopt);
    while (answered < 3) // the late reply is queued before the next request
        std::this_thread::yield();
    for (const auto& expected :
         {std::optional(counters), std::optional<LinkCounters>(), std::optional(counters)})
        EXPECT_EQ(source->readCounters(2), expected);
}

// Index 1 is the loopback device in every namespace; 0x7ffffff0 is none. A dump that did not
// fit the buffer or was interrupted is asked for again, up to a bound. A run of failed dumps
// warns once, and again only after a dump worked.
TEST_F(FakeKernelTest, RouteDumpsRestartBoundedlyAndUnusableOnesGiveNoPrimary)
{
    LogCapture log("corvane.netlink");
    std::atomic<int> interruptions = 1, broken = 0;
    start([&](const nlmsghdr& h) -> std::vector<Bytes> {
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

// Against the running kernel, in a network namespace of our own: every device, address and
// route made here disappears with it, and no packet leaves it.
bool sh(const std::string& script)
{
    return std::system(("{ " + script + "; } >/dev/null 2>&1").c_str()) == 0;
}

// A second passes between readings.
struct StepClock final : SampleClock {
    std::chrono::nanoseconds t{};
    std::chrono::nanoseconds now() override { return t += 1s; }
};

// A veth end with an address, a neighbour that exists only in its table and a default route.
bool makeLink(const std::string& dev, const std::string& peer, const std::string& net,
              const std::string& metric)
{
    return sh("ip link set " + dev + " up && ip link set " + peer + " up && ip addr add " + net +
              ".1/24 dev " + dev + " && ip neigh add " + net + ".9 lladdr 02:00:00:00:00:09 dev " +
              dev + " && ip route add default via " + net + ".2 dev " + dev + " metric " + metric);
}

void scenario()
{
    ASSERT_TRUE(sh("ip link add cvn2 type veth peer name cvn3"));
    auto owned = std::make_unique<LinuxNetSource>();
    LinuxNetSource& source = *owned;
    NetSampler sampler(std::move(owned), std::make_unique<StepClock>());
    EXPECT_EQ(source.primaryInterface(), PrimaryRoute{}); // no default route yet

    ASSERT_TRUE(makeLink("cvn0", "cvn1", "198.51.100", "100"));
    // The picker's list: up with an IPv4 address, neither loopback nor a bridge.
    EXPECT_EQ(SystemLinks::upInterfaces(), std::vector<std::string>{"cvn0"});
    EXPECT_EQ(SystemLinks::localIPv4("cvn0"), "198.51.100.1");
    FakeSysfs bridge;
    bridge.add("cvn0", {{"bridge", "/"}});
    SysfsNet::setSystemRootForTesting(bridge.root());
    EXPECT_TRUE(SystemLinks::upInterfaces().empty());
    SysfsNet::setSystemRootForTesting({});
    EXPECT_EQ(source.primaryInterface(),
              (PrimaryRoute{"cvn0", "198.51.100.2", if_nametoindex("cvn0")}));
    ASSERT_TRUE(makeLink("cvn2", "cvn3", "203.0.113", "10"));
    EXPECT_EQ(sampler.sample().primaryName, "cvn2");
    const uint64_t dumps = source.routeDumps();
    for (int i = 0; i < 3; ++i) // quiet ticks read no routes; a change, one dump
        EXPECT_EQ(sampler.sample().primaryName, "cvn2");
    EXPECT_EQ(source.routeDumps(), dumps);
    ASSERT_TRUE(sh("ip route add 192.0.2.0/24 via 203.0.113.2"));
    EXPECT_EQ(sampler.sample().primaryName, "cvn2");
    EXPECT_EQ(source.routeDumps(), dumps + 1);

    // Counted as sent, not received; a veth's 10000 is not a negotiated speed.
    sampler.setOverride("cvn2");
    sampler.sample();
    const int udp = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{AF_INET, htons(9), {}, {}}; // the neighbour; nothing answers
    inet_pton(AF_INET, "203.0.113.9", &to.sin_addr);
    const std::vector<char> data(20000, 'x');
    ASSERT_EQ(
        sendto(udp, data.data(), data.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to)),
        20000);
    close(udp);
    const auto counted = sampler.sample();
    EXPECT_EQ(counted.interfaceName, "cvn2");
    EXPECT_EQ(counted.router, "203.0.113.2");
    EXPECT_TRUE(counted.overrideHonored);
    EXPECT_EQ(counted.linkMbps, 0);
    EXPECT_GE(counted.deltaOutBytes, 20000u);
    EXPECT_LT(counted.deltaInBytes, 20000u);

    // The app's way: its poll loop takes the news in. A tiny buffer overflows, and the lost
    // news still lead to the right primary.
    sampler.setOverride(std::nullopt);
    EXPECT_EQ(sampler.sample().primaryName, "cvn2");
    const uint64_t epoch = source.linkEpoch();
    const int fd = sampler.watchChanges();
    const int tiny = 1;
    ASSERT_EQ(setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &tiny, sizeof(tiny)), 0);
    ASSERT_TRUE(sh("ip link set cvn3 down && ip link set cvn3 up && ip route del default via "
                   "203.0.113.2 dev cvn2"));
    sampler.takeChanges();
    EXPECT_GE(source.overflows(), 1u);
    EXPECT_GT(source.linkEpoch(), epoch);
    EXPECT_EQ(sampler.sample().primaryName, "cvn0");
}

TEST(NamespaceTest, RoutesCountersAndChangesOfRealDevices)
{
    // The thread moves into a new namespace, which disappears with it.
    std::string skip;
    std::thread([&] {
        if (unshare(CLONE_NEWNET) != 0)
            skip = std::string("cannot create a network namespace: ") + std::strerror(errno);
        else if (!sh("ip link add cvn0 type veth peer name cvn1"))
            skip = "cannot create veth devices with iproute2";
        else
            scenario();
    }).join();
    if (!skip.empty())
        GTEST_SKIP() << skip;
}

} // namespace
