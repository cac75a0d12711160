#pragma once

#include "platform/nl80211/NetlinkChannel.h"
#include "support/NlBytes.h"

#include <cerrno>
#include <deque>
#include <functional>

namespace corvane::testing {

// A request as sent: header fields and attributes.
struct Sent {
    uint16_t type, flags;
    uint32_t seq;
    uint8_t cmd;
    Bytes attrs;
};

// A channel that answers each request by script, and records what was sent.
struct ScriptedChannel final : nl80211::NetlinkChannel {
    std::function<std::vector<nl80211::Datagram>(const Sent&)> script;
    std::vector<Sent> sent;
    std::vector<uint32_t> joined;
    std::deque<nl80211::Datagram> pending;

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
        for (auto& d : script(r))
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
};

} // namespace corvane::testing
