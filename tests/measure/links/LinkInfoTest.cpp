#include "measure/LinkInfo.h"

#include "measure/NetworkInfo.h"
#include "platform/sysfs/FakeSysfs.h"
#include "platform/sysfs/SysfsNet.h"
#include "platform/sysfs/SystemLinks.h"

#include <arpa/inet.h>
#include <cstring>
#include <deque>
#include <gtest/gtest.h>
#include <net/if.h>

using namespace corvane;
using corvane::testing::FakeSysfs;
using Names = std::vector<std::string>;

namespace {

constexpr auto wifi = LinkKind::wifi, ethernet = LinkKind::ethernet, vpn = LinkKind::vpn,
               cellular = LinkKind::cellular, other = LinkKind::other;

// Each row as the kernel shows such a device; the last rows are what must not
// be mistaken. Looked up by name, tunnel-style names are vpn whatever sysfs says, and the
// first answer for a name stands until the cache is reset.
TEST(Classification, FromSysfsThenByNameOnceEach)
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
        {"tun1", {{"type", "1"}, {"device", "@"}}, ethernet}, // looked up by name: vpn
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
        EXPECT_EQ(LinkInfo::classify(d.name, SysfsNet(tree.root()).facts(d.name)), d.expected)
            << d.name;
    }
    SystemLinks::resetCacheForTesting();
    SysfsNet::setSystemRootForTesting(tree.root());
    const std::pair<const char*, LinkKind> first[] = {
        {"ipsec0", vpn},  {"ppp0", vpn},   {"tun1", vpn},      {"tap0", vpn},
        {"utun4", other}, {"Tap0", other}, {"xtun0", other},   {"wlp9", other},
        {"", other},      {"..", other},   {"wlp2s0/", other}, {"enp3s0", ethernet}};
    for (const auto& [name, kind] : first)
        EXPECT_EQ(SystemLinks::kind(name), kind) << name;
    tree.add("wlp9", {{"uevent", "DEVTYPE=wlan\n"}});
    EXPECT_EQ(SystemLinks::kind("wlp9"), other);
    SystemLinks::resetCacheForTesting();
    EXPECT_EQ(SystemLinks::kind("wlp9"), wifi);
    SysfsNet::setSystemRootForTesting({});
}

// Up: plain string order, each name once; only up, running, non-loopback, non-bridge names
// with IPv4. Local address: the first IPv4 of that exact name, whatever its state.
TEST(AddressEntries, UpInterfacesAndTheirFirstIPv4)
{
    constexpr unsigned up = IFF_UP | IFF_RUNNING | IFF_BROADCAST | IFF_MULTICAST;
    // As getifaddrs hands them out; an address that is neither IPv4 nor IPv6 is link-layer.
    const std::tuple<const char*, const char*, unsigned> rows[] = {
        {"utun3", "198.51.100.30", up},
        {"en2", "198.51.100.2", up},
        {"en10", "link", up},
        {"en10", "198.51.100.10", up},
        {"en0", "2001:db8::5", up},
        {"en0", "203.0.113.77", IFF_BROADCAST},
        {"en0", "198.51.100.1", up},
        {"en01", "198.51.100.99", up},
        {"lo", "127.0.0.1", IFF_UP | IFF_RUNNING | IFF_LOOPBACK},
        {"down0", "198.51.100.1", IFF_BROADCAST | IFF_RUNNING},
        {"nocarrier0", "198.51.100.3", IFF_UP | IFF_BROADCAST},
        {"ptp0", "198.51.100.6", IFF_UP | IFF_RUNNING | IFF_POINTOPOINT | IFF_NOARP},
        {"v6only0", "2001:db8::2", up},
        {"noaddr0", "", up},
        {"bridge0", "203.0.113.9", up},
        {"xbridge0", "203.0.113.9", up},
        {"br-1a2b3c", "203.0.113.9", up},
    };
    std::deque<sockaddr_storage> storage; // stays in place while the entries point into it
    std::vector<NetworkInfo::AddressEntry> list;
    for (const auto& [name, address, flags] : rows) {
        auto& in = reinterpret_cast<sockaddr_in&>(storage.emplace_back());
        // Only IPv4 addresses are ever read: the others need only their family.
        const bool v4 = inet_pton(AF_INET, address, &in.sin_addr) == 1;
        in.sin_family = v4 ? AF_INET : std::strchr(address, ':') ? AF_INET6 : AF_PACKET;
        list.push_back({name, flags, *address ? reinterpret_cast<sockaddr*>(&in) : nullptr});
    }
    EXPECT_EQ(NetworkInfo::selectUp(list, [](std::string_view n) { return n == "br-1a2b3c"; }),
              (Names{"en0", "en01", "en10", "en2", "ptp0", "utun3", "xbridge0"}));
    EXPECT_EQ(NetworkInfo::firstIPv4(list, "en0"), "203.0.113.77");
    EXPECT_EQ(NetworkInfo::firstIPv4(list, "en"), std::nullopt);
    EXPECT_EQ(NetworkInfo::firstIPv4(list, "v6only0"), std::nullopt);
}

} // namespace
