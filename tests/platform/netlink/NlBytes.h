#pragma once

// Builds rtnetlink replies byte by byte, including broken ones.

#include <arpa/inet.h>
#include <cstdint>
#include <cstring>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <string>
#include <vector>

namespace corvane::testing {

using Bytes = std::vector<uint8_t>;

inline void append(Bytes& out, const void* data, size_t len, bool pad = true)
{
    const auto* p = static_cast<const uint8_t*>(data);
    out.insert(out.end(), p, p + len);
    if (pad)
        out.resize(NLMSG_ALIGN(out.size()));
}

inline Bytes attr(uint16_t type, const void* data, size_t len)
{
    Bytes out;
    const nlattr a{static_cast<uint16_t>(NLA_HDRLEN + len), type};
    append(out, &a, sizeof(a));
    append(out, data, len);
    return out;
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

// One message: header, fixed part, attributes; nlmsg_len covers exactly what was added.
struct Message {
    nlmsghdr hdr{};
    Bytes body;

    Message(uint16_t type, uint32_t seq, uint32_t pid, uint16_t flags = 0)
    {
        hdr.nlmsg_type = type;
        hdr.nlmsg_seq = seq;
        hdr.nlmsg_pid = pid;
        hdr.nlmsg_flags = flags;
    }
    template <typename T> Message& fixed(const T& part)
    {
        append(body, &part, sizeof(part));
        return *this;
    }
    Message& add(const Bytes& bytes)
    {
        body.insert(body.end(), bytes.begin(), bytes.end());
        return *this;
    }
    Bytes bytes() const
    {
        nlmsghdr h = hdr;
        h.nlmsg_len = static_cast<uint32_t>(NLMSG_HDRLEN + body.size());
        Bytes out;
        append(out, &h, sizeof(h));
        out.insert(out.end(), body.begin(), body.end());
        return out;
    }
};

inline Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline Bytes linkReply(uint32_t seq, uint32_t pid, int index, uint64_t rx, uint64_t tx,
                       size_t statsLen = sizeof(rtnl_link_stats64), const char* name = "fake0",
                       const Bytes& extra = {})
{
    ifinfomsg info{};
    info.ifi_index = index;
    Bytes stats(std::max(statsLen, sizeof(rtnl_link_stats64)), 0xEE);
    rtnl_link_stats64 s{};
    s.rx_bytes = rx;
    s.tx_bytes = tx;
    std::memcpy(stats.data(), &s, sizeof(s));
    Message m(RTM_NEWLINK, seq, pid);
    m.fixed(info);
    if (name)
        m.add(attr(IFLA_IFNAME, name, std::strlen(name) + 1));
    return m.add(extra).add(attr(IFLA_STATS64, stats.data(), statsLen)).bytes();
}

inline Bytes errorReply(uint32_t seq, uint32_t pid, int error)
{
    nlmsgerr e{};
    e.error = error;
    return Message(NLMSG_ERROR, seq, pid).fixed(e).bytes();
}

inline Bytes doneMessage(uint32_t seq, uint32_t pid, uint16_t flags = NLM_F_MULTI)
{
    const int status = 0;
    return Message(NLMSG_DONE, seq, pid, flags).fixed(status).bytes();
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
    return Message(RTM_NEWROUTE, seq, pid, flags).fixed(rtm).add(r.attrs).bytes();
}

// RTA_MULTIPATH with next hops given as (ifindex, gateway text).
inline Bytes multipath(std::initializer_list<std::pair<int, const char*>> hops)
{
    Bytes payload;
    for (const auto& [ifindex, gw] : hops) {
        const Bytes gateway = attrIPv4(RTA_GATEWAY, gw);
        rtnexthop nh{};
        nh.rtnh_len = static_cast<unsigned short>(sizeof(nh) + gateway.size());
        nh.rtnh_ifindex = ifindex;
        append(payload, &nh, sizeof(nh));
        payload.insert(payload.end(), gateway.begin(), gateway.end());
    }
    return attr(RTA_MULTIPATH, payload.data(), payload.size());
}

} // namespace corvane::testing
