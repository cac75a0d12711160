#include "platform/netlink/RtnlParse.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

namespace corvane::rtnl {

namespace {

template <typename T> T load(std::span<const uint8_t> bytes)
{
    T value{};
    std::memcpy(&value, bytes.data(), sizeof(T));
    return value;
}

// Calls f(type, payload) for each attribute of `run`; f returns false to reject the payload.
// False when an attribute does not fit the run or f rejected one.
template <typename F> bool forEachAttribute(std::span<const uint8_t> run, F&& f)
{
    size_t off = 0;
    while (off < run.size()) {
        if (run.size() - off < sizeof(nlattr))
            return false;
        const auto attr = load<nlattr>(run.subspan(off));
        if (attr.nla_len < NLA_HDRLEN || attr.nla_len > run.size() - off)
            return false;
        if (!f(attr.nla_type & NLA_TYPE_MASK,
               run.subspan(off + NLA_HDRLEN, attr.nla_len - NLA_HDRLEN)))
            return false;
        off += NLA_ALIGN(attr.nla_len);
    }
    return true;
}

bool loadU32(std::span<const uint8_t> payload, uint32_t& out)
{
    if (payload.size() < sizeof(uint32_t))
        return false;
    out = load<uint32_t>(payload);
    return true;
}

// Walks the messages of one datagram. f(header, payload) returns More to go on; any other
// outcome ends the walk. An exhausted datagram gives More.
template <typename F>
Outcome walkMessages(std::span<const uint8_t> datagram, ReplyMatch match, F&& f)
{
    if (datagram.empty())
        return Outcome::Malformed;
    size_t off = 0;
    while (off < datagram.size()) {
        if (datagram.size() - off < sizeof(nlmsghdr))
            return Outcome::Malformed;
        const auto hdr = load<nlmsghdr>(datagram.subspan(off));
        if (hdr.nlmsg_len < sizeof(nlmsghdr) || hdr.nlmsg_len > datagram.size() - off)
            return Outcome::Malformed;
        if (hdr.nlmsg_seq != match.seq || (match.portid != 0 && hdr.nlmsg_pid != match.portid))
            return Outcome::Mismatch;
        const auto payload = datagram.subspan(off + NLMSG_HDRLEN, hdr.nlmsg_len - NLMSG_HDRLEN);
        Outcome outcome = Outcome::More;
        switch (hdr.nlmsg_type) {
        case NLMSG_NOOP:
            break;
        case NLMSG_ERROR:
            outcome = payload.size() < sizeof(int) ? Outcome::Malformed : Outcome::KernelError;
            break;
        case NLMSG_OVERRUN:
            outcome = Outcome::Malformed;
            break;
        default:
            outcome = f(hdr, payload);
        }
        if (outcome != Outcome::More)
            return outcome;
        off += NLMSG_ALIGN(hdr.nlmsg_len);
    }
    return Outcome::More;
}

// The fields of struct rtnl_link_stats64 that are read; the kernel's block may be shorter
// (older kernels) or longer (newer ones) than this header's struct.
constexpr size_t statsBytesNeeded = offsetof(rtnl_link_stats64, tx_bytes) + sizeof(uint64_t);

} // namespace

Outcome parseStatsReply(std::span<const uint8_t> datagram, ReplyMatch match, uint32_t ifIndex,
                        StatsReading& out)
{
    const Outcome outcome = walkMessages(datagram, match, [&](const nlmsghdr& hdr, auto payload) {
        if (hdr.nlmsg_type != RTM_NEWSTATS || payload.size() < sizeof(if_stats_msg))
            return Outcome::Malformed;
        if (load<if_stats_msg>(payload).ifindex != ifIndex)
            return Outcome::Malformed;
        StatsReading reading;
        bool haveStats = false;
        const bool wellFormed = forEachAttribute(
            payload.subspan(NLMSG_ALIGN(sizeof(if_stats_msg))), [&](uint16_t type, auto value) {
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
    return walkMessages(datagram, match, [&](const nlmsghdr& hdr, auto payload) {
        if (hdr.nlmsg_flags & NLM_F_DUMP_INTR)
            best.interrupted = true;
        if (hdr.nlmsg_type == NLMSG_DONE) {
            // Since Linux 4.x the payload carries the dump's own error code.
            if (payload.size() >= sizeof(int) && load<int>(payload) < 0)
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

        const auto readGateway = [](auto value, bool& has, std::array<uint8_t, 4>& into) {
            if (value.size() < into.size())
                return false;
            std::memcpy(into.data(), value.data(), into.size());
            has = true;
            return true;
        };
        const bool wellFormed = forEachAttribute(
            payload.subspan(NLMSG_ALIGN(sizeof(rtmsg))), [&](uint16_t type, auto value) {
                switch (type) {
                case RTA_TABLE:
                    return loadU32(value, table);
                case RTA_PRIORITY:
                    return loadU32(value, priority);
                case RTA_OIF:
                    return loadU32(value, oif);
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
                    return forEachAttribute(
                        value.subspan(RTNH_LENGTH(0), hop.rtnh_len - RTNH_LENGTH(0)),
                        [&](uint16_t hopType, auto hopValue) {
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
