#include "platform/netlink/LinkSpeed.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using corvane::LinkSpeed;
namespace fs = std::filesystem;

namespace {

// A stand-in for /sys/class/net. With no ethtool socket (-1) the speed comes from sysfs.
class LinkSpeedTest : public ::testing::Test {
protected:
    LinkSpeedTest()
    {
        char tmpl[] = "/tmp/corvane-sysfs-XXXXXX";
        root = mkdtemp(tmpl);
    }
    ~LinkSpeedTest() override { fs::remove_all(root); }

    void device(const std::string& name, const char* speed, bool hardware = true,
                const char* wifiMarker = nullptr)
    {
        fs::create_directories(root / name);
        if (hardware)
            fs::create_directory_symlink("../../devices/pci0000:00", root / name / "device");
        if (wifiMarker)
            fs::create_directories(root / name / wifiMarker);
        if (speed)
            std::ofstream(root / name / "speed") << speed;
    }

    fs::path root;
};

TEST_F(LinkSpeedTest, OnlyHardwareWithAKnownSpeedReportsOne)
{
    device("eth9", "1000\n");
    device("eth8", "-1\n");
    device("eth7", nullptr);
    device("eth6", "fast\n");
    device("veth9", "10000\n", false);
    device("wlan9", "1000\n", true, "wireless");
    device("wlan8", "1000\n", true, "phy80211");
    const std::pair<const char*, uint64_t> cases[] = {
        {"eth9", 1'000'000'000},
        {"eth8", 0},
        {"eth7", 0},
        {"eth6", 0},
        {"veth9", 0},
        {"wlan9", 0},
        {"wlan8", 0},
        {"..", 0},
        {"a/b", 0},
        {"", 0},
    };
    uint32_t index = 1;
    for (const auto& [name, bits] : cases) {
        LinkSpeed speed(root);
        EXPECT_EQ(speed.bitsPerSecond(-1, index++, name), bits) << name;
    }
}

TEST_F(LinkSpeedTest, KindIsDecidedOncePerInterfaceButSpeedOnEveryReading)
{
    device("eth9", "1000\n");
    device("veth9", "10000\n", false);
    LinkSpeed speed(root);
    EXPECT_EQ(speed.bitsPerSecond(-1, 4, "eth9"), 1'000'000'000u);
    std::ofstream(root / "eth9" / "speed") << "2500\n"; // renegotiated
    fs::remove(root / "eth9" / "device");
    EXPECT_EQ(speed.bitsPerSecond(-1, 4, "eth9"), 2'500'000'000u);
    EXPECT_EQ(speed.bitsPerSecond(-1, 5, "veth9"), 0u);
    fs::create_directory_symlink("../../devices/pci0000:00", root / "veth9" / "device");
    EXPECT_EQ(speed.bitsPerSecond(-1, 5, "veth9"), 0u);
    EXPECT_EQ(speed.bitsPerSecond(-1, 4, "eth9"), 0u); // back to eth9: looked at afresh
}

} // namespace
