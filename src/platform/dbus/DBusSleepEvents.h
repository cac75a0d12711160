#pragma once

#include "platform/SystemEvents.h"

#include <QDBusConnection>
#include <array>

class QDBusMessage;

namespace corvane {

class BusNameOwner;

// Display sleep and wake from D-Bus: logind's PrepareForSleep on the system bus (suspend and
// resume) and the screen locker's ActiveChanged on the session bus (org.freedesktop and GNOME
// names). Each of the three reports a state; the displays count as asleep while any of them
// is on, and only the transitions are emitted. So a lock followed by a suspend gives one
// displaysSlept(), and a resume while still locked gives displaysWoke() only at unlock.
//
// Signals are taken only from the current owner of each well-known name. When an owner goes
// away its state is dropped (a locker that crashed while active will not send "false").
// Missing buses or services simply never produce events; nothing here blocks or warns.
class DBusSleepEvents : public SleepEvents {
    Q_OBJECT
public:
    explicit DBusSleepEvents(const QDBusConnection& system = QDBusConnection::systemBus(),
                             const QDBusConnection& session = QDBusConnection::sessionBus(),
                             QObject* parent = nullptr);
    ~DBusSleepEvents() override;

    bool asleep() const { return asleep_; }

private Q_SLOTS:
    // Name-based slots: QtDBus connects bus signals only by slot signature.
    void onPrepareForSleep(bool sleeping, const QDBusMessage& message);
    void onActiveChanged(bool active, const QDBusMessage& message);

private:
    struct Source {
        BusNameOwner* owner = nullptr;
        QString path;
        QString interface;
        bool on = false;
    };

    void watch(Source& source, const QDBusConnection& bus, const QString& service,
               const QString& path, const QString& interface, const QString& member,
               const char* slot);
    void deliver(const QDBusMessage& message, bool on);
    void update();

    std::array<Source, 3> sources_;
    bool asleep_ = false;
};

} // namespace corvane
