#pragma once

// Builds rtnetlink replies byte by byte, including broken ones.

#include <arpa/inet.h>
#include <cstdint>
#include <cstring>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <vector>

namespace corvane::testing {

using Bytes = std::vector<uint8_t>;

inline Bytes& append(Bytes& out, const void* data, size_t len)
{
    const auto* p = static_cast<const uint8_t*>(data);
    out.insert(out.end(), p, p + len);
    out.resize(NLMSG_ALIGN(out.size()));
    return out;
}

inline Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline Bytes attr(uint16_t type, const void* data, size_t len)
{
    Bytes out;
    const nlattr a{static_cast<uint16_t>(NLA_HDRLEN + len), type};
    append(out, &a, sizeof(a));
    return append(out, data, len);
}
inline Bytes attr(uint16_t type, const Bytes& payload)
{
    return attr(type, payload.data(), payload.size());
}
inline Bytes attrU32(uint16_t type, uint32_t v)
{
    return attr(type, &v, sizeof(v));
}
inline Bytes attrIPv4(uint16_t type, const char* text)
{
    in_addr a{};
    inet_pton(AF_INET, text, &a);
    return attr(type, &a, sizeof(a));
}

// A message: header, fixed part, attributes; nlmsg_len covers exactly the body given.
template <typename Fixed>
Bytes message(uint16_t type, uint32_t seq, uint32_t pid, uint16_t flags, const Fixed& fixed,
              const Bytes& attrs = {})
{
    Bytes body;
    append(body, &fixed, sizeof(fixed));
    body.insert(body.end(), attrs.begin(), attrs.end());
    const nlmsghdr h{static_cast<uint32_t>(NLMSG_HDRLEN + body.size()), type, flags, seq, pid};
    Bytes out;
    return concat({append(out, &h, sizeof(h)), body});
}

inline Bytes linkReply(uint32_t seq, uint32_t pid, int index, uint64_t rx, uint64_t tx,
                       size_t statsLen = sizeof(rtnl_link_stats64), const Bytes& extra = {})
{
    ifinfomsg info{};
    info.ifi_index = index;
    Bytes stats(std::max(statsLen, sizeof(rtnl_link_stats64)), 0xEE);
    rtnl_link_stats64 s{};
    s.rx_bytes = rx;
    s.tx_bytes = tx;
    std::memcpy(stats.data(), &s, sizeof(s));
    return message(
        RTM_NEWLINK, seq, pid, 0, info,
        concat({attr(IFLA_IFNAME, "fake0", 6), extra, attr(IFLA_STATS64, stats.data(), statsLen)}));
}

inline Bytes errorReply(uint32_t seq, uint32_t pid, int error)
{
    return message(NLMSG_ERROR, seq, pid, 0, nlmsgerr{error, {}});
}

inline Bytes doneMessage(uint32_t seq, uint32_t pid, int status = 0)
{
    return message(NLMSG_DONE, seq, pid, NLM_F_MULTI, status);
}

struct Route {
    uint8_t family = AF_INET;
    uint8_t table = RT_TABLE_MAIN;
    uint8_t dstLen = 0;
    uint8_t type = RTN_UNICAST;
    Bytes attrs = {};
};

inline Bytes routeMessage(uint32_t seq, uint32_t pid, const Route& r, uint16_t flags = NLM_F_MULTI)
{
    rtmsg rtm{};
    rtm.rtm_family = r.family;
    rtm.rtm_table = r.table;
    rtm.rtm_dst_len = r.dstLen;
    rtm.rtm_type = r.type;
    return message(RTM_NEWROUTE, seq, pid, flags, rtm, r.attrs);
}

inline Bytes viaGateway(uint32_t oif, const char* gw)
{
    return concat({attrU32(RTA_OIF, oif), attrIPv4(RTA_GATEWAY, gw)});
}

// One next hop of RTA_MULTIPATH.
inline Bytes nextHop(int ifindex, const char* gw)
{
    const Bytes gateway = attrIPv4(RTA_GATEWAY, gw);
    const rtnexthop nh{static_cast<unsigned short>(sizeof(rtnexthop) + gateway.size()), 0, 0,
                       ifindex};
    Bytes out;
    return concat({append(out, &nh, sizeof(nh)), gateway});
}

} // namespace corvane::testing
