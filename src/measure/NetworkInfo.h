#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct sockaddr;

namespace corvane {

// Which interfaces carry IPv4 traffic, for the interface picker and the local address, from
// a list the caller read (SystemLinks reads the machine's). Callable from any thread.
namespace NetworkInfo {

// IFF_UP | IFF_RUNNING | IFF_LOOPBACK, and the value they must have.
inline constexpr unsigned int upMask = 0x49;
inline constexpr unsigned int upValue = 0x41;

// One entry of the system's interface-address list, borrowed from it.
struct AddressEntry {
    std::string_view name;
    unsigned int flags = 0;
    const sockaddr* address = nullptr; // may be null
};

// Up, running, non-loopback entries with an IPv4 address, minus the internal ones and those
// `isBridge` names; each name once, in plain string order. `isBridge` is asked once per
// distinct candidate.
std::vector<std::string> selectUp(std::span<const AddressEntry> entries,
                                  const std::function<bool(std::string_view)>& isBridge);

// The first IPv4 address of `name` in dotted form, whatever the interface's state.
std::optional<std::string> firstIPv4(std::span<const AddressEntry> entries, std::string_view name);

// Names that are never offered: the bridge family.
bool excludedByName(std::string_view name);

} // namespace NetworkInfo

} // namespace corvane
