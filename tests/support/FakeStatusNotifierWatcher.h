#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QObject>
#include <QStringList>
#include <QVariant>

namespace corvane::testing {

// Stands in for a desktop's org.kde.StatusNotifierWatcher on a (private) bus, on a connection of
// its own. stop() drops the connection; start() again comes back as a new owner of the name, as a
// restarted panel would.
class FakeStatusNotifierWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)

public:
    explicit FakeStatusNotifierWatcher(QString busAddress) : address_(std::move(busAddress)) {}
    ~FakeStatusNotifierWatcher() override { stop(); }

    // False when the bus is unreachable or the watcher name is taken.
    bool start()
    {
        static int generation = 0;
        connectionName_ = QStringLiteral("fake-sni-watcher-%1").arg(++generation);
        QDBusConnection bus = QDBusConnection::connectToBus(address_, connectionName_);
        return bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                                  QDBusConnection::ExportScriptableContents) &&
               bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    }
    void stop()
    {
        if (connectionName_.isEmpty())
            return;
        items_.clear();
        connection().unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher"));
        QDBusConnection::disconnectFromBus(std::exchange(connectionName_, {}));
    }
    // Items registered with the running watcher, as "service/path".
    QStringList registeredItems() const { return items_; }
    // Forgets every item without a word, as a host that fails to read an item does.
    void dropSilently() { items_.clear(); }
    QDBusConnection connection() const { return QDBusConnection(connectionName_); }

    // Reads an org.kde.StatusNotifierItem property over the bus, running the event loop meanwhile
    // (the item may live in this thread). Complex types come back as a QDBusArgument; an error
    // gives an invalid QVariant.
    // An item in another process is read with `QDBus::Block`: the wait then runs no events
    // of this one, which a busy loopback socket could otherwise keep it from leaving.
    QVariant itemProperty(const QString& service, const QString& name,
                          QDBus::CallMode mode = QDBus::BlockWithGui) const
    {
        QDBusMessage get = QDBusMessage::createMethodCall(
            service, QStringLiteral("/StatusNotifierItem"),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << QStringLiteral("org.kde.StatusNotifierItem") << name;
        const QDBusReply<QDBusVariant> reply = connection().call(get, mode, 5000);
        return reply.isValid() ? reply.value().variant() : QVariant();
    }

    // Records the signals of the item at `service` as a host receives them, e.g.
    // "XAyatanaNewLabel(a,b)"; takeSignals() gives those sent since the last call, sorted.
    void recordSignalsOf(const QString& service)
    {
        recorded_ = service;
        connection().connect(service, QStringLiteral("/StatusNotifierItem"),
                             QStringLiteral("org.kde.StatusNotifierItem"), {}, this,
                             SLOT(record(QDBusMessage)));
    }
    std::string takeSignals()
    {
        itemProperty(recorded_, QStringLiteral("Id")); // answered after every earlier signal
        seen_.sort();
        return std::exchange(seen_, {}).join(u' ').toStdString();
    }

    Q_SIGNAL void itemRegistered(const QString& service);

public Q_SLOTS:
    // The bus method; the argument is the item's bus name, or an object path on the caller's
    // connection.
    Q_SCRIPTABLE void RegisterStatusNotifierItem(const QString& argument,
                                                 const QDBusMessage& message)
    {
        const bool isPath = argument.startsWith(u'/');
        const QString service = isPath ? message.service() : argument;
        const QString item = service + (isPath ? argument : QStringLiteral("/StatusNotifierItem"));
        if (!items_.contains(item))
            items_.append(item);
        Q_EMIT itemRegistered(service);
    }
    void record(const QDBusMessage& m)
    {
        QStringList args;
        for (const QVariant& a : m.arguments())
            args << a.toString();
        seen_ << m.member() + (args.isEmpty() ? QString() : u'(' + args.join(u',') + u')');
    }

private:
    QString address_;
    QString connectionName_;
    QStringList items_, seen_;
    QString recorded_;
};

} // namespace corvane::testing
