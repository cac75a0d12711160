#pragma once

#include "platform/Diagnostics.h"
#include "platform/nl80211/GenlClient.h"
#include "services/WiFiSource.h"

#include <map>
#include <memory>
#include <optional>

namespace corvane::nl80211 {

// Reads Wi-Fi state from nl80211 without privilege: interface list, scan results already
// held by the kernel, station and survey entries. Never triggers a scan.
class Nl80211WiFiSource final : public WiFiSource {
public:
    // Over real generic netlink sockets. Without nl80211 (no Wi-Fi driver loaded) every
    // query yields nothing; the family is looked up again on each query until it appears.
    static std::unique_ptr<Nl80211WiFiSource> open();

    // requests answers queries; events (may be null) is joined to the "mlme" group.
    Nl80211WiFiSource(std::unique_ptr<NetlinkChannel> requests,
                      std::unique_ptr<NetlinkChannel> events);

    // Connected interfaces (on a channel or naming a network) first, each group by index:
    // whoever takes the first station of a machine with two gets the one in use.
    std::vector<WiFiInterface> readInterfaces() override;
    std::optional<WiFiBss> readLink(uint32_t ifIndex) override;
    std::optional<WiFiStation> readStation(uint32_t ifIndex,
                                           const std::optional<MacAddress>& bssid) override;
    std::optional<int> readNoise(uint32_t ifIndex, uint32_t frequencyMHz) override;

    int eventDescriptor() const override;
    bool takeNetworkChange() override;

    // Upper bound of datagrams drained per takeNetworkChange(), so a flood cannot starve
    // the event loop; the descriptor stays readable and the rest comes next time.
    static constexpr int maxEventsPerDrain = 64;

private:
    std::optional<uint16_t> family();
    Reply dump(uint8_t command, uint32_t ifIndex);
    Reply ask(const Request& request, uint8_t command);

    GenlClient client_;
    std::unique_ptr<NetlinkChannel> events_;
    std::optional<uint16_t> family_;
    bool joined_ = false;
    std::map<uint8_t, FailureState> failures_; // per command: some fail where others work
};

} // namespace corvane::nl80211
