#include "platform/dbus/BusNameOwner.h"

#include "platform/Diagnostics.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>

namespace corvane {

BusNameOwner::BusNameOwner(const QDBusConnection& bus, const QString& name, QObject* parent)
    : QObject(parent), name_(name), live_(bus.isConnected())
{
    if (!live_)
        return;

    // The match rule for NameOwnerChanged is sent before the lookup, so no change can slip
    // between the two.
    auto* watcher =
        new QDBusServiceWatcher(name, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString& previous, const QString& owner) {
                onOwnerChange(previous, owner);
            });

    QDBusMessage lookup = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetNameOwner"));
    lookup << name;
    auto* call = new QDBusPendingCallWatcher(bus.asyncCall(lookup), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<QString> reply = *call;
        if (!reply.isValid())
            qCDebug(lcDBus) << "no owner of" << name_ << reply.error().message();
        // NameHasNoOwner, or any other failure: treated as nobody.
        onLookup(reply.isValid() ? reply.value() : QString());
    });
}

void BusNameOwner::ifOwner(const QString& sender, std::function<void()> action)
{
    if (!live_ || sender.isEmpty())
        return;
    if (!known_) {
        if (held_.size() < maxHeld)
            held_.emplace_back(sender, std::move(action));
        return;
    }
    if (sender == owner_)
        action();
}

void BusNameOwner::onLookup(const QString& owner)
{
    // An owner change seen first is at least as recent as this answer.
    if (known_)
        return;
    known_ = true;
    auto held = std::exchange(held_, {});
    setOwner(owner);
    if (owner.isEmpty())
        return;
    for (auto& [sender, action] : held)
        if (sender == owner && owner_ == owner)
            action();
}

void BusNameOwner::onOwnerChange(const QString& previous, const QString& owner)
{
    auto held = std::exchange(held_, {});
    const bool wasKnown = std::exchange(known_, true);
    // Anything held was sent before this change, so it counts if it came from the owner of
    // that time, and it is applied before the change.
    if (!wasKnown && !previous.isEmpty()) {
        owner_ = previous;
        for (auto& [sender, action] : held)
            if (sender == previous && owner_ == previous)
                action();
    }
    setOwner(owner);
}

void BusNameOwner::setOwner(const QString& owner)
{
    if (owner == owner_)
        return;
    owner_ = owner;
    Q_EMIT ownerChanged(owner_);
}

} // namespace corvane
