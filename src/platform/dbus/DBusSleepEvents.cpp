#include "platform/dbus/DBusSleepEvents.h"

#include "platform/Diagnostics.h"
#include "platform/dbus/BusNameOwner.h"

#include <QDBusMessage>
#include <algorithm>

namespace corvane {

DBusSleepEvents::DBusSleepEvents(const QDBusConnection& system, const QDBusConnection& session,
                                 QObject* parent)
    : SleepEvents(parent)
{
    watch(sources_[0], system, QStringLiteral("org.freedesktop.login1"),
          QStringLiteral("/org/freedesktop/login1"),
          QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
          SLOT(onPrepareForSleep(bool, QDBusMessage)));
    watch(sources_[1], session, QStringLiteral("org.freedesktop.ScreenSaver"),
          QStringLiteral("/ScreenSaver"), QStringLiteral("org.freedesktop.ScreenSaver"),
          QStringLiteral("ActiveChanged"), SLOT(onActiveChanged(bool, QDBusMessage)));
    watch(sources_[2], session, QStringLiteral("org.gnome.ScreenSaver"),
          QStringLiteral("/org/gnome/ScreenSaver"), QStringLiteral("org.gnome.ScreenSaver"),
          QStringLiteral("ActiveChanged"), SLOT(onActiveChanged(bool, QDBusMessage)));
}

DBusSleepEvents::~DBusSleepEvents() = default;

void DBusSleepEvents::watch(Source& source, const QDBusConnection& bus, const QString& service,
                            const QString& path, const QString& interface, const QString& member,
                            const char* slot)
{
    source.path = path;
    source.interface = interface;
    source.owner = new BusNameOwner(bus, service, this);
    connect(source.owner, &BusNameOwner::ownerChanged, this, [this, &source] {
        source.on = false;
        update();
    });
    if (!bus.isConnected()) {
        qCDebug(lcDBus) << "no bus: display sleep from" << service << "is not followed";
        return;
    }
    // No service in the match: the sender is checked against the tracked owner instead.
    QDBusConnection connection(bus);
    if (!connection.connect(QString(), path, interface, member, this, slot))
        qCWarning(lcDBus) << "cannot follow" << service << connection.lastError().message();
}

void DBusSleepEvents::onPrepareForSleep(bool sleeping, const QDBusMessage& message)
{
    deliver(message, sleeping);
}

void DBusSleepEvents::onActiveChanged(bool active, const QDBusMessage& message)
{
    deliver(message, active);
}

void DBusSleepEvents::deliver(const QDBusMessage& message, bool on)
{
    for (Source& source : sources_) {
        if (source.path != message.path() || source.interface != message.interface())
            continue;
        source.owner->ifOwner(message.service(), [this, &source, on] {
            source.on = on;
            update();
        });
        return;
    }
}

void DBusSleepEvents::update()
{
    const bool asleep =
        std::any_of(sources_.begin(), sources_.end(), [](const Source& s) { return s.on; });
    if (asleep == asleep_)
        return;
    asleep_ = asleep;
    if (asleep_)
        Q_EMIT displaysSlept();
    else
        Q_EMIT displaysWoke();
}

} // namespace corvane
