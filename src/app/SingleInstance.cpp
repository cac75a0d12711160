#include "app/SingleInstance.h"

#include "app/AppId.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace corvane {

SingleInstance::SingleInstance(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus))
{}

SingleInstance::~SingleInstance()
{
    if (owner_) {
        bus_.unregisterObject(objectPath());
        bus_.unregisterService(QLatin1String(appId));
    }
}

QString SingleInstance::objectPath()
{
    // The freedesktop convention: the id with dots turned into slashes.
    return QLatin1Char('/') + QString::fromLatin1(appId).replace(u'.', u'/');
}

SingleInstance::Role SingleInstance::claim()
{
    if (!bus_.isConnected() || bus_.interface() == nullptr)
        return Role::standalone;
    // The object goes up before the name, so a start racing this one finds it answering.
    if (!bus_.registerObject(objectPath(), this, QDBusConnection::ExportAllSlots))
        return Role::standalone;
    const auto reply = bus_.interface()->registerService(
        QLatin1String(appId), QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        owner_ = true;
        return Role::primary;
    }
    bus_.unregisterObject(objectPath());
    if (!reply.isValid())
        return Role::standalone;

    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(appId), objectPath(), QStringLiteral("org.freedesktop.Application"),
        QStringLiteral("Activate"));
    call << QVariantMap();
    // A hung first instance must not hang this one too; after the wait, a second tray item
    // is still better than none.
    const QDBusMessage answer = bus_.call(call, QDBus::Block, 5000);
    return answer.type() == QDBusMessage::ReplyMessage ? Role::secondary : Role::standalone;
}

void SingleInstance::Activate(const QVariantMap&)
{
    Q_EMIT activateRequested();
}

} // namespace corvane
