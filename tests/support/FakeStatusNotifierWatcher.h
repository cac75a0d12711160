#pragma once

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

namespace corvane::testing {

class FakeWatcherAdaptor;

// Stands in for a desktop's org.kde.StatusNotifierWatcher at /StatusNotifierWatcher on a
// (private) bus, on a connection of its own. Records every RegisterStatusNotifierItem call
// and forgets an item when its service leaves the bus. stop() releases the name and drops the
// connection; start() again comes back on a fresh connection, as a restarted panel would.
class FakeStatusNotifierWatcher : public QObject {
    Q_OBJECT

public:
    struct Registration {
        QString argument; // as passed: a bus name or an object path
        QString service;  // the bus name the item lives on
        QString path;     // the item's object path
        QString sender;   // unique name of the caller
    };

    explicit FakeStatusNotifierWatcher(QString busAddress, QObject* parent = nullptr);
    ~FakeStatusNotifierWatcher() override;

    // False when the bus is unreachable or the watcher name is taken.
    bool start();
    void stop();
    bool isRunning() const { return adaptor_ != nullptr; }
    // While set, RegisterStatusNotifierItem answers with an error and records nothing.
    void setRefuseRegistrations(bool refuse) { refuse_ = refuse; }

    // Every registration since construction, across restarts, oldest first.
    const QList<Registration>& registrations() const { return registrations_; }
    // Items currently registered, as "service/path" (the RegisteredStatusNotifierItems form).
    QStringList registeredItems() const { return items_; }

    // Reads an org.kde.StatusNotifierItem property of an item over the bus, running the event
    // loop meanwhile (the item may live in this very thread). Complex types come back as a
    // QDBusArgument; an error gives an invalid QVariant.
    QVariant itemProperty(const QString& service, const QString& name,
                          const QString& path = QStringLiteral("/StatusNotifierItem")) const;
    QDBusConnection connection() const;

    Q_SIGNAL void itemRegistered(const QString& service);
    Q_SIGNAL void itemUnregistered(const QString& service);

private:
    friend class FakeWatcherAdaptor;
    void onRegister(const QString& argument, const QString& sender);
    void onServiceGone(const QString& service);

    QString address_;
    QString connectionName_;
    std::unique_ptr<QObject> exported_; // carries the adaptor
    FakeWatcherAdaptor* adaptor_ = nullptr;
    QList<Registration> registrations_;
    QStringList items_;
    bool refuse_ = false;
};

} // namespace corvane::testing
