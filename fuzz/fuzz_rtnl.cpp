// rtnetlink replies and notifications: the stats reply and the route dump, checked against
// a default-route chooser written independently with libmnl.
#include "platform/netlink/RtnlParse.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <cstring>
#include <libmnl/libmnl.h>
#include <linux/rtnetlink.h>
#include <optional>
#include <vector>

using namespace corvane;

namespace {

constexpr uint32_t seq = 7;
constexpr uint32_t port = 4242;

void check(bool ok)
{
    if (!ok)
        std::abort();
}

struct Candidate {
    uint32_t priority = 0, oif = 0;
    std::optional<uint32_t> gateway;
};

// The first unicast IPv4 default route of the main table with the lowest metric, from a
// datagram the parser found well formed and answering our request.
std::optional<Candidate> oracle(const uint8_t* base, size_t size)
{
    std::optional<Candidate> best;
    int left = static_cast<int>(size);
    for (auto* nlh = reinterpret_cast<const nlmsghdr*>(base); mnl_nlmsg_ok(nlh, left);
         nlh = mnl_nlmsg_next(nlh, &left)) {
        if (nlh->nlmsg_type == NLMSG_DONE)
            break;
        if (nlh->nlmsg_type != RTM_NEWROUTE)
            continue;
        const auto* rtm = static_cast<const rtmsg*>(mnl_nlmsg_get_payload(nlh));
        if (rtm->rtm_family != AF_INET)
            continue;
        uint32_t table = rtm->rtm_table;
        Candidate c;
        bool multipath = false;
        const nlattr* attr = nullptr;
        const auto* tail = static_cast<const char*>(mnl_nlmsg_get_payload_tail(nlh));
        for (attr = static_cast<const nlattr*>(mnl_nlmsg_get_payload_offset(nlh, sizeof(rtmsg)));
             mnl_attr_ok(attr, int(tail - reinterpret_cast<const char*>(attr)));
             attr = mnl_attr_next(attr)) {
            switch (mnl_attr_get_type(attr)) {
            case RTA_TABLE:
                table = mnl_attr_get_u32(attr);
                break;
            case RTA_PRIORITY:
                c.priority = mnl_attr_get_u32(attr);
                break;
            case RTA_OIF:
                if (!multipath)
                    c.oif = mnl_attr_get_u32(attr);
                break;
            case RTA_GATEWAY:
                if (!multipath)
                    c.gateway = mnl_attr_get_u32(attr);
                break;
            case RTA_MULTIPATH: {
                const auto* hop = static_cast<const rtnexthop*>(mnl_attr_get_payload(attr));
                multipath = true;
                c.oif = static_cast<uint32_t>(hop->rtnh_ifindex);
                c.gateway.reset();
                const nlattr* inner = nullptr;
                for (inner = static_cast<const nlattr*>(static_cast<const void*>(RTNH_DATA(hop)));
                     mnl_attr_ok(inner, int(reinterpret_cast<const char*>(RTNH_DATA(hop)) +
                                            (hop->rtnh_len - RTNH_LENGTH(0)) -
                                            reinterpret_cast<const char*>(inner)));
                     inner = mnl_attr_next(inner)) {
                    if (mnl_attr_get_type(inner) == RTA_GATEWAY)
                        c.gateway = mnl_attr_get_u32(inner);
                }
                break;
            }
            }
        }
        if (table != RT_TABLE_MAIN || rtm->rtm_dst_len != 0 || rtm->rtm_type != RTN_UNICAST ||
            c.oif == 0)
            continue;
        if (!best || c.priority < best->priority)
            best = c;
    }
    return best;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 65535)
        return 0;
    std::vector<uint32_t> aligned(size / 4 + 1);
    std::memcpy(aligned.data(), data, size);
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(aligned.data()), size);

    rtnl::StatsReading reading;
    rtnl::parseStatsReply(bytes, {seq, port}, 3, reading);
    // Notifications come with sequence 0 and no port to match.
    rtnl::RouteChoice event;
    rtnl::parseRouteDump(bytes, {0, 0}, event);

    rtnl::RouteChoice best;
    const rtnl::Outcome outcome = rtnl::parseRouteDump(bytes, {seq, port}, best);
    if (outcome != rtnl::Outcome::Done && outcome != rtnl::Outcome::More)
        return 0;
    const auto expected = oracle(bytes.data(), bytes.size());
    check(best.found == expected.has_value());
    if (expected) {
        check(best.oif == expected->oif && best.priority == expected->priority);
        check(best.hasGateway == expected->gateway.has_value());
        if (expected->gateway)
            check(std::memcmp(best.gateway.data(), &*expected->gateway, 4) == 0);
    }
    return 0;
}
