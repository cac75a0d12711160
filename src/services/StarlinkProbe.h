#pragma once

#include "services/SystemPorts.h"

#include <QString>
#include <QUrl>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string_view>

namespace corvane {

// Can a TCP connection to the dish be opened right now? The answer is whether the
// connect completes before the time-out; nothing is ever sent on the connection.
class StarlinkProbe {
public:
    static constexpr std::string_view dishHost = "192.168.100.1";
    static constexpr std::uint16_t dishPort = 9200;
    static constexpr std::chrono::milliseconds defaultTimeout{500};

    // The dish's plain-HTTP status page, "http://192.168.100.1".
    static const QUrl& dishyURL();

    // Where to connect: a numeric IPv4 or IPv6 address (never resolved by name).
    struct Target {
        QString host;
        std::uint16_t port = 0;
    };
    // dishHost:dishPort.
    static Target dish();

    // Starts a probe on the calling thread, which must run a Qt event loop. `done` is
    // called exactly once on that thread, never from inside this call: true if the
    // connection became ready within `timeout`; false on refusal, any error, an
    // unparsable host, the time-out or cancel(). The socket is closed before `done`
    // runs. If `context` is destroyed first, the probe is dropped silently: the socket
    // is closed and `done` is not called.
    static ProbeHandle reachable(QObject* context, std::function<void(bool)> done,
                                 const Target& target = dish(),
                                 std::chrono::milliseconds timeout = defaultTimeout);
};

// The probe the panel runs: one target, one time-out.
class StarlinkDishProbe final : public DishProbe {
public:
    explicit StarlinkDishProbe(StarlinkProbe::Target target = StarlinkProbe::dish(),
                               std::chrono::milliseconds timeout = StarlinkProbe::defaultTimeout)
        : target_(std::move(target)), timeout_(timeout)
    {}
    ProbeHandle reachable(QObject* context, std::function<void(bool)> done) override
    {
        return StarlinkProbe::reachable(context, std::move(done), target_, timeout_);
    }

private:
    StarlinkProbe::Target target_;
    std::chrono::milliseconds timeout_;
};

} // namespace corvane
