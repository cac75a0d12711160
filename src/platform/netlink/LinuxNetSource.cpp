#include "platform/netlink/LinuxNetSource.h"

#include "platform/Diagnostics.h"
#include "platform/netlink/RtnlParse.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <libmnl/libmnl.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/ioctl.h>

namespace corvane {

namespace {

// if_indextoname() opens and closes a socket on every call; ours is already open.
bool interfaceName(int fd, uint32_t index, char (&name)[IF_NAMESIZE])
{
    ifreq ifr{};
    ifr.ifr_ifindex = static_cast<int>(index);
    if (index > static_cast<uint32_t>(INT32_MAX) || ioctl(fd, SIOCGIFNAME, &ifr) != 0)
        return false;
    std::memcpy(name, ifr.ifr_name, IF_NAMESIZE);
    name[IF_NAMESIZE - 1] = '\0';
    return name[0] != '\0';
}

} // namespace

LinuxNetSource::LinuxNetSource() : LinuxNetSource(Options{}) {}

LinuxNetSource::LinuxNetSource(Options options)
    : LinuxNetSource(
          options, std::make_unique<NetlinkSocket>(options.receiveTimeout),
          std::make_unique<NetlinkSocket>(options.receiveTimeout,
                                          RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE))
{}

LinuxNetSource::LinuxNetSource(Options options, std::unique_ptr<NetlinkSocket> socket,
                               std::unique_ptr<NetlinkSocket> events)
    : socket_(std::move(socket)), events_(std::move(events)), speed_(std::move(options.sysfsRoot))
{}

bool LinuxNetSource::listening()
{
    if (!events_)
        return false;
    if (!events_->ensureOpen()) {
        reportFailure(lcNetlink(), listenFailure_,
                      "no link change notifications: the routes are read on every tick", errno);
        return false;
    }
    listenFailure_.succeeded();
    return true;
}

int LinuxNetSource::watchChanges()
{
    if (!listening())
        return -1;
    watched_ = true;
    return events_->fd();
}

void LinuxNetSource::takeChanges()
{
    // What changed is not worked out message by message: IPv4 drops the routes of a device
    // that goes down or loses its address without a word, so any link, address or route
    // news (or news lost to an overflow) sends us back to the routing table once.
    if (events_ && events_->discardQueued()) {
        routesStale_ = true;
        ++linkEpoch_;
    }
}

uint32_t LinuxNetSource::indexOf(const std::string& name)
{
    // SIOCGIFINDEX on our open socket: if_nametoindex() opens and closes one per call.
    ifreq ifr{};
    if (name.empty() || name.size() >= IF_NAMESIZE || !socket_->ensureOpen())
        return 0;
    std::memcpy(ifr.ifr_name, name.c_str(), name.size() + 1);
    if (ioctl(socket_->fd(), SIOCGIFINDEX, &ifr) != 0 || ifr.ifr_ifindex <= 0)
        return 0;
    return static_cast<uint32_t>(ifr.ifr_ifindex);
}

uint64_t LinuxNetSource::linkSpeed(uint32_t ifIndex)
{
    if (ifIndex != speedIndex_ || linkEpoch_ != speedEpoch_) {
        char name[IF_NAMESIZE] = {};
        speedBits_ = interfaceName(socket_->fd(), ifIndex, name)
                         ? speed_.bitsPerSecond(socket_->fd(), ifIndex, name)
                         : 0;
        speedIndex_ = ifIndex;
        speedEpoch_ = linkEpoch_;
    }
    return speedBits_;
}

std::optional<LinkCounters> LinuxNetSource::readCounters(uint32_t ifIndex)
{
    if (ifIndex == 0 || ifIndex > static_cast<uint32_t>(INT32_MAX))
        return std::nullopt;
    int error = 0;
    for (int attempt = 0; attempt < maxAttempts; ++attempt) {
        alignas(nlmsghdr) uint8_t request[NLMSG_SPACE(sizeof(if_stats_msg))] = {};
        nlmsghdr* nlh = mnl_nlmsg_put_header(request);
        nlh->nlmsg_type = RTM_GETSTATS;
        nlh->nlmsg_flags = NLM_F_REQUEST; // this one link, not a dump
        auto* stats =
            static_cast<if_stats_msg*>(mnl_nlmsg_put_extra_header(nlh, sizeof(if_stats_msg)));
        stats->family = AF_UNSPEC;
        stats->ifindex = ifIndex;
        stats->filter_mask = IFLA_STATS_FILTER_BIT(IFLA_STATS_LINK_64);

        const std::optional<uint32_t> seq = socket_->send(*nlh);
        if (!seq) {
            error = errno;
            break;
        }
        const NetlinkSocket::Received reply = socket_->receive();
        error = reply.error;
        // Dropped by the kernel, or too large for the buffer (which has grown): ask again.
        if (reply.error == ENOBUFS || reply.error == EMSGSIZE) {
            socket_->markStale();
            continue;
        }
        rtnl::StatsReading reading;
        const rtnl::Outcome outcome =
            reply.error != 0
                ? rtnl::Outcome::Malformed
                : rtnl::parseStatsReply(reply.data, {*seq, socket_->portid()}, ifIndex, reading);
        if (outcome == rtnl::Outcome::Done) {
            countersFailure_.succeeded();
            return LinkCounters{reading.rxBytes, reading.txBytes, linkSpeed(ifIndex)};
        }
        // A refusal (the interface is gone) is a complete exchange; anything else may leave
        // parts of a reply queued.
        if (outcome != rtnl::Outcome::KernelError)
            socket_->markStale();
        break;
    }
    reportFailure(lcNetlink(), countersFailure_, "link counters unreadable", error);
    // The device may be gone with its routes: whoever asks next gets a fresh table.
    routesStale_ = true;
    return std::nullopt;
}

PrimaryRoute LinuxNetSource::primaryInterface()
{
    if (!watched_)
        takeChanges();
    if (routesStale_ || !listening()) {
        // Listening began before this dump, so no change after it goes unheard.
        routesStale_ = !listening();
        if (dumpRoutes()) {
            routesFailure_.succeeded();
        } else {
            reportFailure(lcNetlink(), routesFailure_, "routing table unreadable");
            route_ = {};
            routesStale_ = true;
        }
    }
    return route_;
}

bool LinuxNetSource::dumpRoutes()
{
    for (int attempt = 0; attempt < maxAttempts; ++attempt) {
        alignas(nlmsghdr) uint8_t request[NLMSG_SPACE(sizeof(rtmsg))] = {};
        nlmsghdr* nlh = mnl_nlmsg_put_header(request);
        nlh->nlmsg_type = RTM_GETROUTE;
        nlh->nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
        auto* rtm = static_cast<rtmsg*>(mnl_nlmsg_put_extra_header(nlh, sizeof(rtmsg)));
        rtm->rtm_family = AF_INET;
        rtm->rtm_table = RT_TABLE_MAIN; // honoured with strict checking, filtered here anyway

        const std::optional<uint32_t> seq = socket_->send(*nlh);
        if (!seq)
            return false;
        ++routeDumps_;
        rtnl::RouteChoice best;
        rtnl::Outcome outcome = rtnl::Outcome::More;
        bool dropped = false;
        for (int n = 0; outcome == rtnl::Outcome::More && n < maxDumpDatagrams; ++n) {
            const NetlinkSocket::Received reply = socket_->receive();
            if (reply.error != 0) {
                dropped = reply.error == ENOBUFS || reply.error == EMSGSIZE;
                outcome = rtnl::Outcome::Malformed;
                break;
            }
            outcome = rtnl::parseRouteDump(reply.data, {*seq, socket_->portid()}, best);
        }
        if (outcome != rtnl::Outcome::Done) {
            socket_->markStale();
            if (dropped)
                continue;
            return false;
        }
        if (best.interrupted)
            continue; // the routes changed while the kernel was listing them
        route_ = {};
        if (!best.found)
            return true;

        char name[IF_NAMESIZE] = {};
        if (!interfaceName(socket_->fd(), best.oif, name))
            return false; // gone since the dump
        route_.name.emplace(name);
        route_.index = best.oif;
        if (best.hasGateway) {
            char text[INET_ADDRSTRLEN] = {};
            if (inet_ntop(AF_INET, best.gateway.data(), text, sizeof(text)))
                route_.router.emplace(text);
        }
        return true;
    }
    return false;
}

} // namespace corvane
