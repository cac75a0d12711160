#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace corvane {

// The kind of link an interface is. The identifiers are stable (demo data and tests use
// them); the titles are shown to the user; the symbols name icons of the bundled set.
enum class LinkKind : uint8_t { wifi, ethernet, vpn, cellular, other };

inline constexpr std::array<LinkKind, 5> allLinkKinds{
    LinkKind::wifi, LinkKind::ethernet, LinkKind::vpn, LinkKind::cellular, LinkKind::other};

constexpr std::string_view rawValue(LinkKind kind)
{
    switch (kind) {
    case LinkKind::wifi:
        return "wifi";
    case LinkKind::ethernet:
        return "ethernet";
    case LinkKind::vpn:
        return "vpn";
    case LinkKind::cellular:
        return "cellular";
    case LinkKind::other:
        break;
    }
    return "other";
}

constexpr std::string_view title(LinkKind kind)
{
    switch (kind) {
    case LinkKind::wifi:
        return "Wi-Fi";
    case LinkKind::ethernet:
        return "Ethernet";
    case LinkKind::vpn:
        return "VPN";
    case LinkKind::cellular:
        return "Cellular";
    case LinkKind::other:
        break;
    }
    return "Link";
}

constexpr std::string_view symbol(LinkKind kind)
{
    switch (kind) {
    case LinkKind::wifi:
        return "network-wireless";
    case LinkKind::ethernet:
        return "network-wired";
    case LinkKind::vpn:
        return "network-vpn";
    case LinkKind::cellular:
        return "network-transmit-receive";
    case LinkKind::other:
        break;
    }
    return "network-idle";
}

// Exactly one of the five identifiers, case-sensitive; anything else is none.
constexpr std::optional<LinkKind> linkKindFromRaw(std::string_view raw)
{
    for (const LinkKind kind : allLinkKinds) {
        if (rawValue(kind) == raw)
            return kind;
    }
    return std::nullopt;
}

} // namespace corvane
