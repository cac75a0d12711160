#include "platform/nl80211/Nl80211WiFiSource.h"

#include "platform/Diagnostics.h"
#include "platform/nl80211/Nl80211Parse.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <linux/genetlink.h>
#include <linux/nl80211.h>

namespace corvane::nl80211 {

std::unique_ptr<Nl80211WiFiSource> Nl80211WiFiSource::open()
{
    return std::make_unique<Nl80211WiFiSource>(SocketChannel::open(), SocketChannel::open());
}

Nl80211WiFiSource::Nl80211WiFiSource(std::unique_ptr<NetlinkChannel> requests,
                                     std::unique_ptr<NetlinkChannel> events)
    : client_(std::move(requests)), events_(std::move(events))
{}

std::optional<uint16_t> Nl80211WiFiSource::family()
{
    if (family_)
        return family_;
    Request request(GENL_ID_CTRL, CTRL_CMD_GETFAMILY, false);
    request.putString(CTRL_ATTR_FAMILY_NAME, NL80211_GENL_NAME);
    Reply reply = client_.transact(request);
    if (!reply.ok() || reply.messages.empty()) {
        qCDebug(lcNl80211, "no nl80211 family (no Wi-Fi driver?): %s", std::strerror(reply.error));
        return std::nullopt;
    }
    auto info = parseFamily(reply.messages.front());
    if (!info)
        return std::nullopt;
    family_ = info->id;
    if (events_ && !joined_) {
        if (auto group = info->group(NL80211_MULTICAST_GROUP_MLME))
            joined_ = events_->joinGroup(*group);
    }
    return family_;
}

Reply Nl80211WiFiSource::dump(uint8_t command, uint32_t ifIndex)
{
    auto id = family();
    if (!id)
        return {ENOENT, {}};
    Request request(*id, command, true);
    if (ifIndex != 0)
        request.putU32(NL80211_ATTR_IFINDEX, ifIndex);
    return ask(request, command);
}

Reply Nl80211WiFiSource::ask(const Request& request, uint8_t command)
{
    Reply reply = client_.transact(request);
    FailureState& state = failures_[command];
    // Not found, gone, or not offered by this driver: answers, not faults.
    if (reply.ok() || reply.error == ENOENT || reply.error == ENODEV || reply.error == EOPNOTSUPP) {
        state.succeeded();
        if (!reply.ok())
            qCDebug(lcNl80211, "command %u: %s", command, std::strerror(reply.error));
    } else {
        const QByteArray what = "command " + QByteArray::number(command) + " failed";
        reportFailure(lcNl80211(), state, what.constData(), reply.error);
    }
    return reply;
}

std::vector<WiFiInterface> Nl80211WiFiSource::readInterfaces()
{
    std::vector<WiFiInterface> out;
    for (const Message& m : dump(NL80211_CMD_GET_INTERFACE, 0).messages)
        if (auto iface = parseInterface(m))
            out.push_back(std::move(*iface));
    const auto connected = [](const WiFiInterface& i) {
        return i.frequencyMHz != 0 || (i.ssid && !i.ssid->empty());
    };
    std::stable_sort(out.begin(), out.end(), [&](const WiFiInterface& a, const WiFiInterface& b) {
        return connected(a) != connected(b) ? connected(a) : a.index < b.index;
    });
    return out;
}

std::optional<WiFiBss> Nl80211WiFiSource::readLink(uint32_t ifIndex)
{
    // Reads the kernel's cached results only; the associated BSS is always among them.
    for (const Message& m : dump(NL80211_CMD_GET_SCAN, ifIndex).messages) {
        auto entry = parseScanEntry(m);
        if (entry && entry->associated && (entry->ifIndex == ifIndex || entry->ifIndex == 0))
            return entry->bss;
    }
    return std::nullopt;
}

std::optional<WiFiStation> Nl80211WiFiSource::readStation(uint32_t ifIndex,
                                                          const std::optional<MacAddress>& bssid)
{
    auto id = family();
    if (!id)
        return std::nullopt;
    if (bssid) {
        Request request(*id, NL80211_CMD_GET_STATION, false);
        request.putU32(NL80211_ATTR_IFINDEX, ifIndex);
        request.putBytes(NL80211_ATTR_MAC, *bssid);
        Reply reply = ask(request, NL80211_CMD_GET_STATION);
        for (const Message& m : reply.messages)
            if (auto entry = parseStation(m))
                return entry->station;
        // A multi-link association keys its station by the AP's MLD address, not the
        // link's BSSID: fall back to the interface's peer list below.
        if (reply.error != ENOENT)
            return std::nullopt;
    }
    // In station mode the access point is the interface's only peer.
    for (const Message& m : dump(NL80211_CMD_GET_STATION, ifIndex).messages)
        if (auto entry = parseStation(m))
            return entry->station;
    return std::nullopt;
}

std::optional<int> Nl80211WiFiSource::readNoise(uint32_t ifIndex, uint32_t frequencyMHz)
{
    std::optional<int> onFrequency;
    for (const Message& m : dump(NL80211_CMD_GET_SURVEY, ifIndex).messages) {
        auto entry = parseSurvey(m);
        if (!entry)
            continue;
        if (entry->inUse)
            return entry->noiseDbm;
        if (frequencyMHz != 0 && entry->frequencyMHz == frequencyMHz && !onFrequency)
            onFrequency = entry->noiseDbm;
    }
    return onFrequency;
}

int Nl80211WiFiSource::eventDescriptor() const
{
    return events_ ? events_->fd() : -1;
}

bool Nl80211WiFiSource::takeNetworkChange()
{
    if (!events_)
        return false;
    bool changed = false;
    for (int i = 0; i < maxEventsPerDrain; ++i) {
        Datagram d = events_->receive(std::chrono::milliseconds(0));
        if (d.error == ENOBUFS) {
            // Events were lost; one of them may have been the change we wait for.
            changed = true;
            continue;
        }
        if (d.error != 0)
            break;
        if (family_ && networkChangeIn(d.bytes, *family_))
            changed = true;
    }
    return changed;
}

} // namespace corvane::nl80211
