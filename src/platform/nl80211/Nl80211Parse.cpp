#include "platform/nl80211/Nl80211Parse.h"

#include "platform/netlink/NlWalk.h"

#include <algorithm>
#include <cstring>
#include <linux/genetlink.h>
#include <linux/netlink.h>
#include <linux/nl80211.h>

namespace corvane::nl80211 {

namespace {

using nl::Bytes;
using nl::forEachAttribute;
using nl::read;

constexpr size_t maxSsidLength = 32;

// Signal attributes are u8 on the wire but carry a signed dBm value.
bool readDbm(Bytes payload, std::optional<int>& out)
{
    uint8_t raw = 0;
    if (!read(payload, raw))
        return false;
    out = static_cast<int8_t>(raw);
    return true;
}

bool readMac(Bytes payload, MacAddress& out)
{
    if (payload.size() != out.size())
        return false;
    std::copy(payload.begin(), payload.end(), out.begin());
    return true;
}

bool readString(Bytes payload, std::string& out)
{
    std::string_view text;
    if (!nl::readString(payload, text))
        return false;
    out = text;
    return true;
}

bool parseRateInfo(Bytes nest, WiFiStation& station)
{
    std::optional<uint32_t> bitrate16;
    std::optional<uint32_t> bitrate32;
    bool ht = false, vht = false, he = false, eht = false;
    bool ok = forEachAttribute(nest, [&](uint16_t type, Bytes p) {
        switch (type) {
        case NL80211_RATE_INFO_BITRATE: {
            uint16_t v = 0;
            if (!read(p, v))
                return false;
            bitrate16 = v;
            return true;
        }
        case NL80211_RATE_INFO_BITRATE32: {
            uint32_t v = 0;
            if (!read(p, v))
                return false;
            bitrate32 = v;
            return true;
        }
        case NL80211_RATE_INFO_MCS:
            ht = true;
            return true;
        case NL80211_RATE_INFO_VHT_MCS:
            vht = true;
            return true;
        case NL80211_RATE_INFO_HE_MCS:
            he = true;
            return true;
        case NL80211_RATE_INFO_EHT_MCS:
            eht = true;
            return true;
        default:
            return true;
        }
    });
    if (!ok)
        return false;
    // The 16-bit field saturates at 6553.5 Mbit/s; the 32-bit one does not.
    station.txRate100kbps = bitrate32 ? bitrate32 : bitrate16;
    station.txGeneration = eht   ? WiFiGeneration::eht
                           : he  ? WiFiGeneration::he
                           : vht ? WiFiGeneration::vht
                           : ht  ? WiFiGeneration::ht
                                 : WiFiGeneration::legacy;
    return true;
}

bool parseStationInfo(Bytes nest, WiFiStation& station)
{
    return forEachAttribute(nest, [&](uint16_t type, Bytes p) {
        switch (type) {
        case NL80211_STA_INFO_SIGNAL:
            return readDbm(p, station.signalDbm);
        case NL80211_STA_INFO_BEACON_SIGNAL_AVG:
            return readDbm(p, station.beaconSignalAvgDbm);
        case NL80211_STA_INFO_TX_BITRATE:
            return parseRateInfo(p, station);
        default:
            return true;
        }
    });
}

// First frequency among the links of a multi-link interface, which has no frequency of
// its own.
bool parseLinkFrequency(Bytes nest, uint32_t& frequency)
{
    return forEachAttribute(nest, [&](uint16_t, Bytes link) {
        return forEachAttribute(link, [&](uint16_t type, Bytes p) {
            if (type != NL80211_ATTR_WIPHY_FREQ)
                return true;
            uint32_t f = 0;
            if (!read(p, f))
                return false;
            if (frequency == 0)
                frequency = f;
            return true;
        });
    });
}

} // namespace

std::optional<uint32_t> Family::group(std::string_view name) const
{
    for (const auto& [n, id] : groups)
        if (n == name)
            return id;
    return std::nullopt;
}

std::optional<Family> parseFamily(const Message& message)
{
    if (message.type() != GENL_ID_CTRL || message.command() != CTRL_CMD_NEWFAMILY)
        return std::nullopt;
    Family family;
    bool ok = forEachAttribute(message.attributes(), [&](uint16_t type, Bytes p) {
        if (type == CTRL_ATTR_FAMILY_ID)
            return read(p, family.id);
        if (type != CTRL_ATTR_MCAST_GROUPS)
            return true;
        return forEachAttribute(p, [&](uint16_t, Bytes entry) {
            std::optional<std::string> name;
            std::optional<uint32_t> id;
            bool good = forEachAttribute(entry, [&](uint16_t t, Bytes q) {
                if (t == CTRL_ATTR_MCAST_GRP_NAME)
                    return readString(q, name.emplace());
                if (t == CTRL_ATTR_MCAST_GRP_ID)
                    return read(q, id.emplace());
                return true;
            });
            if (good && name && id)
                family.groups.emplace_back(*name, *id);
            return good;
        });
    });
    if (!ok || family.id == 0)
        return std::nullopt;
    return family;
}

std::optional<WiFiInterface> parseInterface(const Message& message)
{
    if (message.command() != NL80211_CMD_NEW_INTERFACE)
        return std::nullopt;
    WiFiInterface iface;
    uint32_t linkFrequency = 0;
    bool ok = forEachAttribute(message.attributes(), [&](uint16_t type, Bytes p) {
        switch (type) {
        case NL80211_ATTR_IFINDEX:
            return read(p, iface.index);
        case NL80211_ATTR_IFNAME:
            return readString(p, iface.name);
        case NL80211_ATTR_IFTYPE: {
            uint32_t t = 0;
            if (!read(p, t))
                return false;
            iface.station = t == NL80211_IFTYPE_STATION;
            return true;
        }
        case NL80211_ATTR_SSID:
            // An oversized SSID is not a name; the scan's element may still give one.
            if (p.size() <= maxSsidLength)
                iface.ssid = std::string(p.begin(), p.end());
            return true;
        case NL80211_ATTR_WIPHY_FREQ:
            return read(p, iface.frequencyMHz);
        case NL80211_ATTR_MLO_LINKS:
            return parseLinkFrequency(p, linkFrequency);
        default:
            return true;
        }
    });
    if (!ok || iface.index == 0)
        return std::nullopt;
    if (iface.frequencyMHz == 0)
        iface.frequencyMHz = linkFrequency;
    return iface;
}

std::optional<std::string> ssidFromElements(Bytes elements)
{
    while (elements.size() >= 2) {
        const uint8_t id = elements[0];
        const size_t length = elements[1];
        if (length > elements.size() - 2)
            return std::nullopt;
        if (id == 0) {
            if (length > maxSsidLength)
                return std::nullopt;
            return std::string(elements.begin() + 2, elements.begin() + 2 + length);
        }
        elements = elements.subspan(2 + length);
    }
    return std::nullopt;
}

std::optional<ScanEntry> parseScanEntry(const Message& message)
{
    if (message.command() != NL80211_CMD_NEW_SCAN_RESULTS)
        return std::nullopt;
    ScanEntry entry;
    bool haveBss = false;
    bool ok = forEachAttribute(message.attributes(), [&](uint16_t type, Bytes p) {
        if (type == NL80211_ATTR_IFINDEX)
            return read(p, entry.ifIndex);
        if (type != NL80211_ATTR_BSS)
            return true;
        bool haveBssid = false;
        std::optional<std::string> probeSsid, beaconSsid;
        bool good = forEachAttribute(p, [&](uint16_t t, Bytes q) {
            switch (t) {
            case NL80211_BSS_BSSID:
                haveBssid = true;
                return readMac(q, entry.bss.bssid);
            case NL80211_BSS_FREQUENCY:
                return read(q, entry.bss.frequencyMHz);
            case NL80211_BSS_INFORMATION_ELEMENTS:
                probeSsid = ssidFromElements(q);
                return true;
            case NL80211_BSS_BEACON_IES:
                beaconSsid = ssidFromElements(q);
                return true;
            case NL80211_BSS_SIGNAL_MBM: {
                int32_t v = 0;
                if (!read(q, v))
                    return false;
                entry.bss.signalMbm = v;
                return true;
            }
            case NL80211_BSS_STATUS: {
                uint32_t v = 0;
                if (!read(q, v))
                    return false;
                entry.associated = v == NL80211_BSS_STATUS_ASSOCIATED;
                return true;
            }
            default:
                return true;
            }
        });
        // A hidden network's beacon carries an empty SSID; the probe response names it.
        entry.bss.ssid = (probeSsid && !probeSsid->empty()) ? probeSsid
                         : beaconSsid                       ? beaconSsid
                                                            : probeSsid;
        haveBss = good && haveBssid;
        return good;
    });
    if (!ok || !haveBss)
        return std::nullopt;
    return entry;
}

std::optional<StationEntry> parseStation(const Message& message)
{
    if (message.command() != NL80211_CMD_NEW_STATION)
        return std::nullopt;
    StationEntry entry;
    bool haveMac = false, haveInfo = false;
    bool ok = forEachAttribute(message.attributes(), [&](uint16_t type, Bytes p) {
        if (type == NL80211_ATTR_MAC) {
            haveMac = true;
            return readMac(p, entry.mac);
        }
        if (type == NL80211_ATTR_STA_INFO) {
            haveInfo = true;
            return parseStationInfo(p, entry.station);
        }
        return true;
    });
    if (!ok || !haveMac || !haveInfo)
        return std::nullopt;
    return entry;
}

std::optional<SurveyEntry> parseSurvey(const Message& message)
{
    if (message.command() != NL80211_CMD_NEW_SURVEY_RESULTS)
        return std::nullopt;
    SurveyEntry entry;
    bool haveInfo = false;
    bool ok = forEachAttribute(message.attributes(), [&](uint16_t type, Bytes p) {
        if (type != NL80211_ATTR_SURVEY_INFO)
            return true;
        haveInfo = true;
        return forEachAttribute(p, [&](uint16_t t, Bytes q) {
            switch (t) {
            case NL80211_SURVEY_INFO_FREQUENCY:
                return read(q, entry.frequencyMHz);
            case NL80211_SURVEY_INFO_NOISE:
                return readDbm(q, entry.noiseDbm);
            case NL80211_SURVEY_INFO_IN_USE:
                entry.inUse = true;
                return true;
            default:
                return true;
            }
        });
    });
    if (!ok || !haveInfo)
        return std::nullopt;
    return entry;
}

bool networkChangeIn(Bytes datagram, uint16_t family)
{
    // Events carry sequence 0 and no port; reuse the reply walker for the bounds checks.
    ReplyState state;
    walkReply(datagram, family, 0, 0, state);
    for (const Message& m : state.messages) {
        switch (m.command()) {
        case NL80211_CMD_ROAM:
        case NL80211_CMD_DISCONNECT:
            return true;
        case NL80211_CMD_CONNECT: {
            uint16_t status = 0;
            bool ok = forEachAttribute(m.attributes(), [&](uint16_t type, Bytes p) {
                return type != NL80211_ATTR_STATUS_CODE || read(p, status);
            });
            if (ok && status == 0)
                return true;
            break;
        }
        default:
            break;
        }
    }
    return false;
}

} // namespace corvane::nl80211
