#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <functional>
#include <utility>
#include <vector>

namespace corvane {

// Follows which connection owns a well-known bus name, without ever blocking: the current
// owner is asked for asynchronously and NameOwnerChanged keeps it up to date. Signals are
// accepted only from the owner, so another client cannot fake them by reusing the path and
// interface. Signals that arrive before the first answer are held and judged once the owner
// is known, so the real daemon is not ignored during start-up.
//
// QDBusConnection::connect() with a service name would filter by owner too, but it looks the
// owner up with a blocking round trip to the bus.
class BusNameOwner : public QObject {
    Q_OBJECT
public:
    BusNameOwner(const QDBusConnection& bus, const QString& name, QObject* parent = nullptr);

    const QString& name() const { return name_; }
    // Unique name of the current owner; empty while nobody owns the name or before the answer.
    const QString& owner() const { return owner_; }

    // Runs `action` when `sender` (a message's unique sender name) owns the name; while the
    // owner is still being looked up, the action waits for the answer. Otherwise drops it.
    void ifOwner(const QString& sender, std::function<void()> action);

Q_SIGNALS:
    // A different owner, or none (empty). Also emitted by the first answer when the name is
    // owned at start.
    void ownerChanged(const QString& owner);

private:
    void onLookup(const QString& owner);
    void onOwnerChange(const QString& previous, const QString& owner);
    void setOwner(const QString& owner);

    // A few signals at most arrive before the answer; the cap only guards against a bus
    // that never answers.
    static constexpr std::size_t maxHeld = 32;

    QString name_;
    QString owner_;
    bool live_ = false;
    bool known_ = false;
    std::vector<std::pair<QString, std::function<void()>>> held_;
};

} // namespace corvane
