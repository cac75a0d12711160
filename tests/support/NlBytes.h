#pragma once

// Netlink messages written out by hand (host byte order, as netlink uses), independent of the
// code under test; lengths can be made to lie.

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
constexpr uint32_t testPort = 4242;

template <typename T> Bytes bytesOf(const T& v)
{
    Bytes b(sizeof v);
    std::memcpy(b.data(), &v, sizeof v);
    return b;
}
inline Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Attrs {
    Bytes bytes;
    // claimed 0: the true length.
    Attrs& raw(uint16_t type, const Bytes& p, uint16_t claimed = 0)
    {
        bytes = bytes + bytesOf<uint16_t>(claimed ? claimed : uint16_t(4 + p.size())) +
                bytesOf(type) + p;
        bytes.resize(NLMSG_ALIGN(bytes.size()));
        return *this;
    }
    template <typename T> Attrs& num(uint16_t type, T v) { return raw(type, bytesOf(v)); }
    Attrs& str(uint16_t type, const std::string& s)
    {
        return raw(type, Bytes(s.c_str(), s.c_str() + s.size() + 1));
    }
    Attrs& ipv4(uint16_t type, const char* text) { return num(type, inet_addr(text)); }
    Attrs& nest(uint16_t type, const Attrs& in) { return raw(type | NLA_F_NESTED, in.bytes); }
};

inline Bytes nlmsg(uint16_t type, uint16_t flags, uint32_t seq, const Bytes& payload,
                   uint32_t pid = testPort)
{
    return bytesOf(nlmsghdr{uint32_t(NLMSG_HDRLEN + payload.size()), type, flags, seq, pid}) +
           payload;
}
inline Bytes genl(uint16_t type, uint8_t cmd, const Attrs& a, uint32_t seq = 0, uint16_t flags = 0,
                  uint32_t pid = testPort)
{
    return nlmsg(type, flags, seq, Bytes{cmd, 1, 0, 0} + a.bytes, pid);
}
inline Bytes done(uint32_t seq, int code = 0, uint16_t flags = NLM_F_MULTI, uint32_t pid = testPort)
{
    return nlmsg(NLMSG_DONE, flags, seq, bytesOf(code), pid);
}
inline Bytes error(uint32_t seq, int code, uint32_t pid = testPort)
{
    return nlmsg(NLMSG_ERROR, 0, seq, bytesOf(nlmsgerr{code, {}}), pid);
}

// rtnetlink: one link's RTM_GETSTATS reply, with its 64-bit block cut or extended to statsLen.
inline Bytes statsReply(uint32_t seq, uint32_t index, uint64_t rx, uint64_t tx,
                        size_t statsLen = sizeof(rtnl_link_stats64), const Attrs& extra = {},
                        uint32_t pid = testPort)
{
    const if_stats_msg head{0, 0, 0, index, IFLA_STATS_FILTER_BIT(IFLA_STATS_LINK_64)};
    rtnl_link_stats64 s{};
    s.rx_bytes = rx;
    s.tx_bytes = tx;
    Bytes stats = bytesOf(s);
    stats.resize(statsLen, 0xEE);
    return nlmsg(RTM_NEWSTATS, 0, seq,
                 bytesOf(head) + Attrs(extra).raw(IFLA_STATS_LINK_64, stats).bytes, pid);
}

struct Route {
    uint8_t family = AF_INET;
    uint8_t table = RT_TABLE_MAIN;
    uint8_t dstLen = 0;
    uint8_t type = RTN_UNICAST;
    Attrs attrs = {};
};
inline Bytes route(uint32_t seq, const Route& r, uint16_t flags = NLM_F_MULTI)
{
    const rtmsg rtm{r.family, r.dstLen, 0, 0, r.table, 0, 0, r.type, 0};
    Bytes m = nlmsg(RTM_NEWROUTE, flags, seq, bytesOf(rtm) + r.attrs.bytes);
    m.resize(NLMSG_ALIGN(m.size())); // the next message starts aligned
    return m;
}
inline Attrs viaGateway(uint32_t oif, const char* gw)
{
    return Attrs().num(RTA_OIF, oif).ipv4(RTA_GATEWAY, gw);
}
// One next hop of RTA_MULTIPATH.
inline Bytes nextHop(int ifindex, const char* gw)
{
    const Bytes gateway = Attrs().ipv4(RTA_GATEWAY, gw).bytes;
    return bytesOf(rtnexthop{uint16_t(sizeof(rtnexthop) + gateway.size()), 0, 0, ifindex}) +
           gateway;
}

} // namespace corvane::testing
