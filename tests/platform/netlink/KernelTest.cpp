// Against the running kernel: loopback in this namespace, veth pairs in a namespace of our own.
#include "measure/NetSampler.h"
#include "platform/BootClock.h"
#include "platform/netlink/LinuxNetSource.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sched.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace corvane;
using namespace std::chrono_literals;

namespace {

struct Counters {
    uint64_t rx = 0;
    uint64_t tx = 0;
};

uint64_t jsonBytes(const std::string& json, const char* direction)
{
    const std::string key = std::string("\"") + direction + "\":{\"bytes\":";
    const size_t at = json.find(key);
    return at == std::string::npos ? 0 : std::stoull(json.substr(at + key.size()));
}

// iproute2's reading of the same counters.
std::optional<Counters> ipCounters(const char* ifname)
{
    const std::string cmd = std::string("ip -s -j link show dev ") + ifname + " 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p)
        return std::nullopt;
    std::string out;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof(buf), p)) > 0;)
        out.append(buf, n);
    if (pclose(p) != 0 || out.find("\"stats64\"") == std::string::npos)
        return std::nullopt;
    return Counters{jsonBytes(out, "rx"), jsonBytes(out, "tx")};
}

bool run(const std::string& cmd)
{
    return std::system((cmd + " >/dev/null 2>&1").c_str()) == 0;
}

