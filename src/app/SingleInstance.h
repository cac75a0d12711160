#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

namespace corvane {

// One tray item per session: the first start owns the application id on the session bus,
// a later one asks it to open its panel instead of starting again. Exported as the
// freedesktop Application interface, so launchers that activate over D-Bus work too.
class SingleInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    enum class Role {
        primary,    // owns the name; activateRequested fires for later starts
        secondary,  // another instance runs and was asked to open its panel
        standalone, // no usable bus: run without the guard
    };

    explicit SingleInstance(QDBusConnection bus, QObject* parent = nullptr);
    ~SingleInstance() override;

    Role claim();
    static QString objectPath();

public Q_SLOTS:
    // Over D-Bus only.
    void Activate(const QVariantMap& platformData);

Q_SIGNALS:
    void activateRequested();

private:
    QDBusConnection bus_;
    bool owner_ = false;
};

} // namespace corvane
