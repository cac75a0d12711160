#include "measure/LinkInfo.h"

#include "platform/sysfs/FakeSysfs.h"
#include "platform/sysfs/SysfsNet.h"

#include <gtest/gtest.h>

using corvane::LinkKind;
using corvane::SysfsNet;
using corvane::testing::FakeSysfs;
namespace LinkInfo = corvane::LinkInfo;

namespace {

TEST(LinkKindTest, IdentifiersRoundTripExactly)
{
    for (const LinkKind kind : corvane::allLinkKinds)
        EXPECT_EQ(corvane::linkKindFromRaw(corvane::rawValue(kind)), kind);
    for (const char* raw : {"", "Wifi", "WIFI", "Wi-Fi", "vpn ", "Link", "link", "other\n"})
        EXPECT_FALSE(corvane::linkKindFromRaw(raw)) << raw;
    EXPECT_EQ(corvane::title(LinkKind::other), "Link");
    EXPECT_EQ(corvane::symbol(LinkKind::cellular), "antenna.radiowaves.left.and.right");
}

struct Device {
    const char* name;
    FakeSysfs::Entries entries;
    LinkKind expected;
};

class Classification : public ::testing::TestWithParam<Device> {};

TEST_P(Classification, FromSysfs)
{
    FakeSysfs tree;
    const Device& d = GetParam();
    tree.add(d.name, d.entries);
    EXPECT_EQ(LinkInfo::classify(d.name, SysfsNet(tree.root()).facts(d.name)), d.expected)
        << d.name;
}

constexpr auto wifi = LinkKind::wifi, ethernet = LinkKind::ethernet, vpn = LinkKind::vpn,
               cellular = LinkKind::cellular, other = LinkKind::other;

// Each row as the kernel shows such a device; the last rows are what must not be mistaken.
INSTANTIATE_TEST_SUITE_P(
    Kinds, Classification,
    ::testing::Values(
        Device{"wlp2s0", {{"type", "1"}, {"device", "@"}, {"phy80211", "@"}}, wifi},
        Device{"wlx1", {{"type", "1"}, {"device", "@"}, {"wireless", "/"}}, wifi},
        Device{"mlan0", {{"type", "1"}, {"uevent", "DEVTYPE=wlan\n"}}, wifi},
        Device{"wwan0", {{"type", "519"}, {"uevent", "DEVTYPE=wwan\n"}, {"device", "@"}}, cellular},
        Device{"rmnet_data0", {{"type", "519"}}, cellular},
        Device{"rmnet_ipa0", {{"type", "1"}}, cellular},
        Device{"ccmni2", {{"type", "530"}}, cellular}, Device{"dsl0", {{"type", "512"}}, vpn},
        Device{"wan0", {{"uevent", "DEVTYPE=ppp\n"}}, vpn},
        Device{"vnet3", {{"type", "1"}, {"tun_flags", "0x1002"}}, vpn},
        Device{"wg0", {{"type", "65534"}, {"uevent", "DEVTYPE=wireguard\n"}}, vpn},
        Device{"xfrm0", {{"type", "65534"}}, vpn},
        Device{"enp3s0",
               {{"type", "1\n"}, {"uevent", "INTERFACE=enp3s0\n"}, {"device", "@"}},
               ethernet},
        Device{"usb0", {{"type", "1"}, {"uevent", "DEVTYPE=gadget\n"}, {"device", "@"}}, ethernet},
        Device{"rmnet1", {{"type", "776"}}, other}, Device{"veth1a", {{"type", "1"}}, other},
        Device{"br0", {{"type", "1"}, {"bridge", "/"}, {"device", "@"}}, other},
        Device{"lo", {{"type", "772"}}, other},
        Device{"can0", {{"type", "280"}, {"device", "@"}}, other},
        Device{"eth1", {{"type", "ether"}, {"device", "@"}}, other},
        Device{"eth2", {{"device", "@"}}, other}));

class KindCache : public ::testing::Test {
protected:
    void SetUp() override { use(tree.root()); }
    void TearDown() override { use({}); }
    static void use(const std::string& root)
    {
        LinkInfo::resetCacheForTesting();
        SysfsNet::setSystemRootForTesting(root);
    }
    FakeSysfs tree;
};

TEST_F(KindCache, TunnelNamesAreVpnWithoutLookingAtSysfs)
{
    const char* tunnels[] = {"utun4", "ipsec0", "ppp0", "tun1", "tap0", "tunnel9"};
    for (const char* name : tunnels)
        tree.add(name, {{"type", "1"}, {"device", "@"}});
    for (const char* name : tunnels)
        EXPECT_EQ(LinkInfo::kind(name), vpn) << name;
    for (const char* name : {"UTUN0", "Tap0", "xtun0", "tu"})
        EXPECT_EQ(LinkInfo::kind(name), other) << name;
}

TEST_F(KindCache, FirstAnswerStandsForTheLifeOfTheProcess)
{
    tree.add("enp1s0", {{"type", "1"}, {"device", "@"}});
    EXPECT_EQ(LinkInfo::kind("enp1s0"), ethernet);
    for (const char* name : {"wlp2s0", "", "..", "wlp2s0/"})
        EXPECT_EQ(LinkInfo::kind(name), other) << name;

    // wlp2s0 appears, enp1s0 changes its mind; neither is seen, even with the tree gone.
    tree.add("wlp2s0", {{"uevent", "DEVTYPE=wlan\n"}});
    tree.add("enp1s0", {{"wireless", "/"}});
    SysfsNet::setSystemRootForTesting("/nonexistent");
    EXPECT_EQ(LinkInfo::kind("wlp2s0"), other);
    EXPECT_EQ(LinkInfo::kind("enp1s0"), ethernet);

    use(tree.root());
    EXPECT_EQ(LinkInfo::kind("wlp2s0"), wifi);
    EXPECT_EQ(LinkInfo::kind("enp1s0"), wifi);
}

} // namespace
