#pragma once

#include "measure/LinkKind.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The machine's interfaces as sysfs and getifaddrs() show them; the rules they are judged
// by live in measure/LinkInfo and measure/NetworkInfo.
namespace corvane::SystemLinks {

// Cached for the life of the process, so the interface picker can ask on every repaint.
// Tunnel-style names are vpn without looking further; others are classified from sysfs;
// unknown names are other. Main thread only: the cache has no lock.
LinkKind kind(std::string_view name);
// Forgets every cached answer. Tests only.
void resetCacheForTesting();

// Up, running, non-loopback interfaces with an IPv4 address, minus the internal ones
// (Linux bridges among them); each name once, in plain string order. Empty on failure.
std::vector<std::string> upInterfaces();

// The first IPv4 address of `name` in dotted form, whatever the interface's state.
std::optional<std::string> localIPv4(std::string_view name);

} // namespace corvane::SystemLinks
