#include "platform/sysfs/SysfsNet.h"

#include "platform/sysfs/FakeSysfs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using corvane::NetDeviceFacts;
using corvane::SysfsNet;

namespace {

class SysfsNetTest : public ::testing::Test {
protected:
    corvane::testing::FakeSysfs tree;
    SysfsNet sysfs{tree.root()};
};

TEST_F(SysfsNetTest, ReadsTheFactsOfADevice)
{
    tree.add("wlp2s0", {{"type", "1\n"},
                        {"uevent", "INTERFACE=wlp2s0\nDEVTYPE=wlan\nIFINDEX=3\n"},
                        {"phy80211", "@"},
                        {"device", "@"},
                        {"tun_flags", "0x1002\n"}});
    const NetDeviceFacts expected{true, 1, "wlan", true, true, true, false};
    EXPECT_EQ(sysfs.facts("wlp2s0"), expected);
    EXPECT_EQ(sysfs.facts("wlp3s0"), NetDeviceFacts{});

    tree.add("br0", {{"bridge", "/"}});
    tree.add("virbr1", {{"uevent", "DEVTYPE=bridge\n"}});
    tree.add("eth0", {{"wireless", "a file, not the directory"}});
    EXPECT_TRUE(sysfs.isBridge("br0") && sysfs.isBridge("virbr1") && sysfs.facts("virbr1").bridge);
    EXPECT_FALSE(sysfs.isBridge("eth0") || sysfs.facts("eth0").wireless);
}

TEST_F(SysfsNetTest, BadFilesReadAsAbsentWithoutBlocking)
{
    // A FIFO nobody writes would hang a blocking open; the uevent key lies past the limit.
    tree.add("bad0", {{"uevent", "X=" + std::string(1 << 20, 'a') + "\nDEVTYPE=wlan\n"}});
    ASSERT_EQ(::mkfifo((tree.root() / "bad0" / "type").c_str(), 0600), 0);
    // An endless character device and a directory.
    tree.add("bad1", {{"uevent", "/"}});
    std::filesystem::create_symlink("/dev/zero", tree.root() / "bad1" / "type");
    tree.add("bad2", {{"type", std::string("1\0\xff", 3)}, {"uevent", std::string("\0\0", 2)}});

    NetDeviceFacts presentOnly;
    presentOnly.present = true;
    for (const char* name : {"bad0", "bad1", "bad2"})
        EXPECT_EQ(sysfs.facts(name), presentOnly) << name;
}

TEST_F(SysfsNetTest, NamesAndAttributesCannotLeaveTheRoot)
{
    tree.add(".", {{"type", "1"}, {"device", "@"}});
    tree.add("eth0", {{"speed", "1000\n"}});
    for (const char* odd : {"eth0 ", "eth0:1", "enx0123456789abc"}) // no device has such names
        tree.add(odd, {{"type", "1"}});
    for (const char* name : {".", "..", "eth0/..", "./eth0", "eth0 ", "eth0:1", "enx0123456789abc"})
        EXPECT_FALSE(sysfs.facts(name).present) << name;
    EXPECT_FALSE(sysfs.readAttribute("eth0", "../eth0/speed"));
    EXPECT_FALSE(sysfs.readAttribute("eth0", "duplex"));
    EXPECT_EQ(sysfs.readAttribute("eth0", "speed"), "1000");
}

TEST(SysfsNetParse, ArphrdIsPlainDecimalOf16Bits)
{
    const std::pair<std::string_view, std::optional<uint32_t>> types[] = {
        {"1", 1}, {"65535", 65535}, {"00512", 512}, {"65536", {}}, {"4294967297", {}},
        {"", {}}, {"-1", {}},       {"1 ", {}},     {"0x1", {}}};
    for (const auto& [text, expected] : types)
        EXPECT_EQ(SysfsNet::parseArphrd(text), expected) << text;
    EXPECT_FALSE(SysfsNet::ueventValue("XDEVTYPE=wlan\nDEVTYPEX=wlan\nDEVTYPE\n", "DEVTYPE"));
}

} // namespace
