#pragma once

#include "measure/NetSource.h"
#include "platform/Diagnostics.h"
#include "platform/netlink/LinkSpeed.h"
#include "platform/netlink/NetlinkSocket.h"

#include <memory>

namespace corvane {

// NetSource over rtnetlink. The primary interface (IPv4 default routes of the main table)
// is dumped once and again only after the kernel announced a link, address or route change
// on a second, listening socket; a reading is one RTM_GETSTATS for two counters. Link speed
// (ethtool or sysfs) is read when the device or the links change. One request socket and
// one receive buffer serve every call; the steady state allocates nothing.
class LinuxNetSource final : public NetSource {
public:
    struct Options {
        std::string sysfsRoot = "/sys/class/net";
        std::chrono::milliseconds receiveTimeout{1000};
    };

    LinuxNetSource();
    explicit LinuxNetSource(Options options);
    // Speaks to whatever is behind `socket` instead of the kernel, and hears its news on
    // `events`; without `events` every primaryInterface() dumps the routes.
    LinuxNetSource(Options options, std::unique_ptr<NetlinkSocket> socket,
                   std::unique_ptr<NetlinkSocket> events = nullptr);

    PrimaryRoute primaryInterface() override;
    uint32_t indexOf(const std::string& name) override;
    std::optional<LinkCounters> readCounters(uint32_t ifIndex) override;
    uint64_t linkEpoch() override { return linkEpoch_; }
    int watchChanges() override;
    void takeChanges() override;

    size_t receiveBufferSize() const { return socket_->bufferSize(); }
    uint64_t routeDumps() const { return routeDumps_; }
    uint64_t overflows() const { return events_ ? events_->overflows() : 0; }

    // How often a request is sent again after the kernel dropped replies (ENOBUFS) or
    // flagged a dump as interrupted.
    static constexpr int maxAttempts = 3;
    // A route dump longer than this many datagrams is given up.
    static constexpr int maxDumpDatagrams = 4096;

private:
    bool listening();
    bool dumpRoutes();
    uint64_t linkSpeed(uint32_t ifIndex);

    std::unique_ptr<NetlinkSocket> socket_;
    std::unique_ptr<NetlinkSocket> events_; // null: no news, the routes are dumped every time
    LinkSpeed speed_;
    PrimaryRoute route_;
    bool routesStale_ = true;
    bool watched_ = false; // the owner's poll loop takes the changes in
    uint64_t linkEpoch_ = 0;
    uint64_t routeDumps_ = 0;
    uint32_t speedIndex_ = 0;
    uint64_t speedEpoch_ = 0;
    uint64_t speedBits_ = 0;
    FailureState countersFailure_;
    FailureState routesFailure_;
    FailureState listenFailure_;
};

} // namespace corvane
