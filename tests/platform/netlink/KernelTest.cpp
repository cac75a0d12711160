// Against the running kernel, in a network namespace of our own: every device, address and
// route made here disappears with it, and no packet leaves it.
#include "measure/NetSampler.h"
#include "platform/netlink/LinuxNetSource.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace corvane;
using namespace std::chrono_literals;

namespace {

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

// `bytes` of UDP to that neighbour; nothing answers, so the device only sends.
bool sendTo(const char* net, size_t bytes)
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{AF_INET, htons(9), {}, {}};
    inet_pton(AF_INET, (std::string(net) + ".9").c_str(), &to.sin_addr);
    const std::vector<char> data(bytes, 'x');
    const bool sent = sendto(fd, data.data(), bytes, 0, reinterpret_cast<sockaddr*>(&to),
                             sizeof(to)) == ssize_t(bytes);
    close(fd);
    return sent;
}

void scenario()
{
    ASSERT_TRUE(sh("ip link add cvn2 type veth peer name cvn3"));
    auto owned = std::make_unique<LinuxNetSource>();
    LinuxNetSource& source = *owned;
    NetSampler sampler(std::move(owned), std::make_unique<StepClock>());
    EXPECT_EQ(source.primaryInterface(), PrimaryRoute{}); // no default route yet

    ASSERT_TRUE(makeLink("cvn0", "cvn1", "198.51.100", "100"));
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
    ASSERT_TRUE(sendTo("203.0.113", 20000));
    const auto counted = sampler.sample();
    EXPECT_EQ(counted.interfaceName, "cvn2");
    EXPECT_EQ(counted.router, "203.0.113.2");
    EXPECT_TRUE(counted.overrideHonored);
    EXPECT_EQ(counted.linkMbps, 0);
    EXPECT_GE(counted.deltaOutBytes, 20000u);
    EXPECT_LT(counted.deltaInBytes, 20000u);

    // The pinned device goes: no rate, then the primary with a new baseline.
    ASSERT_TRUE(sh("ip link del cvn2"));
    const auto gone = sampler.sample();
    EXPECT_TRUE(gone.overrideHonored && gone.interfaceName == "cvn2");
    EXPECT_EQ(gone.sample.upMbps, 0);
    const auto fallback = sampler.sample();
    EXPECT_EQ(fallback.interfaceName, "cvn0");
    EXPECT_EQ(fallback.router, "198.51.100.2");
    EXPECT_FALSE(fallback.overrideHonored);
    EXPECT_EQ(fallback.deltaOutBytes, 0u);

    // A device re-created under its name keeps counting, pinned or as the primary.
    for (const bool pinned : {false, true}) {
        SCOPED_TRACE(pinned ? "pinned" : "primary");
        sampler.setOverride(pinned ? std::optional<std::string>("cvn0") : std::nullopt);
        sampler.sample();
        ASSERT_TRUE(sh("ip link del cvn0 && ip link add cvn0 type veth peer name cvn1"));
        ASSERT_TRUE(makeLink("cvn0", "cvn1", "198.51.100", "100"));
        const auto recreated = sampler.sample();
        EXPECT_EQ(recreated.interfaceName, "cvn0");
        EXPECT_EQ(recreated.overrideHonored, pinned);
        ASSERT_TRUE(sendTo("198.51.100", 1000));
        EXPECT_GE(sampler.sample().deltaOutBytes, 1000u);
    }

    // The app's way: its poll loop takes the news in. A tiny buffer overflows, and the lost
    // news still lead to the right primary.
    sampler.setOverride(std::nullopt);
    ASSERT_TRUE(sh("ip link add cvn2 type veth peer name cvn3"));
    ASSERT_TRUE(makeLink("cvn2", "cvn3", "203.0.113", "10"));
    EXPECT_EQ(sampler.sample().primaryName, "cvn2");
    const int fd = sampler.watchChanges();
    const int tiny = 1;
    ASSERT_EQ(setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &tiny, sizeof(tiny)), 0);
    ASSERT_TRUE(sh("ip link set cvn3 down && ip link set cvn3 up && ip route del default via "
                   "203.0.113.2 dev cvn2"));
    sampler.takeChanges();
    EXPECT_GE(source.overflows(), 1u);
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
