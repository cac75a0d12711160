#pragma once

#include "platform/nl80211/NetlinkChannel.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace corvane::nl80211 {

// One generic netlink message copied out of its datagram; at least the netlink and
// generic netlink headers long.
struct Message {
    std::vector<uint8_t> bytes;

    uint16_t type() const;
    uint8_t command() const;
    std::span<const uint8_t> attributes() const;
};

// What the datagrams answering one request have shown so far.
struct ReplyState {
    std::vector<Message> messages;
    bool done = false;
    bool interrupted = false; // NLM_F_DUMP_INTR: the dump is inconsistent
    bool malformed = false;
    int error = 0; // errno from NLMSG_ERROR or a failed NLMSG_DONE
};

// Files the messages of one datagram that answer (seq, portId) with the given message
// type; others (stale replies to an earlier request) are skipped.
void walkReply(std::span<const uint8_t> datagram, uint16_t type, uint32_t seq, uint32_t portId,
               ReplyState& state);

// A generic netlink request.
class Request {
public:
    Request(uint16_t family, uint8_t command, bool dump);
    Request& putU32(uint16_t type, uint32_t value);
    Request& putString(uint16_t type, std::string_view value);
    Request& putBytes(uint16_t type, std::span<const uint8_t> value);

    uint16_t family() const { return family_; }
    std::vector<uint8_t> encode(uint32_t seq, uint32_t portId) const;

private:
    uint16_t family_;
    uint8_t command_;
    bool dump_;
    std::vector<uint8_t> attributes_;
};

struct Reply {
    int error = 0;
    std::vector<Message> messages;
    bool ok() const { return error == 0; }
};

// Request/reply over one channel: checks every reply, restarts an interrupted dump or one
// that lost messages, at most maxAttempts times.
class GenlClient {
public:
    static constexpr int maxAttempts = 3;

    explicit GenlClient(std::unique_ptr<NetlinkChannel> channel,
                        std::chrono::milliseconds wait = std::chrono::milliseconds(1000));

    Reply transact(const Request& request);

private:
    std::unique_ptr<NetlinkChannel> channel_;
    std::chrono::milliseconds wait_;
    uint32_t seq_;
};

} // namespace corvane::nl80211
