#pragma once

#include <array>
#include <cstdint>
#include <net/if.h>
#include <string>

namespace corvane {

// Negotiated link speed of one interface at a time. Wi-Fi and virtual devices (bridge,
// veth, tun, WireGuard, loopback...) report 0: what they claim (a veth says 10000) is not
// a negotiated speed. Which kind an interface is gets decided once per interface.
class LinkSpeed {
public:
    explicit LinkSpeed(std::string sysfsRoot = "/sys/class/net");

    // Bits per second, 0 when unknown. `ioctlFd` is any open socket (for SIOCETHTOOL).
    uint64_t bitsPerSecond(int ioctlFd, uint32_t ifIndex, const char* name);

private:
    bool hasNegotiatedSpeed(const char* name) const;
    uint64_t ethtoolSpeed(int fd, const char* name, bool& answered);
    uint64_t sysfsSpeed(const char* name) const;

    std::string root_;
    uint32_t index_ = 0;
    std::array<char, IF_NAMESIZE> name_{};
    bool negotiated_ = false;
    // ETHTOOL_GLINKSETTINGS bitmap size in 32-bit words: 0 not yet asked, -1 unsupported.
    int nwords_ = 0;
};

} // namespace corvane
