#pragma once

#include "measure/LinkKind.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// What sysfs tells about one network device, as far as telling kinds of link apart needs.
struct NetDeviceFacts {
    bool present = false;           // the device directory exists
    std::optional<uint32_t> arphrd; // `type`; none when missing or unreadable
    std::string devtype;            // DEVTYPE= of `uevent`; empty when absent
    bool wireless = false;          // `phy80211` link or `wireless` directory (cfg80211)
    bool tunFlags = false;          // `tun_flags`: tun and tap devices only
    bool backingDevice = false;     // `device` link to the hardware behind it
    bool bridge = false;            // `bridge` directory or DEVTYPE=bridge

    friend bool operator==(const NetDeviceFacts&, const NetDeviceFacts&) = default;
};

// Tells kinds of link apart from what sysfs shows (SystemLinks reads it).
namespace LinkInfo {

// Names of tunnel-style devices (ipsec, ppp, tun, tap prefixes): vpn whatever sysfs says.
bool tunnelByName(std::string_view name);

// The sysfs part of the classification, without the name-prefix rule.
LinkKind classify(std::string_view name, const NetDeviceFacts& facts);

} // namespace LinkInfo

} // namespace corvane
