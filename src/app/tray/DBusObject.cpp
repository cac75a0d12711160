#include "app/tray/DBusObject.h"

#include <QDBusVariant>

namespace corvane {

namespace {
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
}

DBusObject::DBusObject(QString interface, QObject* parent)
    : QDBusVirtualObject(parent), interface_(std::move(interface))
{}

bool DBusObject::handleMessage(const QDBusMessage& message, const QDBusConnection& bus)
{
    if (message.type() != QDBusMessage::MethodCallMessage)
        return false;
    const auto fail = [&](const char* name, const QString& text) {
        bus.send(message.createErrorReply(QString::fromLatin1(name), text));
        return true;
    };
    if (message.interface() == propertiesInterface) {
        const QVariantList args = message.arguments();
        const QString iface = args.value(0).toString();
        if (message.member() == u"GetAll" && args.size() == 1) {
            bus.send(message.createReply(iface == interface_ ? properties() : QVariantMap()));
            return true;
        }
        if (message.member() == u"Get" && args.size() == 2) {
            const QVariantMap all = iface == interface_ ? properties() : QVariantMap();
            const auto it = all.constFind(args.value(1).toString());
            if (it == all.cend())
                return fail("org.freedesktop.DBus.Error.UnknownProperty",
                            QStringLiteral("No such property: ") + args.value(1).toString());
            bus.send(message.createReply(QVariant::fromValue(QDBusVariant(*it))));
            return true;
        }
        if (message.member() == u"Set")
            return fail("org.freedesktop.DBus.Error.PropertyReadOnly",
                        QStringLiteral("Properties are read-only"));
        return fail("org.freedesktop.DBus.Error.UnknownMethod", message.member());
    }
    if ((message.interface().isEmpty() || message.interface() == interface_) && call(message, bus))
        return true;
    return fail("org.freedesktop.DBus.Error.UnknownMethod",
                QStringLiteral("No such method: ") + message.member());
}

} // namespace corvane
