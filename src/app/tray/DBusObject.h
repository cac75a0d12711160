#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QVariantMap>

namespace corvane {

// An object on the bus that decides per call which properties exist: a property left out
// of properties() is absent to Get and GetAll, not empty. Subclasses answer their own
// interface's methods in call().
class DBusObject : public QDBusVirtualObject {
public:
    explicit DBusObject(QString interface, QObject* parent = nullptr);

    QString interfaceName() const { return interface_; }

    // The interface's readable properties, as they are now.
    virtual QVariantMap properties() const = 0;
    // A method call on the interface; reply through `bus`. False: no such method.
    virtual bool call(const QDBusMessage& message, const QDBusConnection& bus) = 0;

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override;

private:
    QString interface_;
};

} // namespace corvane
