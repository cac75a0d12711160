#include "platform/netlink/LinuxNetSource.h"

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
    : LinuxNetSource(options, std::make_unique<RtnlSocket>(options.receiveTimeout))
{}

LinuxNetSource::LinuxNetSource(Options options, std::unique_ptr<RtnlSocket> socket)
    : socket_(std::move(socket)), speed_(std::move(options.sysfsRoot))
{}

uint32_t LinuxNetSource::indexOf(const std::string& name)
{
    return name.empty() ? 0 : if_nametoindex(name.c_str());
}

std::optional<LinkCounters> LinuxNetSource::readCounters(uint32_t ifIndex)
{
    if (ifIndex == 0 || ifIndex > static_cast<uint32_t>(INT32_MAX))
        return std::nullopt;
    for (int attempt = 0; attempt < maxAttempts; ++attempt) {
        alignas(nlmsghdr) uint8_t request[NLMSG_SPACE(sizeof(ifinfomsg))] = {};
        nlmsghdr* nlh = mnl_nlmsg_put_header(request);
        nlh->nlmsg_type = RTM_GETLINK;
        nlh->nlmsg_flags = NLM_F_REQUEST; // this one link, not a dump
        auto* info = static_cast<ifinfomsg*>(mnl_nlmsg_put_extra_header(nlh, sizeof(ifinfomsg)));
        info->ifi_family = AF_UNSPEC;
        info->ifi_index = static_cast<int>(ifIndex);

        const std::optional<uint32_t> seq = socket_->send(*nlh);
        if (!seq)
            return std::nullopt;
        const RtnlSocket::Received reply = socket_->receive();
        // Dropped by the kernel, or too large for the buffer (which has grown): ask again.
        if (reply.error == ENOBUFS || reply.error == EMSGSIZE) {
            socket_->markStale();
            continue;
        }
        rtnl::LinkReading reading;
        const rtnl::Outcome outcome =
            reply.error != 0
                ? rtnl::Outcome::Malformed
                : rtnl::parseLinkReply(reply.data, {*seq, socket_->portid()}, ifIndex, reading);
        if (outcome == rtnl::Outcome::Done) {
            return LinkCounters{reading.rxBytes, reading.txBytes,
                                speed_.bitsPerSecond(socket_->fd(), ifIndex, reading.name.data())};
        }
        // A refusal (the interface is gone) is a complete exchange; anything else may leave
        // parts of a reply queued.
        if (outcome != rtnl::Outcome::KernelError)
            socket_->markStale();
        return std::nullopt;
    }
    return std::nullopt;
}

PrimaryRoute LinuxNetSource::primaryInterface()
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
            return {};
        rtnl::RouteChoice best;
        rtnl::Outcome outcome = rtnl::Outcome::More;
        bool dropped = false;
        for (int n = 0; outcome == rtnl::Outcome::More && n < maxDumpDatagrams; ++n) {
            const RtnlSocket::Received reply = socket_->receive();
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
            return {};
        }
        if (best.interrupted)
            continue; // the routes changed while the kernel was listing them
        if (!best.found)
            return {};

        char name[IF_NAMESIZE] = {};
        if (!interfaceName(socket_->fd(), best.oif, name))
            return {}; // gone since the dump
        PrimaryRoute route;
        route.name.emplace(name);
        if (best.hasGateway) {
            char text[INET_ADDRSTRLEN] = {};
            if (inet_ntop(AF_INET, best.gateway.data(), text, sizeof(text)))
                route.router.emplace(text);
        }
        return route;
    }
    return {};
}

} // namespace corvane
