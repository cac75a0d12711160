#include "platform/netlink/LinkSpeed.h"

#include <charconv>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

namespace {

// A name the kernel could have given: no path tricks when it is joined into a path.
bool plausibleName(const char* name)
{
    const size_t n = strnlen(name, IF_NAMESIZE);
    return n > 0 && n < IF_NAMESIZE && std::strchr(name, '/') == nullptr &&
           std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0;
}

bool exists(const std::string& root, const char* name, const char* entry)
{
    char path[PATH_MAX];
    const int n = std::snprintf(path, sizeof(path), "%s/%s/%s", root.c_str(), name, entry);
    struct stat st {};
    return n > 0 && static_cast<size_t>(n) < sizeof(path) && lstat(path, &st) == 0;
}

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
    return plausibleName(name) && exists(root_, name, "device") &&
           !exists(root_, name, "wireless") && !exists(root_, name, "phy80211");
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
    char path[PATH_MAX];
    const int n = std::snprintf(path, sizeof(path), "%s/%s/speed", root_.c_str(), name);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof(path))
        return 0;
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    char text[32];
    const ssize_t len = read(fd, text, sizeof(text));
    close(fd);
    if (len <= 0)
        return 0;
    long long mbps = 0;
    const auto [end, ec] = std::from_chars(text, text + len, mbps);
    if (ec != std::errc() || (end != text + len && *end != '\n') || mbps <= 0 ||
        mbps >= static_cast<long long>(UINT32_MAX))
        return 0;
    return toBits(static_cast<uint32_t>(mbps));
}

} // namespace corvane
