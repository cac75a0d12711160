#pragma once

#include "platform/Diagnostics.h"
#include "platform/SystemEvents.h"

#include <QDBusConnection>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <array>
#include <optional>

class QDBusMessage;

namespace corvane {

class BusNameOwner;

// Low-power mode from power-profiles-daemon on the system bus: on exactly while ActiveProfile
// is "power-saver". Both the original name (net.hadess.PowerProfiles) and the newer one
// (org.freedesktop.UPower.PowerProfiles) are followed; when both answer, the newer one wins.
//
// The profile is read asynchronously whenever a daemon appears (so construction never
// blocks) and then followed through PropertiesChanged from the name's owner. No bus, no
// daemon or an unreadable profile means off. lowPowerMode() only returns the cached state.
class DBusPowerState : public PowerState {
    Q_OBJECT
public:
    static constexpr const char* powerSaver = "power-saver";

    explicit DBusPowerState(const QDBusConnection& system = QDBusConnection::systemBus(),
                            QObject* parent = nullptr);
    ~DBusPowerState() override;

    bool lowPowerMode() const override { return low_; }

private Q_SLOTS:
    // Name-based slot: QtDBus connects bus signals only by slot signature.
    void onPropertiesChanged(const QString& interface, const QVariantMap& changed,
                             const QStringList& invalidated, const QDBusMessage& message);

private:
    struct Source {
        BusNameOwner* owner = nullptr;
        QString path;
        QString interface;
        std::optional<QString> profile;
        quint64 generation = 0; // bumped to discard replies to outdated reads
        FailureState readFailure;
    };

    void watch(Source& source, const QString& service, const QString& path);
    void read(Source& source);
    void update();

    QDBusConnection bus_;
    std::array<Source, 2> sources_; // in order of preference
    bool low_ = false;
};

} // namespace corvane
