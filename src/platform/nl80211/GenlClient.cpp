#include "platform/nl80211/GenlClient.h"

#include "platform/netlink/NlWalk.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <linux/genetlink.h>
#include <linux/netlink.h>

namespace corvane::nl80211 {

namespace {

constexpr size_t align4(size_t n)
{
    return (n + 3) & ~size_t(3);
}

constexpr size_t headersSize = NLMSG_HDRLEN + GENL_HDRLEN;

nlmsghdr headerAt(const uint8_t* p)
{
    nlmsghdr h;
    std::memcpy(&h, p, sizeof(h));
    return h;
}

} // namespace

uint16_t Message::type() const
{
    return headerAt(bytes.data()).nlmsg_type;
}

uint8_t Message::command() const
{
    return bytes[NLMSG_HDRLEN]; // genlmsghdr.cmd
}

std::span<const uint8_t> Message::attributes() const
{
    return std::span<const uint8_t>(bytes).subspan(headersSize);
}

void walkReply(std::span<const uint8_t> datagram, uint16_t type, uint32_t seq, uint32_t portId,
               ReplyState& state)
{
    const nl::Walk walk = nl::forEachMessage(datagram, [&](const nlmsghdr& h, nl::Bytes payload) {
        // Stale replies to an earlier request are skipped.
        if (h.nlmsg_seq != seq || (h.nlmsg_pid != portId && h.nlmsg_pid != 0))
            return true;
        if (h.nlmsg_flags & NLM_F_DUMP_INTR)
            state.interrupted = true;
        switch (h.nlmsg_type) {
        case NLMSG_NOOP:
            return true;
        case NLMSG_ERROR:
        case NLMSG_DONE: {
            const int code = nl::errorCode(payload);
            if (code < 0 && h.nlmsg_type == NLMSG_ERROR) {
                state.malformed = true;
                return false;
            }
            state.error = std::max(code, 0);
            state.done = true;
            return false;
        }
        case NLMSG_OVERRUN:
            state.error = EIO;
            state.done = true;
            return false;
        default:
            if (h.nlmsg_type != type)
                return true;
            if (payload.size() < GENL_HDRLEN) {
                state.malformed = true;
                return false;
            }
            const auto* begin = payload.data() - NLMSG_HDRLEN;
            state.messages.push_back(Message{{begin, payload.data() + payload.size()}});
            return true;
        }
    });
    if (walk == nl::Walk::Damaged && !state.done)
        state.malformed = true;
}

Request::Request(uint16_t family, uint8_t command, bool dump)
    : family_(family), command_(command), dump_(dump)
{}

Request& Request::putBytes(uint16_t type, std::span<const uint8_t> value)
{
    nlattr a{static_cast<uint16_t>(NLA_HDRLEN + value.size()), type};
    const size_t at = attributes_.size();
    attributes_.resize(at + align4(a.nla_len));
    std::memcpy(attributes_.data() + at, &a, sizeof(a));
    if (!value.empty())
        std::memcpy(attributes_.data() + at + NLA_HDRLEN, value.data(), value.size());
    return *this;
}

Request& Request::putU32(uint16_t type, uint32_t value)
{
    uint8_t raw[sizeof(value)];
    std::memcpy(raw, &value, sizeof(value));
    return putBytes(type, raw);
}

Request& Request::putString(uint16_t type, std::string_view value)
{
    std::vector<uint8_t> raw(value.begin(), value.end());
    raw.push_back(0);
    return putBytes(type, raw);
}

std::vector<uint8_t> Request::encode(uint32_t seq, uint32_t portId) const
{
    std::vector<uint8_t> out(headersSize + attributes_.size());
    nlmsghdr h{};
    h.nlmsg_len = static_cast<uint32_t>(out.size());
    h.nlmsg_type = family_;
    // Plain requests ask for an ACK so that every exchange ends on a message of its own.
    h.nlmsg_flags = NLM_F_REQUEST | (dump_ ? NLM_F_DUMP : NLM_F_ACK);
    h.nlmsg_seq = seq;
    h.nlmsg_pid = portId;
    genlmsghdr g{command_, 1, 0};
    std::memcpy(out.data(), &h, sizeof(h));
    std::memcpy(out.data() + NLMSG_HDRLEN, &g, sizeof(g));
    if (!attributes_.empty())
        std::memcpy(out.data() + headersSize, attributes_.data(), attributes_.size());
    return out;
}

GenlClient::GenlClient(std::unique_ptr<NetlinkChannel> channel, std::chrono::milliseconds wait)
    : channel_(std::move(channel)), wait_(wait), seq_(static_cast<uint32_t>(time(nullptr)))
{}

Reply GenlClient::transact(const Request& request)
{
    if (!channel_)
        return {ENOTCONN, {}};
    int lastError = EINTR;
    for (int attempt = 0; attempt < maxAttempts; ++attempt) {
        const uint32_t seq = ++seq_;
        if (!channel_->send(request.encode(seq, channel_->portId())))
            return {EIO, {}};

        ReplyState state;
        bool lost = false;
        while (!state.done) {
            Datagram d = channel_->receive(wait_);
            if (d.error == ENOBUFS) {
                // The socket overflowed mid-reply: what we have is incomplete.
                lost = true;
                break;
            }
            if (d.error != 0)
                return {d.error == EAGAIN ? ETIMEDOUT : d.error, {}};
            walkReply(d.bytes, request.family(), seq, channel_->portId(), state);
            if (state.malformed)
                return {EBADMSG, {}};
        }
        if (lost || state.interrupted) {
            lastError = lost ? ENOBUFS : EINTR;
            continue;
        }
        if (state.error != 0)
            return {state.error, {}};
        return {0, std::move(state.messages)};
    }
    return {lastError, {}};
}

} // namespace corvane::nl80211
