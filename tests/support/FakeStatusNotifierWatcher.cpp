#include "support/FakeStatusNotifierWatcher.h"

#include <QDBusVariant>

namespace corvane::testing {

namespace {
const QString watcherName = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString itemPath = QStringLiteral("/StatusNotifierItem");
} // namespace

FakeStatusNotifierWatcher::FakeStatusNotifierWatcher(QString busAddress, QObject* parent)
    : QObject(parent), address_(std::move(busAddress))
{}

FakeStatusNotifierWatcher::~FakeStatusNotifierWatcher()
{
    stop();
}

bool FakeStatusNotifierWatcher::start()
{
    if (!connectionName_.isEmpty())
        return true;
    static int generation = 0;
    connectionName_ = QStringLiteral("fake-sni-watcher-%1").arg(++generation);
    QDBusConnection bus = QDBusConnection::connectToBus(address_, connectionName_);
    if (!bus.isConnected() ||
        !bus.registerObject(watcherPath, this, QDBusConnection::ExportScriptableContents) ||
        !bus.registerService(watcherName)) {
        stop();
        return false;
    }
    return true;
}

void FakeStatusNotifierWatcher::stop()
{
    if (connectionName_.isEmpty())
        return;
    connection().unregisterService(watcherName);
    connection().unregisterObject(watcherPath);
    items_.clear();
    QDBusConnection::disconnectFromBus(connectionName_);
    connectionName_.clear();
}

void FakeStatusNotifierWatcher::RegisterStatusNotifierItem(const QString& argument,
                                                           const QDBusMessage& message)
{
    const bool isPath = argument.startsWith(u'/');
    const QString service = isPath ? message.service() : argument;
    const QString item = service + (isPath ? argument : itemPath);
    if (!items_.contains(item))
        items_.append(item);
    Q_EMIT itemRegistered(service);
}

QVariant FakeStatusNotifierWatcher::itemProperty(const QString& service, const QString& name) const
{
    if (connectionName_.isEmpty())
        return {};
    QDBusMessage get = QDBusMessage::createMethodCall(
        service, itemPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << QStringLiteral("org.kde.StatusNotifierItem") << name;
    const QDBusMessage reply = connection().call(get, QDBus::BlockWithGui, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().constFirst().value<QDBusVariant>().variant();
}

} // namespace corvane::testing
