#pragma once

#include "measure/NetSource.h"
#include "platform/netlink/LinkSpeed.h"
#include "platform/netlink/RtnlSocket.h"

#include <memory>

namespace corvane {

// NetSource over rtnetlink: the primary interface from the IPv4 default routes of the main
// table, counters from one RTM_GETLINK per reading, link speed from ethtool or sysfs.
// One socket and one receive buffer serve every call; the steady state allocates nothing.
class LinuxNetSource final : public NetSource {
public:
    struct Options {
        std::string sysfsRoot = "/sys/class/net";
        std::chrono::milliseconds receiveTimeout{1000};
    };

    LinuxNetSource();
    explicit LinuxNetSource(Options options);
    // Speaks to whatever is behind `socket` instead of the kernel.
    LinuxNetSource(Options options, std::unique_ptr<RtnlSocket> socket);

    PrimaryRoute primaryInterface() override;
    uint32_t indexOf(const std::string& name) override;
    std::optional<LinkCounters> readCounters(uint32_t ifIndex) override;

    size_t receiveBufferSize() const { return socket_->bufferSize(); }

    // How often a request is sent again after the kernel dropped replies (ENOBUFS) or
    // flagged a dump as interrupted.
    static constexpr int maxAttempts = 3;
    // A route dump longer than this many datagrams is given up.
    static constexpr int maxDumpDatagrams = 4096;

private:
    std::unique_ptr<RtnlSocket> socket_;
    LinkSpeed speed_;
};

} // namespace corvane
