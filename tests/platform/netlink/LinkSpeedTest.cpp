#include "platform/netlink/LinkSpeed.h"

#include "platform/sysfs/FakeSysfs.h"

#include <gtest/gtest.h>

namespace {

// With no ethtool socket (-1) the speed comes from sysfs; the kind of an interface is decided
// once, its speed read on every call.
TEST(LinkSpeedTest, OnlyHardwareWithAKnownSpeedReportsOne)
{
    corvane::testing::FakeSysfs tree;
    tree.add("eth9", {{"device", "@"}, {"speed", "1000\n"}});
    tree.add("eth8", {{"device", "@"}, {"speed", "-1\n"}});
    tree.add("eth7", {{"device", "@"}});
    tree.add("veth9", {{"speed", "10000\n"}});
    tree.add("wlan9", {{"device", "@"}, {"speed", "1000\n"}, {"wireless", "/"}});
    tree.add("wlan8", {{"device", "@"}, {"speed", "1000\n"}, {"phy80211", "@"}});
    uint32_t index = 10;
    for (const char* name : {"eth8", "eth7", "veth9", "wlan9", "wlan8", "..", ""})
        EXPECT_EQ(corvane::LinkSpeed(tree.root()).bitsPerSecond(-1, index++, name), 0u) << name;

    corvane::LinkSpeed speed(tree.root());
    EXPECT_EQ(speed.bitsPerSecond(-1, 4, "eth9"), 1'000'000'000u);
    tree.add("eth9", {{"speed", "2500\n"}}); // renegotiated
    std::filesystem::remove(tree.root() / "eth9" / "device");
    EXPECT_EQ(speed.bitsPerSecond(-1, 4, "eth9"), 2'500'000'000u);
    EXPECT_EQ(speed.bitsPerSecond(-1, 5, "veth9"), 0u);
    EXPECT_EQ(speed.bitsPerSecond(-1, 4, "eth9"), 0u); // looked at afresh
}

} // namespace
