#include "platform/sysfs/SysfsNet.h"

#include "platform/netlink/LinkSpeed.h"
#include "platform/sysfs/FakeSysfs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using corvane::NetDeviceFacts;
using corvane::SysfsNet;
using corvane::testing::FakeSysfs;

namespace {

// Which device means what is the classifier's test; here, reading stays under the root and
// never blocks or runs on.
TEST(SysfsNetTest, NothingOutsideTheRootOrPastTheLimit)
{
    FakeSysfs tree;
    const SysfsNet sysfs(tree.root());
    tree.add("wlp2s0", {{"speed", "1000\n"}});
    tree.add("virbr1", {{"uevent", "DEVTYPE=bridge\n"}});
    tree.add("eth0", {{"wireless", "a file, not the directory"}});
    EXPECT_EQ(sysfs.readAttribute("wlp2s0", "speed"), "1000");
    EXPECT_FALSE(sysfs.readAttribute("wlp2s0", "../wlp2s0/speed"));
    EXPECT_TRUE(sysfs.isBridge("virbr1") && sysfs.facts("virbr1").bridge);
    EXPECT_FALSE(sysfs.facts("eth0").wireless);

    // A FIFO nobody writes would hang a blocking open; the uevent key lies past the limit;
    // an endless character device; a directory.
    tree.add("bad0", {{"uevent", "X=" + std::string(1 << 20, 'a') + "\nDEVTYPE=wlan\n"}});
    ASSERT_EQ(::mkfifo((tree.root() / "bad0" / "type").c_str(), 0600), 0);
    tree.add("bad1", {{"uevent", "/"}});
    std::filesystem::create_symlink("/dev/zero", tree.root() / "bad1" / "type");
    NetDeviceFacts presentOnly;
    presentOnly.present = true;
    for (const char* name : {"bad0", "bad1"})
        EXPECT_EQ(sysfs.facts(name), presentOnly) << name;

    // The naming rule itself is the preferences' test; here, that it is applied.
    tree.add(".", {{"type", "1"}, {"device", "@"}});
    tree.add("eth0:1", {{"type", "1"}});
    for (const char* name : {".", "..", "eth0/..", "./eth0", "eth0:1"})
        EXPECT_FALSE(sysfs.facts(name).present) << name;
}

// With no ethtool socket (-1) the speed comes from sysfs; the kind of an interface is decided
// once, its speed read on every call.
TEST(LinkSpeedTest, OnlyHardwareWithAKnownSpeedReportsOne)
{
    FakeSysfs tree;
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
