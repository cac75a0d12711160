#pragma once

#include "platform/netlink/NetlinkSocket.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace corvane::nl80211 {

// One datagram from the kernel, or why there is none: EAGAIN (nothing within the wait),
// ENOBUFS (the socket overflowed and messages were lost), any other errno on failure.
struct Datagram {
    int error = 0;
    std::vector<uint8_t> bytes;
};

// A netlink endpoint. Tests replace it with a scripted one.
class NetlinkChannel {
public:
    virtual ~NetlinkChannel() = default;
    virtual uint32_t portId() const = 0;
    virtual bool send(std::span<const uint8_t> message) = 0;
    virtual Datagram receive(std::chrono::milliseconds wait) = 0;
    // For event channels: the descriptor to watch (-1 if none) and group membership.
    virtual int fd() const { return -1; }
    virtual bool joinGroup(uint32_t) { return false; }
};

// A generic netlink socket: the same socket and receive as rtnetlink's.
class SocketChannel final : public NetlinkChannel {
public:
    // Null when the socket cannot be opened or bound.
    static std::unique_ptr<SocketChannel> open();

    int fd() const override;
    bool joinGroup(uint32_t group) override;
    uint32_t portId() const override;
    bool send(std::span<const uint8_t> message) override;
    Datagram receive(std::chrono::milliseconds wait) override;

private:
    SocketChannel() = default;
    NetlinkSocket socket_{std::chrono::milliseconds(0), 0, NETLINK_GENERIC};
};

} // namespace corvane::nl80211
