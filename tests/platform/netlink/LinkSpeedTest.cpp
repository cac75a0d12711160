#include "platform/netlink/LinkSpeed.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using corvane::LinkSpeed;
namespace fs = std::filesystem;

// A stand-in for /sys/class/net. With no ethtool socket (-1) the speed comes from sysfs.
TEST(LinkSpeedTest, OnlyHardwareWithAKnownSpeedReportsOne)
{
    char tmpl[] = "/tmp/corvane-sysfs-XXXXXX";
    const fs::path root = mkdtemp(tmpl);
    const auto device = [&](const char* name, const char* speed, bool hardware = true,
                            const char* wifi = "") {
        fs::create_directories(root / name / wifi);
        if (hardware)
            fs::create_directory_symlink("../../devices/pci0000:00", root / name / "device");
        if (speed)
            std::ofstream(root / name / "speed") << speed;
    };
    device("eth8", "-1\n");
    device("eth7", nullptr);
    device("eth6", "fast\n");
    device("veth9", "10000\n", false);
    device("wlan9", "1000\n", true, "wireless");
    device("wlan8", "1000\n", true, "phy80211");
    uint32_t index = 10;
    for (const char* name : {"eth8", "eth7", "eth6", "veth9", "wlan9", "wlan8", "..", ""})
        EXPECT_EQ(LinkSpeed(root).bitsPerSecond(-1, index++, name), 0u) << name;

    // The kind is decided once per interface, the speed read on every call.
    device("eth9", "1000\n");
    LinkSpeed speed(root);
    EXPECT_EQ(speed.bitsPerSecond(-1, 4, "eth9"), 1'000'000'000u);
    std::ofstream(root / "eth9" / "speed") << "2500\n"; // renegotiated
    fs::remove(root / "eth9" / "device");
    EXPECT_EQ(speed.bitsPerSecond(-1, 4, "eth9"), 2'500'000'000u);
    EXPECT_EQ(speed.bitsPerSecond(-1, 5, "veth9"), 0u);
    EXPECT_EQ(speed.bitsPerSecond(-1, 4, "eth9"), 0u); // looked at afresh
    fs::remove_all(root);
}
