#include "platform/dbus/DBusPowerState.h"

#include "platform/dbus/BusNameOwner.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace corvane {

namespace {

const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString activeProfile = QStringLiteral("ActiveProfile");

std::optional<QString> profileOf(const QVariant& value)
{
    if (value.metaType() != QMetaType::fromType<QString>())
        return std::nullopt;
    return value.toString();
}

} // namespace

DBusPowerState::DBusPowerState(const QDBusConnection& system, QObject* parent)
    : PowerState(parent), bus_(system)
{
    watch(sources_[0], QStringLiteral("org.freedesktop.UPower.PowerProfiles"),
          QStringLiteral("/org/freedesktop/UPower/PowerProfiles"));
    watch(sources_[1], QStringLiteral("net.hadess.PowerProfiles"),
          QStringLiteral("/net/hadess/PowerProfiles"));
}

DBusPowerState::~DBusPowerState() = default;

void DBusPowerState::watch(Source& source, const QString& service, const QString& path)
{
    source.path = path;
    source.interface = service; // the daemon names its interfaces after its bus names
    source.owner = new BusNameOwner(bus_, service, this);
    connect(source.owner, &BusNameOwner::ownerChanged, this, [this, &source](const QString& owner) {
        source.profile.reset();
        ++source.generation;
        if (!owner.isEmpty())
            read(source);
        update();
    });
    if (!bus_.isConnected()) {
        qCDebug(lcDBus) << "no system bus: the power-saving state of" << service << "is unknown";
        return;
    }
    // No service in the match: the sender is checked against the tracked owner instead.
    if (!bus_.connect(QString(), path, propertiesInterface, QStringLiteral("PropertiesChanged"),
                      this,
                      SLOT(onPropertiesChanged(QString, QVariantMap, QStringList, QDBusMessage))))
        qCWarning(lcDBus) << "cannot follow" << service << bus_.lastError().message();
}

void DBusPowerState::read(Source& source)
{
    // Addressed to the owner's unique name: the answer belongs to the daemon we follow, and a
    // call can never start an activatable service.
    QDBusMessage get = QDBusMessage::createMethodCall(source.owner->owner(), source.path,
                                                      propertiesInterface, QStringLiteral("Get"));
    get << source.interface << activeProfile;
    const quint64 generation = ++source.generation;
    auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(get), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, &source, generation](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                if (generation != source.generation)
                    return;
                const QDBusPendingReply<QDBusVariant> reply = *call;
                if (reply.isValid()) {
                    source.readFailure.succeeded();
                } else {
                    const QByteArray what =
                        (source.interface + QLatin1String(": profile unread: ") +
                         reply.error().message())
                            .toUtf8();
                    reportFailure(lcDBus(), source.readFailure, what.constData());
                }
                source.profile =
                    reply.isValid() ? profileOf(reply.value().variant()) : std::nullopt;
                update();
            });
}

void DBusPowerState::onPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                         const QStringList& invalidated,
                                         const QDBusMessage& message)
{
    for (Source& source : sources_) {
        if (source.path != message.path() || source.interface != interface)
            continue;
        source.owner->ifOwner(message.service(), [this, &source, changed, invalidated] {
            if (const auto it = changed.find(activeProfile); it != changed.end()) {
                source.profile = profileOf(*it);
                update();
            } else if (invalidated.contains(activeProfile)) {
                read(source);
            }
        });
        return;
    }
}

void DBusPowerState::update()
{
    bool low = false;
    for (const Source& source : sources_) {
        if (source.profile) {
            low = *source.profile == QLatin1String(powerSaver);
            break;
        }
    }
    if (low == low_)
        return;
    low_ = low;
    Q_EMIT lowPowerModeChanged(low_);
}

} // namespace corvane
