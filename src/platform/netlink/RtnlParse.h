#pragma once

#include <array>
#include <cstdint>
#include <span>

// Parsers for the two rtnetlink replies the counter source needs. They work on the bytes of
// one received datagram so that tests can feed replies they build. Every length is checked
// before it is used, and fields are copied out with memcpy, so any alignment is fine.
namespace corvane::rtnl {

// Which messages answer our request. A port id of 0 is not checked (a socket that is not
// bound to the kernel has none).
struct ReplyMatch {
    uint32_t seq = 0;
    uint32_t portid = 0;
};

enum class Outcome {
    Done,        // the reply is complete
    More,        // a dump continues in the next datagram
    KernelError, // NLMSG_ERROR (or a failed NLMSG_DONE): the request was refused
    Mismatch,    // a message that answers another request (sequence number or port id)
    Malformed,   // lengths that do not add up, fields too short, the wanted data missing
};

struct StatsReading {
    uint64_t rxBytes = 0;
    uint64_t txBytes = 0;
};

// One RTM_GETSTATS reply (not a dump) for interface `ifIndex`, asked for
// IFLA_STATS_LINK_64 only: Done with `out` filled, KernelError, Mismatch or Malformed.
Outcome parseStatsReply(std::span<const uint8_t> datagram, ReplyMatch match, uint32_t ifIndex,
                        StatsReading& out);

// The best IPv4 default route seen so far in a route dump.
struct RouteChoice {
    bool found = false;
    bool interrupted = false; // the kernel flagged the dump as inconsistent: ask again
    uint32_t priority = 0;
    uint32_t oif = 0;
    bool hasGateway = false;
    std::array<uint8_t, 4> gateway{}; // network byte order
};

// One datagram of an RTM_GETROUTE dump. Keeps in `best` the unicast IPv4 default route of
// the main table with the lowest priority; returns More until NLMSG_DONE arrives.
Outcome parseRouteDump(std::span<const uint8_t> datagram, ReplyMatch match, RouteChoice& best);

} // namespace corvane::rtnl
