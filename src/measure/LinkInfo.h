#pragma once

#include "measure/LinkKind.h"

#include <string_view>

namespace corvane {

struct NetDeviceFacts;

// Classifies interfaces by name. The answer for a name is worked out once and kept for the
// life of the process, so the interface picker can ask on every repaint.
namespace LinkInfo {

// Cached. Names of tunnel-style devices (ipsec, ppp, tun, tap prefixes) are vpn
// without looking further; others are classified from sysfs; unknown names are other.
// Main thread only: the cache has no lock.
LinkKind kind(std::string_view name);

// The sysfs part of the classification, uncached, without the name-prefix rule.
LinkKind classify(std::string_view name, const NetDeviceFacts& facts);

// Forgets every cached answer. Tests only.
void resetCacheForTesting();

} // namespace LinkInfo

} // namespace corvane
