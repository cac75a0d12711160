#pragma once

#include "measure/LinkKind.h"

#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QObject;

namespace corvane {

// The machine's interfaces as the panel lists them. Main thread only; implementations
// never throw: a failed query is none or an empty list.
class LinkDirectory {
public:
    virtual ~LinkDirectory() = default;
    virtual LinkKind kind(const std::string& name) = 0;
    virtual std::optional<std::string> localIPv4(const std::string& name) = 0;
    // Up, running, non-loopback interfaces with an IPv4 address, each once, in order.
    virtual std::vector<std::string> upInterfaces() = 0;
};

// What the panel hands to the desktop session.
class Desktop {
public:
    virtual ~Desktop() = default;
    virtual void openUrl(const QUrl& url) = 0;
    virtual void copyText(const QString& text) = 0;
};

// The switch behind launch at login. Failures come back as a readable reason.
class Autostart {
public:
    virtual ~Autostart() = default;
    virtual bool isEnabled() const = 0;
    virtual std::optional<QString> install() = 0;
    virtual std::optional<QString> uninstall() = 0;
};

// This machine's public address. `done` runs later from the event loop, never inside
// fetch(), with none when there never was a good answer; it is dropped when `context`
// goes first.
class PublicAddressLookup {
public:
    using Callback = std::function<void(std::optional<QString>)>;
    virtual ~PublicAddressLookup() = default;
    virtual void fetch(const QObject* context, Callback done) = 0;
};

// Handle to one running probe; copies refer to the same probe and a default one to none.
// Dropping it lets the probe run to its end.
class ProbeHandle {
public:
    ProbeHandle() = default;
    explicit ProbeHandle(std::function<void()> cancel)
        : cancel_(std::make_shared<std::function<void()>>(std::move(cancel)))
    {}
    // Ends the probe now: `false` is delivered before this returns. Nothing once answered.
    void cancel()
    {
        if (cancel_ && *cancel_)
            std::exchange(*cancel_, nullptr)();
    }

private:
    std::shared_ptr<std::function<void()>> cancel_;
};

// Can the dish be reached right now? `done` runs exactly once, later, on the calling
// thread, unless `context` is destroyed first.
class DishProbe {
public:
    virtual ~DishProbe() = default;
    virtual ProbeHandle reachable(QObject* context, std::function<void(bool)> done) = 0;
};

} // namespace corvane
