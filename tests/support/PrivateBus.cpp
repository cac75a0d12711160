#include "support/PrivateBus.h"

namespace corvane::testing {

PrivateBus::PrivateBus()
{
    daemon_.setProgram(QStringLiteral("dbus-daemon"));
    daemon_.setArguments({QStringLiteral("--config-file=/usr/share/dbus-1/session.conf"),
                          QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                          QStringLiteral("--print-address=1")});
    daemon_.start();
    if (!daemon_.waitForStarted(5000))
        return;
    while (daemon_.state() == QProcess::Running && !daemon_.canReadLine())
        daemon_.waitForReadyRead(5000);
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
}

PrivateBus::~PrivateBus()
{
    for (const QString& n : names_)
        QDBusConnection::disconnectFromBus(n);
    daemon_.terminate();
    if (!daemon_.waitForFinished(3000))
        daemon_.kill();
    daemon_.waitForFinished(3000);
}

QDBusConnection PrivateBus::connect(const QString& name)
{
    names_.append(name);
    return QDBusConnection::connectToBus(address_, name);
}

} // namespace corvane::testing
