#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <linux/netlink.h>
#include <span>
#include <string_view>

// The one bounds-checked walker over netlink datagrams and attributes, for rtnetlink and
// generic netlink alike. Headers and values are copied out, never cast in place, so any
// alignment is fine; nothing allocates, so the sampler's hot path may use it.
namespace corvane::nl {

using Bytes = std::span<const uint8_t>;

// The caller has checked that `bytes` holds a T.
template <typename T> T load(Bytes bytes)
{
    T value{};
    std::memcpy(&value, bytes.data(), sizeof(T));
    return value;
}

// Calls f(type, payload) for each attribute of `area`, the type without its flag bits.
// False when an attribute is shorter than its own header or runs past the area, when the
// area ends in bytes that cannot hold a header, or when f returns false.
template <typename F> bool forEachAttribute(Bytes area, F&& f)
{
    size_t off = 0;
    while (off < area.size()) {
        const size_t left = area.size() - off;
        if (left < NLA_HDRLEN)
            return false;
        const auto attr = load<nlattr>(area.subspan(off));
        if (attr.nla_len < NLA_HDRLEN || attr.nla_len > left)
            return false;
        if (!f(static_cast<uint16_t>(attr.nla_type & NLA_TYPE_MASK),
               area.subspan(off + NLA_HDRLEN, attr.nla_len - NLA_HDRLEN)))
            return false;
        off += NLA_ALIGN(attr.nla_len); // the last attribute's padding may be left off
    }
    return true;
}

// A fixed-size value, exactly as long as the kernel sends it.
template <typename T> bool read(Bytes payload, T& out)
{
    if (payload.size() != sizeof(T))
        return false;
    out = load<T>(payload);
    return true;
}

// A NUL-terminated string: false when empty or unterminated; the text ends at the first NUL.
inline bool readString(Bytes payload, std::string_view& out)
{
    if (payload.empty() || payload.back() != 0)
        return false;
    const char* text = reinterpret_cast<const char*>(payload.data());
    out = std::string_view(text, std::strlen(text));
    return true;
}

enum class Walk {
    Exhausted, // every message was visited
    Stopped,   // f asked to stop
    Damaged,   // a header cut short, a length shorter than a header or past the datagram
};

// Calls f(header, payload) for each message of one datagram; f returns false to stop.
// An empty datagram, or one that ends in bytes that cannot hold a header, is damaged.
template <typename F> Walk forEachMessage(Bytes datagram, F&& f)
{
    if (datagram.empty())
        return Walk::Damaged;
    size_t off = 0;
    while (off < datagram.size()) {
        const size_t left = datagram.size() - off;
        if (left < sizeof(nlmsghdr))
            return Walk::Damaged;
        const auto hdr = load<nlmsghdr>(datagram.subspan(off));
        if (hdr.nlmsg_len < sizeof(nlmsghdr) || hdr.nlmsg_len > left)
            return Walk::Damaged;
        if (!f(hdr, datagram.subspan(off + NLMSG_HDRLEN, hdr.nlmsg_len - NLMSG_HDRLEN)))
            return Walk::Stopped;
        off += NLMSG_ALIGN(hdr.nlmsg_len);
    }
    return Walk::Exhausted;
}

// The errno of an NLMSG_ERROR or NLMSG_DONE payload: 0 for an ACK or a dump that went
// well, EPROTO for a code no errno can be (INT_MIN cannot even be negated), -1 when the
// payload is too short to hold one.
inline int errorCode(Bytes payload)
{
    if (payload.size() < sizeof(int))
        return -1;
    const int code = load<int>(payload);
    if (code >= 0)
        return 0;
    return code >= -4095 ? -code : EPROTO;
}

} // namespace corvane::nl
