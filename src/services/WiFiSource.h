#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvane {

using MacAddress = std::array<uint8_t, 6>;

// Which 802.11 amendment the transmit rate was negotiated under.
enum class WiFiGeneration { legacy, ht, vht, he, eht };

// One wireless interface as the kernel lists it.
struct WiFiInterface {
    uint32_t index = 0;
    std::string name;
    bool station = false;
    // Raw SSID bytes; not necessarily UTF-8. Absent when not joined or not reported.
    std::optional<std::string> ssid;
    uint32_t frequencyMHz = 0; // 0 when unknown

    friend bool operator==(const WiFiInterface&, const WiFiInterface&) = default;
};

// The BSS an interface is associated with, from the kernel's scan results.
struct WiFiBss {
    MacAddress bssid{};
    std::optional<std::string> ssid; // raw bytes from the SSID element
    uint32_t frequencyMHz = 0;
    std::optional<int> signalMbm; // hundredths of a dBm

    friend bool operator==(const WiFiBss&, const WiFiBss&) = default;
};

// The access point as a station entry of the interface.
struct WiFiStation {
    std::optional<int> signalDbm;
    std::optional<int> beaconSignalAvgDbm;
    std::optional<uint32_t> txRate100kbps;
    WiFiGeneration txGeneration = WiFiGeneration::legacy;

    friend bool operator==(const WiFiStation&, const WiFiStation&) = default;
};

// What the Wi-Fi monitor asks of the system. Implementations never throw and never
// start a scan: a failed query gives an empty list or none. Called on one thread.
class WiFiSource {
public:
    virtual ~WiFiSource() = default;
    virtual std::vector<WiFiInterface> readInterfaces() = 0;
    // The associated BSS of the interface; none when not associated or unreadable.
    virtual std::optional<WiFiBss> readLink(uint32_t ifIndex) = 0;
    // The access point's station entry; without a BSSID the interface's only peer.
    virtual std::optional<WiFiStation> readStation(uint32_t ifIndex,
                                                   const std::optional<MacAddress>& bssid) = 0;
    // Noise floor of the channel in use, in dBm; none when the driver does not say.
    virtual std::optional<int> readNoise(uint32_t ifIndex, uint32_t frequencyMHz) = 0;

    // A descriptor that becomes readable when network-change events arrive; -1 when
    // events are unavailable.
    virtual int eventDescriptor() const { return -1; }
    // Drains pending events; true when one of them may have changed the joined network.
    virtual bool takeNetworkChange() { return false; }
};

} // namespace corvane
