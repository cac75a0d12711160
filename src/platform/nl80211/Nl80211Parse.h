#pragma once

#include "platform/nl80211/GenlClient.h"
#include "services/WiFiSource.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Decoding of nl80211 replies from bytes. Every length is checked before use; a message
// with any malformed part is rejected as a whole (none), never half-read.
namespace corvane::nl80211 {

struct Family {
    uint16_t id = 0;
    std::vector<std::pair<std::string, uint32_t>> groups;

    std::optional<uint32_t> group(std::string_view name) const;
};
std::optional<Family> parseFamily(const Message& message);

std::optional<WiFiInterface> parseInterface(const Message& message);

struct ScanEntry {
    uint32_t ifIndex = 0;
    bool associated = false;
    WiFiBss bss;
};
std::optional<ScanEntry> parseScanEntry(const Message& message);

// The SSID element (id 0) of an information-element list; none when absent, longer
// than 32 bytes, or when the list is broken before it.
std::optional<std::string> ssidFromElements(std::span<const uint8_t> elements);

struct StationEntry {
    MacAddress mac{};
    WiFiStation station;
};
std::optional<StationEntry> parseStation(const Message& message);

struct SurveyEntry {
    uint32_t frequencyMHz = 0;
    std::optional<int> noiseDbm;
    bool inUse = false;
};
std::optional<SurveyEntry> parseSurvey(const Message& message);

// True when the datagram (from the "mlme" group) reports a connection, a roam or a
// disconnection. Failed connection attempts do not count.
bool networkChangeIn(std::span<const uint8_t> datagram, uint16_t family);

} // namespace corvane::nl80211
