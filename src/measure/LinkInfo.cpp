#include "measure/LinkInfo.h"

namespace corvane::LinkInfo {

namespace {

constexpr uint32_t arphrdEther = 1;
constexpr uint32_t arphrdPpp = 512;
constexpr uint32_t arphrdRawIp = 519;
constexpr uint32_t arphrdPureIp = 530; // vendor modem kernels; not in mainline headers
constexpr uint32_t arphrdNone = 65534; // WireGuard, xfrm and tun in layer-3 mode

} // namespace

bool tunnelByName(std::string_view name)
{
    for (const std::string_view prefix : {"ipsec", "ppp", "tun", "tap"}) {
        if (name.starts_with(prefix))
            return true;
    }
    return false;
}

LinkKind classify(std::string_view name, const NetDeviceFacts& facts)
{
    if (!facts.present)
        return LinkKind::other;
    // tap devices look like Ethernet; their flags file gives them away first.
    if (facts.tunFlags)
        return LinkKind::vpn;
    const std::string& devtype = facts.devtype;
    if (devtype == "wlan" || facts.wireless)
        return LinkKind::wifi;
    if (devtype == "wwan")
        return LinkKind::cellular;
    if (devtype == "ppp" || devtype == "wireguard")
        return LinkKind::vpn;
    if (facts.bridge || !facts.arphrd)
        return LinkKind::other;

    const uint32_t type = *facts.arphrd;
    if (type == arphrdPpp || type == arphrdNone)
        return LinkKind::vpn;
    // Qualcomm and MediaTek modem data channels carry no DEVTYPE on many kernels.
    if ((name.starts_with("rmnet") || name.starts_with("ccmni")) &&
        (type == arphrdEther || type == arphrdRawIp || type == arphrdPureIp))
        return LinkKind::cellular;
    // Only a device with hardware behind it; veth, dummy, bond and vlan have none.
    if (type == arphrdEther && facts.backingDevice)
        return LinkKind::ethernet;
    return LinkKind::other;
}

} // namespace corvane::LinkInfo
