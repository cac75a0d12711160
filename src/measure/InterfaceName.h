#pragma once

#include <string_view>

namespace corvane {

// The kernel's own rule for a network interface name (what dev_valid_name() accepts): 1 to
// 15 bytes, not "." or "..", no '/', ':' or NUL, and no white space as the kernel's ctype
// counts it, which includes 0xA0. Any other byte is allowed, control characters and bytes
// that are not UTF-8 included: a name the kernel gave must never be refused here.
constexpr bool validInterfaceName(std::string_view name)
{
    constexpr std::string_view::size_type maxBytes = 15; // IFNAMSIZ less the NUL
    if (name.empty() || name.size() > maxBytes || name == "." || name == "..")
        return false;
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (b == 0 || b == '/' || b == ':' || b == ' ' || (b >= '\t' && b <= '\r') || b == 0xa0)
            return false;
    }
    return true;
}

} // namespace corvane
