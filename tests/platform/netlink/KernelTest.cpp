// Against the running kernel: loopback here, veth pairs in a network namespace of our own.
#include "measure/NetSampler.h"
#include "platform/netlink/LinuxNetSource.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace corvane;
using namespace std::chrono_literals;

namespace {

bool run(const std::string& cmd)
{
    return std::system((cmd + " >/dev/null 2>&1").c_str()) == 0;
}

// A second passes between readings, so the rate in Mbit/s is the delta's bits / 1e6.
struct StepClock final : SampleClock {
    std::chrono::nanoseconds t{};
    std::chrono::nanoseconds now() override { return t += 1s; }
};

// iproute2's reading of lo's byte counters: {rx, tx}.
std::optional<std::pair<uint64_t, uint64_t>> ipCounters()
{
    FILE* p = popen("ip -s -j link show dev lo 2>/dev/null", "r");
    std::string out(1 << 16, '\0');
    out.resize(p ? fread(out.data(), 1, out.size(), p) : 0);
    if (!p || pclose(p) != 0 || out.find("\"stats64\"") == std::string::npos)
        return std::nullopt;
    const auto bytes = [&](const char* dir) {
        const std::string key = std::string("\"") + dir + "\":{\"bytes\":";
        return std::stoull(out.substr(out.find(key) + key.size()));
    };
    return std::pair{bytes("rx"), bytes("tx")};
}

// Pushes `bytes` through a TCP connection on 127.0.0.1; true when all arrived.
bool loopbackTransfer(size_t bytes)
{
    const int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t len = sizeof(addr);
    auto* sa = reinterpret_cast<sockaddr*>(&addr);
    const bool connected = bind(server, sa, len) == 0 && listen(server, 1) == 0 &&
                           getsockname(server, sa, &len) == 0 && connect(client, sa, len) == 0;
    const int peer = connected ? accept(server, nullptr, nullptr) : -1;
    size_t received = 0;
    std::thread reader([&] {
        char buf[65536];
        for (ssize_t n; peer >= 0 && (n = recv(peer, buf, sizeof(buf), 0)) > 0;)
            received += static_cast<size_t>(n);
    });
    const std::vector<char> data(bytes, 'x');
    const bool sent = peer >= 0 && send(client, data.data(), bytes, MSG_NOSIGNAL) == ssize_t(bytes);
    for (int fd : {client, server})
        close(fd);
    reader.join();
    close(peer);
    return sent && received == bytes;
}

TEST(LoopbackTest, CountersMatchIprouteAndTheBytesSent)
{
    if (!ipCounters())
        GTEST_SKIP() << "iproute2's `ip -s -j link` is not available";
    NetSampler sampler(std::make_unique<LinuxNetSource>(), std::make_unique<StepClock>());
    sampler.setOverride("lo");
    const auto ip1 = ipCounters();
    const auto first = sampler.sample();
    const auto ip2 = ipCounters();
    EXPECT_EQ(first.interfaceName, "lo");
    EXPECT_TRUE(first.overrideHonored);
    EXPECT_EQ(first.linkMbps, 0); // loopback has no negotiated speed

    constexpr size_t sent = 16 << 20;
    ASSERT_TRUE(loopbackTransfer(sent));
    const auto ip3 = ipCounters();
    const auto second = sampler.sample();
    const auto ip4 = ipCounters();
    ASSERT_TRUE(ip1 && ip2 && ip3 && ip4);

    // Each of our readings lies between ip's readings around it, so the deltas do too.
    EXPECT_GE(second.deltaInBytes, ip3->first - ip2->first);
    EXPECT_LE(second.deltaInBytes, ip4->first - ip1->first);
    EXPECT_GE(second.deltaOutBytes, ip3->second - ip2->second);
    EXPECT_LE(second.deltaOutBytes, ip4->second - ip1->second);
    // TCP/IP adds headers; other traffic on lo stays far below the sanity bound.
    EXPECT_GE(second.deltaInBytes, sent);
    EXPECT_LE(second.deltaInBytes, 4 * sent);
    EXPECT_NEAR(second.sample.downMbps, second.deltaInBytes * 8 / 1e6, 1e-6);
}

// Runs `body` in a thread of its own that moves into a new network namespace, which
// disappears with the thread and with it every device and route made there. The reason to
// skip, or empty.
std::string inNamespace(const std::function<void()>& body)
{
    std::string skip;
    std::thread([&] {
        if (unshare(CLONE_NEWNET) != 0)
            skip = std::string("cannot create a network namespace: ") + std::strerror(errno);
        else if (!run("ip link add cvn0 type veth peer name cvn1"))
            skip = "cannot create veth devices with iproute2";
        else
            body();
    }).join();
    return skip;
}

bool runAll(std::initializer_list<const char*> cmds)
{
    for (const char* cmd : cmds)
        if (!run(cmd))
            return false;
    return true;
}

TEST(NamespaceTest, DefaultRoutesPickThePrimaryAndADeletedPinFallsBack)
{
    const std::string skip = inNamespace([] {
        ASSERT_TRUE(run("ip link add cvn2 type veth peer name cvn3"));
        LinuxNetSource source;
        EXPECT_EQ(source.primaryInterface(), PrimaryRoute{}); // no default route yet
        ASSERT_TRUE(runAll({"ip link set cvn0 up", "ip link set cvn1 up", "ip link set cvn2 up",
                            "ip link set cvn3 up", "ip addr add 198.51.100.1/24 dev cvn0",
                            "ip addr add 203.0.113.1/24 dev cvn2",
                            "ip route add default via 198.51.100.2 dev cvn0 metric 100"}));
        EXPECT_EQ(source.primaryInterface(),
                  (PrimaryRoute{"cvn0", "198.51.100.2", if_nametoindex("cvn0")}));
        ASSERT_TRUE(run("ip route add default via 203.0.113.2 dev cvn2 metric 10"));
        EXPECT_EQ(source.primaryInterface(),
                  (PrimaryRoute{"cvn2", "203.0.113.2", if_nametoindex("cvn2")}));

        NetSampler sampler(std::make_unique<LinuxNetSource>(), std::make_unique<StepClock>());
        sampler.setOverride("cvn2");
        const auto first = sampler.sample();
        EXPECT_EQ(first.interfaceName, "cvn2");
        EXPECT_EQ(first.router, "203.0.113.2");
        EXPECT_TRUE(first.overrideHonored);
        EXPECT_EQ(first.linkMbps, 0); // a veth's 10000 is not a negotiated speed

        ASSERT_TRUE(run("ip link del cvn2"));
        const auto gone = sampler.sample();
        EXPECT_EQ(gone.interfaceName, "cvn2");
        EXPECT_TRUE(gone.overrideHonored);
        EXPECT_EQ(gone.sample.upMbps, 0);
        EXPECT_EQ(gone.sample.downMbps, 0);
        const auto fallback = sampler.sample();
        EXPECT_EQ(fallback.interfaceName, "cvn0");
        EXPECT_EQ(fallback.primaryName, "cvn0");
        EXPECT_EQ(fallback.router, "198.51.100.2");
        EXPECT_FALSE(fallback.overrideHonored);
        EXPECT_EQ(fallback.deltaOutBytes, 0u); // a new baseline
    });
    if (!skip.empty())
        GTEST_SKIP() << skip;
}

// One UDP datagram out of cvn0 to a neighbour that exists only in its table; true when sent.
bool sendThroughCvn0(size_t bytes)
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{AF_INET, htons(9), {}, {}};
    inet_pton(AF_INET, "198.51.100.9", &to.sin_addr);
    const std::vector<char> data(bytes, 'x');
    const bool sent = sendto(fd, data.data(), bytes, 0, reinterpret_cast<sockaddr*>(&to),
                             sizeof(to)) == ssize_t(bytes);
    close(fd);
    return sent;
}

