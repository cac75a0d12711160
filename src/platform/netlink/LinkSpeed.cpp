#include "platform/netlink/LinkSpeed.h"

#include "platform/sysfs/SysfsNet.h"

#include <climits>
#include <cstring>
#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <sys/ioctl.h>

namespace corvane {

namespace {

// Mb/s as bits per second; unknown (0, SPEED_UNKNOWN) is 0.
uint64_t toBits(uint32_t mbps)
{
    if (mbps == 0 || mbps == static_cast<uint32_t>(SPEED_UNKNOWN))
        return 0;
    return static_cast<uint64_t>(mbps) * 1'000'000;
}

constexpr int maxLinkModeWords = 127; // link_mode_masks_nwords is an s8

// struct ethtool_link_settings ends in a flexible array of three link-mode bitmaps
// (supported, advertising, link partner) of nwords each.
struct LinkSettingsRequest {
    alignas(ethtool_link_settings)
        uint8_t bytes[sizeof(ethtool_link_settings) + 3 * maxLinkModeWords * sizeof(uint32_t)];

    explicit LinkSettingsRequest(int nwords)
    {
        std::memset(bytes, 0, sizeof(bytes));
        ethtool_link_settings base{};
        base.cmd = ETHTOOL_GLINKSETTINGS;
        base.link_mode_masks_nwords = static_cast<int8_t>(nwords);
        std::memcpy(bytes, &base, sizeof(base));
    }
    ethtool_link_settings base() const
    {
        ethtool_link_settings out;
        std::memcpy(&out, bytes, sizeof(out));
        return out;
    }
};

bool ethtool(int fd, const char* name, void* data)
{
    ifreq ifr{};
    std::memcpy(ifr.ifr_name, name, strnlen(name, IF_NAMESIZE - 1));
    ifr.ifr_data = static_cast<char*>(data);
    return ioctl(fd, SIOCETHTOOL, &ifr) == 0;
}

} // namespace

LinkSpeed::LinkSpeed(std::string sysfsRoot) : root_(std::move(sysfsRoot)) {}

bool LinkSpeed::hasNegotiatedSpeed(const char* name) const
{
    // Hardware has a `device` link; cfg80211 adds `wireless` to every Wi-Fi interface.
    const NetDeviceFacts facts = SysfsNet(root_).facts(name);
    return facts.backingDevice && !facts.wireless;
}

uint64_t LinkSpeed::bitsPerSecond(int ioctlFd, uint32_t ifIndex, const char* name)
{
    if (ifIndex != index_ || std::strncmp(name, name_.data(), name_.size()) != 0) {
        index_ = ifIndex;
        name_.fill('\0');
        std::strncpy(name_.data(), name, name_.size() - 1);
        negotiated_ = hasNegotiatedSpeed(name_.data());
        nwords_ = 0;
    }
    if (!negotiated_)
        return 0;
    bool answered = false;
    const uint64_t bits = ethtoolSpeed(ioctlFd, name_.data(), answered);
    return answered ? bits : sysfsSpeed(name_.data());
}

uint64_t LinkSpeed::ethtoolSpeed(int fd, const char* name, bool& answered)
{
    if (nwords_ == 0) {
        // Handshake: asked with 0 words, the kernel answers with minus the number it uses.
        LinkSettingsRequest req(0);
        nwords_ = -1;
        if (ethtool(fd, name, req.bytes)) {
            const int asked = -req.base().link_mode_masks_nwords;
            if (asked > 0 && asked <= maxLinkModeWords)
                nwords_ = asked;
        }
    }
    if (nwords_ > 0) {
        LinkSettingsRequest req(nwords_);
        if (ethtool(fd, name, req.bytes) && req.base().link_mode_masks_nwords == nwords_) {
            answered = true;
            return toBits(req.base().speed);
        }
    }
    ethtool_cmd cmd{};
    cmd.cmd = ETHTOOL_GSET;
    if (ethtool(fd, name, &cmd)) {
        answered = true;
        return toBits(ethtool_cmd_speed(&cmd));
    }
    return 0;
}

uint64_t LinkSpeed::sysfsSpeed(const char* name) const
{
    const auto text = SysfsNet(root_).readAttribute(name, "speed");
    const auto mbps = text ? SysfsNet::parseSpeedMbps(*text) : std::nullopt;
    return mbps ? toBits(*mbps) : 0;
}

} // namespace corvane
