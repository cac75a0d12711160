#include "measure/LinkInfo.h"

#include "platform/sysfs/FakeSysfs.h"
#include "platform/sysfs/SysfsNet.h"
#include "platform/sysfs/SystemLinks.h"

#include <gtest/gtest.h>

using corvane::LinkKind;
using corvane::SysfsNet;
using corvane::testing::FakeSysfs;
namespace SystemLinks = corvane::SystemLinks;

namespace {

constexpr auto wifi = LinkKind::wifi, ethernet = LinkKind::ethernet, vpn = LinkKind::vpn,
               cellular = LinkKind::cellular, other = LinkKind::other;

TEST(LinkKindTest, IdentifiersRoundTripExactly)
{
    for (const LinkKind kind : corvane::allLinkKinds)
        EXPECT_EQ(corvane::linkKindFromRaw(corvane::rawValue(kind)), kind);
    for (const char* raw : {"", "Wifi", "Wi-Fi", "vpn ", "other\n"})
        EXPECT_FALSE(corvane::linkKindFromRaw(raw)) << raw;
}

// Each row as the kernel shows such a device; the last rows are what must not
// be mistaken.
TEST(Classification, FromSysfs)
{
    const struct {
        const char* name;
        FakeSysfs::Entries entries;
        LinkKind expected;
    } devices[] = {
        {"wlp2s0", {{"type", "1"}, {"device", "@"}, {"phy80211", "@"}}, wifi},
        {"wlx1", {{"type", "1"}, {"device", "@"}, {"wireless", "/"}}, wifi},
        {"mlan0", {{"type", "1"}, {"uevent", "DEVTYPE=wlan\n"}}, wifi},
        {"wwan0", {{"type", "519"}, {"uevent", "DEVTYPE=wwan\n"}, {"device", "@"}}, cellular},
        {"rmnet_data0", {{"type", "519"}}, cellular},
        {"rmnet_ipa0", {{"type", "1"}}, cellular},
        {"ccmni2", {{"type", "530"}}, cellular},
        {"dsl0", {{"type", "512"}}, vpn},
        {"wan0", {{"uevent", "DEVTYPE=ppp\n"}}, vpn},
        {"vnet3", {{"type", "1"}, {"tun_flags", "0x1002"}}, vpn},
        {"wg0", {{"type", "65534"}, {"uevent", "DEVTYPE=wireguard\n"}}, vpn},
        {"enp3s0", {{"type", "1\n"}, {"uevent", "INTERFACE=enp3s0\n"}, {"device", "@"}}, ethernet},
        {"usb0", {{"type", "1"}, {"uevent", "DEVTYPE=gadget\n"}, {"device", "@"}}, ethernet},
        {"rmnet1", {{"type", "776"}}, other},
        {"veth1a", {{"type", "1"}}, other},
        {"br0", {{"type", "1"}, {"bridge", "/"}, {"device", "@"}}, other},
        {"lo", {{"type", "772"}}, other},
        {"eth1", {{"type", "ether"}, {"device", "@"}}, other},
        {"eth2", {{"device", "@"}}, other},
    };
    FakeSysfs tree;
    for (const auto& d : devices) {
        tree.add(d.name, d.entries);
        EXPECT_EQ(corvane::LinkInfo::classify(d.name, SysfsNet(tree.root()).facts(d.name)),
                  d.expected)
            << d.name;
    }
}

// Tunnel-style names are vpn whatever sysfs says; the first answer for a name
// then stands.
TEST(KindCache, PrefixRuleThenTheFirstAnswerStands)
{
    FakeSysfs tree;
    SystemLinks::resetCacheForTesting();
    SysfsNet::setSystemRootForTesting(tree.root());
    for (const char* name : {"ipsec0", "ppp0", "tun1", "tap0", "enp1s0"})
        tree.add(name, {{"type", "1"}, {"device", "@"}});
    const std::pair<const char*, LinkKind> first[] = {
        {"ipsec0", vpn},  {"ppp0", vpn},   {"tun1", vpn},      {"tap0", vpn},
        {"utun4", other}, {"Tap0", other}, {"xtun0", other},   {"wlp2s0", other},
        {"", other},      {"..", other},   {"wlp2s0/", other}, {"enp1s0", ethernet}};
    for (const auto& [name, kind] : first)
        EXPECT_EQ(SystemLinks::kind(name), kind) << name;
    tree.add("wlp2s0", {{"uevent", "DEVTYPE=wlan\n"}});
    tree.add("enp1s0", {{"wireless", "/"}});
    EXPECT_EQ(SystemLinks::kind("wlp2s0"), other);
    SystemLinks::resetCacheForTesting();
    EXPECT_EQ(SystemLinks::kind("wlp2s0"), wifi);
    EXPECT_EQ(SystemLinks::kind("enp1s0"), wifi);
    SysfsNet::setSystemRootForTesting({});
}

} // namespace