// Also: quiet ticks dump no routes, a route change costs one dump, and news lost to an
// overflow still lead to the right primary.
TEST(NamespaceTest, ADeviceRecreatedUnderItsNameKeepsCounting)
{
    const std::string skip = inNamespace([] {
        const auto makeCvn0 = [] {
            return runAll({"ip link set cvn0 up", "ip link set cvn1 up",
                           "ip addr add 198.51.100.1/24 dev cvn0",
                           "ip neigh add 198.51.100.9 lladdr 02:00:00:00:00:09 dev cvn0",
                           "ip route add default via 198.51.100.2 dev cvn0 metric 100"});
        };
        ASSERT_TRUE(makeCvn0());
        auto owned = std::make_unique<LinuxNetSource>();
        LinuxNetSource& source = *owned;
        NetSampler sampler(std::move(owned), std::make_unique<StepClock>());
        for (const bool pinned : {false, true}) {
            SCOPED_TRACE(pinned ? "pinned" : "primary");
            sampler.setOverride(pinned ? std::optional<std::string>("cvn0") : std::nullopt);
            sampler.sample();
            ASSERT_TRUE(runAll({"ip link del cvn0", "ip link add cvn0 type veth peer name cvn1"}));
            ASSERT_TRUE(makeCvn0());
            const auto recreated = sampler.sample();
            EXPECT_EQ(recreated.interfaceName, "cvn0");
            EXPECT_EQ(recreated.overrideHonored, pinned);
            ASSERT_TRUE(sendThroughCvn0(1000));
            EXPECT_GE(sampler.sample().deltaOutBytes, 1000u);
        }

        sampler.setOverride(std::nullopt);
        ASSERT_TRUE(runAll({"ip link add cvn2 type veth peer name cvn3", "ip link set cvn2 up",
                            "ip link set cvn3 up", "ip addr add 203.0.113.1/24 dev cvn2"}));
        sampler.sample();
        const uint64_t dumps = source.routeDumps();
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(sampler.sample().primaryName, "cvn0");
        EXPECT_EQ(source.routeDumps(), dumps);
        ASSERT_TRUE(run("ip route add default via 203.0.113.2 dev cvn2 metric 10"));
        EXPECT_EQ(sampler.sample().primaryName, "cvn2");
        EXPECT_EQ(source.routeDumps(), dumps + 1);

        // The app's way: its poll loop takes the news in. A tiny buffer overflows.
        const int fd = sampler.watchChanges();
        const int tiny = 1;
        ASSERT_EQ(setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &tiny, sizeof(tiny)), 0);
        ASSERT_TRUE(runAll({"ip link set cvn3 down", "ip link set cvn3 up",
                            "ip route del default via 203.0.113.2 dev cvn2"}));
        sampler.takeChanges();
        EXPECT_GE(source.overflows(), 1u);
        EXPECT_EQ(sampler.sample().primaryName, "cvn0");
    });
    if (!skip.empty())
        GTEST_SKIP() << skip;
}

} // namespace
