#pragma once

#include "measure/LinkInfo.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// Reads device attributes below a root directory (normally /sys/class/net). Never throws;
// whatever cannot be read is absent. Reads are bounded and only of regular files, so a
// corrupt or hostile tree cannot block or exhaust memory. Safe to use from any thread.
class SysfsNet {
public:
    static constexpr std::string_view defaultRoot = "/sys/class/net";
    // Attribute files are at most one page; anything longer is cut here.
    static constexpr std::size_t maxAttributeBytes = 4096;

    explicit SysfsNet(std::string root = std::string(defaultRoot));

    // The process-wide tree that LinkInfo and NetworkInfo read.
    static SysfsNet system();
    // Points system() at another tree; an empty root restores the default.
    static void setSystemRootForTesting(std::string root);

    const std::string& root() const { return root_; }

    NetDeviceFacts facts(std::string_view name) const;
    bool isBridge(std::string_view name) const;
    // Raw content of NAME/ATTR with trailing whitespace removed.
    std::optional<std::string> readAttribute(std::string_view name, std::string_view attr) const;

    // The kernel's rule for device names; anything else is never looked up, so a name
    // cannot reach outside the root.
    static bool validName(std::string_view name);
    // A decimal ARPHRD number as the kernel prints it in `type`.
    static std::optional<uint32_t> parseArphrd(std::string_view text);
    // Mb/s from `speed`; none for unknown (-1), 0, or anything but a decimal number.
    static std::optional<uint32_t> parseSpeedMbps(std::string_view text);
    // The value of KEY= on its own line of a uevent text.
    static std::optional<std::string> ueventValue(std::string_view text, std::string_view key);

private:
    std::string root_;
};

} // namespace corvane
