#include "platform/netlink/RtnlParse.h"

#include "platform/netlink/NlWalk.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

namespace corvane::rtnl {

namespace {

using nl::Bytes;
using nl::forEachAttribute;
using nl::load;

// Walks the messages of one datagram that answer `match`. f(header, payload) returns More
// to go on; any other outcome ends the walk. An exhausted datagram gives More.
template <typename F> Outcome walkMessages(Bytes datagram, ReplyMatch match, F&& f)
{
    Outcome outcome = Outcome::More;
    const nl::Walk walk = nl::forEachMessage(datagram, [&](const nlmsghdr& hdr, Bytes payload) {
        if (hdr.nlmsg_seq != match.seq || (match.portid != 0 && hdr.nlmsg_pid != match.portid))
            outcome = Outcome::Mismatch;
        else if (hdr.nlmsg_type == NLMSG_ERROR)
            outcome = nl::errorCode(payload) < 0 ? Outcome::Malformed : Outcome::KernelError;
        else if (hdr.nlmsg_type == NLMSG_OVERRUN)
            outcome = Outcome::Malformed;
        else if (hdr.nlmsg_type != NLMSG_NOOP)
            outcome = f(hdr, payload);
        return outcome == Outcome::More;
    });
    return walk == nl::Walk::Damaged ? Outcome::Malformed : outcome;
}

// The fields of struct rtnl_link_stats64 that are read; the kernel's block may be shorter
// (older kernels) or longer (newer ones) than this header's struct.
constexpr size_t statsBytesNeeded = offsetof(rtnl_link_stats64, tx_bytes) + sizeof(uint64_t);

} // namespace

Outcome parseStatsReply(std::span<const uint8_t> datagram, ReplyMatch match, uint32_t ifIndex,
                        StatsReading& out)
{
    const Outcome outcome = walkMessages(datagram, match, [&](const nlmsghdr& hdr, Bytes payload) {
        if (hdr.nlmsg_type != RTM_NEWSTATS || payload.size() < sizeof(if_stats_msg))
            return Outcome::Malformed;
        if (load<if_stats_msg>(payload).ifindex != ifIndex)
            return Outcome::Malformed;
        StatsReading reading;
        bool haveStats = false;
        const bool wellFormed = forEachAttribute(
            payload.subspan(NLMSG_ALIGN(sizeof(if_stats_msg))), [&](uint16_t type, Bytes value) {
                if (type != IFLA_STATS_LINK_64)
                    return true;
                if (value.size() < statsBytesNeeded)
                    return false;
                reading.rxBytes =
                    load<uint64_t>(value.subspan(offsetof(rtnl_link_stats64, rx_bytes)));
                reading.txBytes =
                    load<uint64_t>(value.subspan(offsetof(rtnl_link_stats64, tx_bytes)));
                haveStats = true;
                return true;
            });
        if (!wellFormed || !haveStats)
            return Outcome::Malformed;
        out = reading;
        return Outcome::Done;
    });
    // A single-link reply is one message; running out of messages means it never came.
    return outcome == Outcome::More ? Outcome::Malformed : outcome;
}

Outcome parseRouteDump(std::span<const uint8_t> datagram, ReplyMatch match, RouteChoice& best)
{
    return walkMessages(datagram, match, [&](const nlmsghdr& hdr, Bytes payload) {
        if (hdr.nlmsg_flags & NLM_F_DUMP_INTR)
            best.interrupted = true;
        if (hdr.nlmsg_type == NLMSG_DONE) {
            // Since Linux 4.x the payload carries the dump's own error code.
            if (nl::errorCode(payload) > 0)
                return Outcome::KernelError;
            return Outcome::Done;
        }
        if (hdr.nlmsg_type != RTM_NEWROUTE)
            return Outcome::More;
        if (payload.size() < sizeof(rtmsg))
            return Outcome::Malformed;
        const auto rtm = load<rtmsg>(payload);
        if (rtm.rtm_family != AF_INET)
            return Outcome::More;

        uint32_t table = rtm.rtm_table;
        uint32_t priority = 0;
        uint32_t oif = 0;
        bool hasGateway = false;
        std::array<uint8_t, 4> gateway{};
        bool multipath = false;
        uint32_t hopOif = 0;
        bool hopHasGateway = false;
        std::array<uint8_t, 4> hopGateway{};

        const auto readGateway = [](Bytes value, bool& has, std::array<uint8_t, 4>& into) {
            has = nl::read(value, into);
            return has;
        };
        const bool wellFormed = forEachAttribute(
            payload.subspan(NLMSG_ALIGN(sizeof(rtmsg))), [&](uint16_t type, Bytes value) {
                switch (type) {
                case RTA_TABLE:
                    return nl::read(value, table);
                case RTA_PRIORITY:
                    return nl::read(value, priority);
                case RTA_OIF:
                    return nl::read(value, oif);
                case RTA_GATEWAY:
                    return readGateway(value, hasGateway, gateway);
                case RTA_MULTIPATH: {
                    // The first next hop: struct rtnexthop, then its own attributes.
                    if (value.size() < sizeof(rtnexthop))
                        return false;
                    const auto hop = load<rtnexthop>(value);
                    if (hop.rtnh_len < sizeof(rtnexthop) || hop.rtnh_len > value.size() ||
                        hop.rtnh_ifindex < 0)
                        return false;
                    multipath = true;
                    hopOif = static_cast<uint32_t>(hop.rtnh_ifindex);
                    hopHasGateway = false;
                    return forEachAttribute(
                        value.subspan(RTNH_LENGTH(0), hop.rtnh_len - RTNH_LENGTH(0)),
                        [&](uint16_t hopType, Bytes hopValue) {
                            return hopType != RTA_GATEWAY ||
                                   readGateway(hopValue, hopHasGateway, hopGateway);
                        });
                }
                default:
                    return true;
                }
            });
        if (!wellFormed)
            return Outcome::Malformed;
        if (table != RT_TABLE_MAIN || rtm.rtm_dst_len != 0 || rtm.rtm_type != RTN_UNICAST)
            return Outcome::More;
        if (multipath) {
            oif = hopOif;
            hasGateway = hopHasGateway;
            gateway = hopGateway;
        }
        if (oif == 0)
            return Outcome::More;
        if (!best.found || priority < best.priority) {
            best.found = true;
            best.priority = priority;
            best.oif = oif;
            best.hasGateway = hasGateway;
            best.gateway = gateway;
        }
        return Outcome::More;
    });
}

} // namespace corvane::rtnl
