#pragma once

#include <QPointer>
#include <QString>
#include <QUrl>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string_view>

namespace corvane {

namespace detail {
class ProbeJob;
}

// Handle to one running probe. Copies refer to the same probe; a default-constructed
// handle refers to none. The handle does not own the probe: dropping it lets the probe
// run to its end.
class ProbeHandle {
public:
    ProbeHandle() = default;

    // Ends the probe now: the socket is closed and `false` is delivered before this
    // returns. Does nothing once the result has been delivered.
    void cancel();
    bool pending() const;

private:
    friend class StarlinkProbe;
    explicit ProbeHandle(detail::ProbeJob* job);

    QPointer<detail::ProbeJob> job_;
};

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

} // namespace corvane