// Pushes `bytes` through a TCP connection on 127.0.0.1; true when all arrived.
bool loopbackTransfer(size_t bytes)
{
    const int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    if (bind(server, reinterpret_cast<sockaddr*>(&addr), len) != 0 || listen(server, 1) != 0 ||
        getsockname(server, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return close(server), false;
    size_t received = 0;
    std::thread reader([&] {
        const int c = accept(server, nullptr, nullptr);
        char buf[65536];
        for (ssize_t n; c >= 0 && (n = recv(c, buf, sizeof(buf), 0)) > 0;)
            received += static_cast<size_t>(n);
        close(c);
    });
    const int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    std::vector<char> chunk(65536, 'x');
    if (connect(client, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0) {
        for (size_t sent = 0; sent < bytes;) {
            const ssize_t n = send(client, chunk.data(), std::min(chunk.size(), bytes - sent), 0);
            if (n <= 0)
                break;
            sent += static_cast<size_t>(n);
        }
    }
    close(client);
    reader.join();
    close(server);
    return received == bytes;
}

class RecordingClock final : public SampleClock {
public:
    explicit RecordingClock(std::chrono::nanoseconds* last) : last_(last) {}
    std::chrono::nanoseconds now() override { return *last_ = inner_.now(); }

private:
    BootClock inner_;
    std::chrono::nanoseconds* last_;
};

TEST(LoopbackTest, CountersMatchIprouteAndTheBytesSent)
{
    const auto probe = ipCounters("lo");
    if (!probe)
        GTEST_SKIP() << "iproute2's `ip -s -j link` is not available";

    LinuxNetSource direct;
    const uint32_t lo = direct.indexOf("lo");
    ASSERT_NE(lo, 0u);
    const auto ipBefore = ipCounters("lo");
    const auto ours = direct.readCounters(lo);
    const auto ipAfter = ipCounters("lo");
    ASSERT_TRUE(ours && ipBefore && ipAfter);
    EXPECT_LE(ipBefore->rx, ours->rxBytes);
    EXPECT_LE(ours->rxBytes, ipAfter->rx);
    EXPECT_LE(ipBefore->tx, ours->txBytes);
    EXPECT_LE(ours->txBytes, ipAfter->tx);
    EXPECT_EQ(ours->linkBitsPerSecond, 0u); // loopback has no negotiated speed

    std::chrono::nanoseconds stamp{};
    NetSampler sampler(std::make_unique<LinuxNetSource>(),
                       std::make_unique<RecordingClock>(&stamp));
    sampler.setOverride("lo");
    const auto ip1 = ipCounters("lo");
    const auto first = sampler.sample();
    const auto ip2 = ipCounters("lo");
    const auto t1 = stamp;
    EXPECT_EQ(first.interfaceName, "lo");
    EXPECT_TRUE(first.overrideHonored);
    EXPECT_EQ(first.deltaInBytes, 0u);

    constexpr size_t sent = 16 << 20;
    ASSERT_TRUE(loopbackTransfer(sent));
    std::this_thread::sleep_for(100ms);
    const auto ip3 = ipCounters("lo");
    const auto second = sampler.sample();
    const auto ip4 = ipCounters("lo");
    const double dt = std::chrono::duration<double>(stamp - t1).count();
    ASSERT_TRUE(ip1 && ip2 && ip3 && ip4);

    // Our two readings lie between ip's, so the delta does too; TCP/IP adds its headers.
    EXPECT_GE(second.deltaInBytes, ip3->rx - ip2->rx);
    EXPECT_LE(second.deltaInBytes, ip4->rx - ip1->rx);
    EXPECT_GE(second.deltaInBytes, sent);
    EXPECT_LE(second.deltaInBytes, 4 * sent);
    EXPECT_GE(second.deltaOutBytes, sent);
    EXPECT_NEAR(second.sample.downMbps, second.deltaInBytes * 8 / dt / 1e6, 1e-6);
    EXPECT_GE(second.sample.downMbps, sent * 8 / dt / 1e6);
}

// Runs `body` on a thread that lives in a network namespace of its own, which goes away with
// the thread (and everything created in it).
class NamespaceTest : public ::testing::Test {
protected:
    template <typename F> void inNamespace(F body)
    {
        std::string skip;
        std::thread t([&] {
            if (unshare(CLONE_NEWNET) != 0)
                skip = std::string("cannot create a network namespace: ") + std::strerror(errno);
            else if (!run("ip link set lo up") || !run("ip link add cvn0 type veth peer name cvn1"))
                skip = "cannot create veth devices with iproute2";
            else
                body();
        });
        t.join();
        if (!skip.empty())
            GTEST_SKIP() << skip;
    }
};

TEST_F(NamespaceTest, PrimaryInterfaceFollowsTheDefaultRoutes)
{
    inNamespace([] {
        LinuxNetSource source;
        EXPECT_EQ(source.primaryInterface(), PrimaryRoute{}); // no default route yet
        ASSERT_TRUE(run("ip link set cvn0 up && ip link set cvn1 up"));
        ASSERT_TRUE(run("ip addr add 198.51.100.1/24 dev cvn0"));
        ASSERT_TRUE(run("ip route add default via 198.51.100.2 dev cvn0 metric 100"));
        EXPECT_EQ(source.primaryInterface(), (PrimaryRoute{"cvn0", "198.51.100.2"}));

        ASSERT_TRUE(run("ip link add cvn2 type veth peer name cvn3"));
        ASSERT_TRUE(run("ip link set cvn2 up && ip link set cvn3 up"));
        ASSERT_TRUE(run("ip addr add 203.0.113.1/24 dev cvn2"));
        ASSERT_TRUE(run("ip route add default via 203.0.113.2 dev cvn2 metric 10"));
        EXPECT_EQ(source.primaryInterface(), (PrimaryRoute{"cvn2", "203.0.113.2"}));

        // Not candidates: another table, IPv6 (where enabled), a more specific route.
        ASSERT_TRUE(run("ip route add default via 198.51.100.3 dev cvn0 table 100 metric 1"));
        run("ip -6 route add default dev cvn0 metric 1");
        ASSERT_TRUE(run("ip route add 192.0.2.0/24 via 198.51.100.3 dev cvn0 metric 1"));
        EXPECT_EQ(source.primaryInterface(), (PrimaryRoute{"cvn2", "203.0.113.2"}));

        ASSERT_TRUE(run("ip route add default dev cvn0 metric 5"));
        EXPECT_EQ(source.primaryInterface(), (PrimaryRoute{"cvn0", std::nullopt}));
        ASSERT_TRUE(run("ip route del default dev cvn0 metric 5"));

        ASSERT_TRUE(run("ip route add default metric 1 nexthop via 203.0.113.2 dev cvn2 "
                        "nexthop via 198.51.100.2 dev cvn0"));
        EXPECT_EQ(source.primaryInterface(), (PrimaryRoute{"cvn2", "203.0.113.2"}));
    });
}

TEST_F(NamespaceTest, PinnedVethIsMeasuredThenFallsBackWhenDeleted)
{
    inNamespace([] {
        ASSERT_TRUE(run("ip link set cvn0 up && ip link set cvn1 up"));
        ASSERT_TRUE(run("ip addr add 198.51.100.1/24 dev cvn0"));
        ASSERT_TRUE(run("ip route add default via 198.51.100.2 dev cvn0 metric 100"));
        ASSERT_TRUE(run("ip link add cvn2 type veth peer name cvn3"));
        ASSERT_TRUE(run("ip link set cvn2 up && ip link set cvn3 up"));
        ASSERT_TRUE(run("ip addr add 203.0.113.1/24 dev cvn2"));
        ASSERT_TRUE(
            run("ip neigh add 203.0.113.9 lladdr 02:00:00:00:00:09 dev cvn2 nud permanent"));

        NetSampler sampler(std::make_unique<LinuxNetSource>(), std::make_unique<BootClock>());
        sampler.setOverride("cvn2");
        const auto first = sampler.sample();
        EXPECT_EQ(first.interfaceName, "cvn2");
        EXPECT_TRUE(first.overrideHonored);
        EXPECT_EQ(first.primaryName, "cvn0");
        EXPECT_EQ(first.router, "198.51.100.2");

        // Datagrams to a neighbour inside this namespace leave through cvn2.
        const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(9);
        inet_pton(AF_INET, "203.0.113.9", &to.sin_addr);
        const char payload[1000] = {};
        constexpr int count = 50;
        for (int i = 0; i < count; ++i)
            sendto(s, payload, sizeof(payload), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to));
        close(s);
        std::this_thread::sleep_for(100ms);
        const auto second = sampler.sample();
        EXPECT_GE(second.deltaOutBytes, count * sizeof(payload));
        EXPECT_GT(second.sample.upMbps, 0);
        EXPECT_EQ(second.linkMbps, 0); // a veth's 10000 is not a negotiated speed

        ASSERT_TRUE(run("ip link del cvn2"));
        const auto gone = sampler.sample();
        EXPECT_EQ(gone.interfaceName, "cvn2");
        EXPECT_TRUE(gone.overrideHonored);
        EXPECT_EQ(gone.deltaOutBytes, 0u);
        EXPECT_EQ(gone.sample.upMbps, 0);
        const auto fallback = sampler.sample();
        EXPECT_EQ(fallback.interfaceName, "cvn0");
        EXPECT_FALSE(fallback.overrideHonored);
        EXPECT_EQ(fallback.deltaOutBytes, 0u); // a new baseline
    });
}

} // namespace
