#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>

namespace corvane::testing {

// A dbus-daemon of the test's own, so tests never touch the user's session or system bus.
// Stopped when the object goes away.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool isRunning() const { return !address_.isEmpty(); }
    QString address() const { return address_; }
    // A new named connection to this bus (each call gives a distinct unique name).
    QDBusConnection connect(const QString& name);

private:
    QProcess daemon_;
    QString address_;
    QStringList names_;
};

} // namespace corvane::testing
