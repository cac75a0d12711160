#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
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
    explicit FakeStatusNotifierWatcher(QString busAddress, QObject* parent = nullptr);
    ~FakeStatusNotifierWatcher() override;

    // False when the bus is unreachable or the watcher name is taken.
    bool start();
    void stop();
    // Items registered with the running watcher, as "service/path".
    QStringList registeredItems() const { return items_; }
    // Forgets every item without a word, as a host that fails to read an item does.
    void dropSilently() { items_.clear(); }
    QDBusConnection connection() const { return QDBusConnection(connectionName_); }

    // Reads an org.kde.StatusNotifierItem property over the bus, running the event loop meanwhile
    // (the item may live in this thread). Complex types come back as a QDBusArgument; an error
    // gives an invalid QVariant.
    QVariant itemProperty(const QString& service, const QString& name) const;

    Q_SIGNAL void itemRegistered(const QString& service);

public Q_SLOTS:
    // The bus method; the argument is the item's bus name, or an object path on the caller's
    // connection.
    Q_SCRIPTABLE void RegisterStatusNotifierItem(const QString& argument,
                                                 const QDBusMessage& message);

private:
    QString address_;
    QString connectionName_;
    QStringList items_;
};

} // namespace corvane::testing
