#pragma once

#include "platform/nl80211/NetlinkChannel.h"

#include <cerrno>
#include <cstring>
#include <deque>
#include <functional>
#include <linux/netlink.h>
#include <string>
#include <vector>

// Netlink bytes written out by hand (host byte order, as netlink uses), independent of the
// encoder under test; lengths can be made to lie. And a channel that answers by script.
namespace corvane::testing {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t testPort = 4242;

template <typename T> Bytes le(T v)
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
        bytes = bytes + le<uint16_t>(claimed ? claimed : uint16_t(4 + p.size())) + le(type) + p;
        bytes.resize((bytes.size() + 3) & ~size_t(3));
        return *this;
    }
    template <typename T> Attrs& num(uint16_t type, T v) { return raw(type, le(v)); }
    Attrs& str(uint16_t type, const std::string& s)
    {
        return raw(type, Bytes(s.c_str(), s.c_str() + s.size() + 1));
    }
    Attrs& nest(uint16_t type, const Attrs& in) { return raw(type | NLA_F_NESTED, in.bytes); }
};

inline Bytes nlmsg(uint16_t type, uint16_t flags, uint32_t seq, const Bytes& payload,
                   uint32_t pid = testPort)
{
    return le<uint32_t>(16 + payload.size()) + le(type) + le(flags) + le(seq) + le(pid) + payload;
}
inline Bytes genl(uint16_t type, uint8_t cmd, const Attrs& a, uint32_t seq = 0, uint16_t flags = 0,
                  uint32_t pid = testPort)
{
    return nlmsg(type, flags, seq, Bytes{cmd, 1, 0, 0} + a.bytes, pid);
}
inline Bytes done(uint32_t seq, int code = 0, uint16_t flags = NLM_F_MULTI)
{
    return nlmsg(NLMSG_DONE, flags, seq, le(code));
}
inline Bytes error(uint32_t seq, int code)
{
    return nlmsg(NLMSG_ERROR, 0, seq, le(code) + Bytes(16)); // echoed request header
}

// A request as sent: header fields and attributes.
struct Sent {
    uint16_t type, flags;
    uint32_t seq;
    uint8_t cmd;
    Bytes attrs;
};

class ScriptedChannel final : public nl80211::NetlinkChannel {
public:
    using Script = std::function<std::vector<nl80211::Datagram>(const Sent&)>;
    explicit ScriptedChannel(Script s = {}) : script_(std::move(s)) {}

    uint32_t portId() const override { return testPort; }
    bool send(std::span<const uint8_t> m) override
    {
        Sent r;
        std::memcpy(&r.type, &m[4], 2);
        std::memcpy(&r.flags, &m[6], 2);
        std::memcpy(&r.seq, &m[8], 4);
        r.cmd = m[16];
        r.attrs.assign(m.begin() + 20, m.end());
        sent.push_back(r);
        for (auto& d : script_(r))
            pending.push_back(std::move(d));
        return true;
    }
    nl80211::Datagram receive(std::chrono::milliseconds) override
    {
        if (pending.empty())
            return {EAGAIN, {}};
        auto d = std::move(pending.front());
        pending.pop_front();
        return d;
    }
    bool joinGroup(uint32_t group) override
    {
        joined.push_back(group);
        return true;
    }

    std::vector<Sent> sent;
    std::vector<uint32_t> joined;
    std::deque<nl80211::Datagram> pending;

private:
    Script script_;
};

} // namespace corvane::testing
