#pragma once

#include <chrono>
#include <cstdint>
#include <linux/netlink.h>
#include <optional>
#include <span>
#include <vector>

struct mnl_socket;

namespace corvane {

// A netlink socket (routing by default, generic for nl80211) with one reusable receive
// buffer. Opened on first use and then kept; a receive never waits longer than the timeout.
// Not thread-safe. With `groups` (RTMGRP_* bits) it also receives the kernel's notifications
// of those groups.
class NetlinkSocket {
public:
    static constexpr size_t initialBufferSize = 16384;
    static constexpr size_t bufferSlack = 4096;

    explicit NetlinkSocket(std::chrono::milliseconds timeout = std::chrono::seconds(1),
                           uint32_t groups = 0, int protocol = NETLINK_ROUTE);
    // Talks over an already connected datagram or seqpacket socket instead of the kernel
    // (a socketpair end in tests). Takes ownership of `fd`; replies must carry `portid`.
    NetlinkSocket(int fd, uint32_t portid, std::chrono::milliseconds timeout);
    ~NetlinkSocket();
    NetlinkSocket(const NetlinkSocket&) = delete;
    NetlinkSocket& operator=(const NetlinkSocket&) = delete;

    bool ensureOpen();
    int fd() const { return fd_; }
    uint32_t portid() const { return portid_; }
    size_t bufferSize() const { return buffer_.size(); }

    // Stamps `request` with the next sequence number and sends it; the number, or none.
    std::optional<uint32_t> send(nlmsghdr& request);
    // Sends a message as it is (the caller numbered it).
    bool send(std::span<const uint8_t> message);
    // Joins a multicast group by id (generic netlink ids can exceed 32).
    bool joinGroup(uint32_t group);

    struct Received {
        std::span<const uint8_t> data; // valid until the next receive
        int error = 0;                 // errno; EAGAIN when the timeout passed
    };
    // One datagram, whole: the buffer is enlarged (needed + slack) when it would not fit and
    // EMSGSIZE tells that one was lost. Without `wait`, EAGAIN when none is queued.
    Received receive(bool wait = true);

    // Replies to an abandoned request may still be queued: drop them before the next send.
    void markStale() { stale_ = true; }

    // For a socket that listens to notifications: discards whatever is queued, without
    // waiting. True when anything was, or when some were lost to an overflow (ENOBUFS).
    bool discardQueued();
    uint64_t overflows() const { return overflows_; }

private:
    void drain();
    void close();

    std::chrono::milliseconds timeout_;
    mnl_socket* mnl_ = nullptr; // null for an adopted socket
    int fd_ = -1;
    bool adopted_ = false;
    bool stale_ = false;
    uint32_t portid_ = 0;
    uint32_t groups_ = 0;
    int protocol_ = 0;
    uint32_t seq_ = 0;
    uint64_t overflows_ = 0;
    std::vector<uint8_t> buffer_;
};

} // namespace corvane
