#pragma once

#include "measure/LinkKind.h"
#include "measure/SpeedSample.h"

#include <cstdint>
#include <string_view>
#include <vector>

// The fixed data set demo mode shows instead of live measurements. Addresses are made up
// (documentation ranges where one exists) and are only ever displayed.
namespace corvane::DemoFixture {

inline constexpr std::string_view ssid = "HomeNet-5G";

// Shown as -54 dBm, noise -91 dBm, 1200 Mb/s, 5 GHz channel 44, Wi-Fi 6.
struct DemoRadio {
    int rssi;
    int noise;
    uint32_t txRate100kbps;
    uint32_t frequencyMHz;
};
inline constexpr DemoRadio radio{-54, -91, 12000, 5220};

inline constexpr LinkKind linkKind = LinkKind::wifi;
inline constexpr double linkMbps = 1200;
inline constexpr std::string_view interfaceName = "wlp2s0";
inline constexpr bool starlinkReachable = true;
inline constexpr std::string_view starlinkDashboardURL = "https://dashboard.example.com/";
inline constexpr std::string_view localIP = "10.0.1.42";
inline constexpr std::string_view routerIP = "10.0.1.1";
inline constexpr std::string_view publicIP = "203.0.113.17";
inline constexpr SpeedSample current{512.3, 24.6};
// Local wall-clock time the session started, so every render reads the same.
inline constexpr int sessionStartHour = 9;
inline constexpr int sessionStartMinute = 41;
inline constexpr uint64_t totalInBytes = 1'200'000'000;
inline constexpr uint64_t totalOutBytes = 86'000'000;

// Sixty samples, oldest first: quiet browsing, a burst, quiet again, a ramp and a large
// download. Computed on each call; identical every time.
std::vector<SpeedSample> samples();

} // namespace corvane::DemoFixture
