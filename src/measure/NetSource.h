#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace corvane {

// The system's primary IPv4 interface and its router, each none when unknown. The index
// tells a device re-created under the same name (VPN reconnect, re-plug) from the old one.
struct PrimaryRoute {
    std::optional<std::string> name;
    std::optional<std::string> router;
    uint32_t index = 0; // 0 when there is no primary interface

    friend bool operator==(const PrimaryRoute&, const PrimaryRoute&) = default;
};

// Cumulative 64-bit byte counters of one interface and its negotiated link speed
// (0 when unknown or not a real negotiated speed).
struct LinkCounters {
    uint64_t rxBytes = 0;
    uint64_t txBytes = 0;
    uint64_t linkBitsPerSecond = 0;

    friend bool operator==(const LinkCounters&, const LinkCounters&) = default;
};

// What the sampler asks of the operating system. Implementations never throw: a failed
// query is none, 0 or an empty value. Called from one thread at a time.
class NetSource {
public:
    virtual ~NetSource() = default;
    virtual PrimaryRoute primaryInterface() = 0;
    // Name to interface index; 0 when the system does not know the name.
    virtual uint32_t indexOf(const std::string& name) = 0;
    virtual std::optional<LinkCounters> readCounters(uint32_t ifIndex) = 0;
    // Moves on whenever the kernel reported that links appeared, vanished or changed (or
    // that such news were lost): a name's index is worth looking up again only then.
    virtual uint64_t linkEpoch() = 0;

    // Kernel change notifications for the owner's poll loop: a descriptor that turns
    // readable when something changed (-1: none to watch). Once it is handed out, the owner
    // calls takeChanges() whenever it is readable, and readings stop checking on their own.
    virtual int watchChanges() { return -1; }
    virtual void takeChanges() {}
};

// A clock that keeps counting while the machine sleeps.
class SampleClock {
public:
    virtual ~SampleClock() = default;
    virtual std::chrono::nanoseconds now() = 0;
};

} // namespace corvane
