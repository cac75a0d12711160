#pragma once

#include "app/tray/DBusObject.h"
#include "app/tray/SniTypes.h"

#include <QPoint>
#include <functional>
#include <optional>

namespace corvane {

// What the item shows; hosts read it as properties.
struct SniState {
    QString title;
    QList<SniPixmap> icon;
    SniToolTip toolTip;
    // Absent, not empty, unless the host is to draw it: some hosts draw the label instead of
    // the icon whenever the property exists.
    std::optional<QString> label;
    QString labelGuide;

    friend bool operator==(const SniState&, const SniState&) = default;
};

// The signals that tell hosts about the parts of `next` that differ from `prev`, as sent
// from the item at `path`.
QList<QDBusMessage> sniChangeSignals(const QString& path, const SniState& prev,
                                     const SniState& next);

// The org.kde.StatusNotifierItem object. Clicks go to plain callbacks; the menu is a
// com.canonical.dbusmenu object at `menuPath`.
class StatusNotifierItemObject : public DBusObject {
    Q_OBJECT

public:
    struct Callbacks {
        std::function<void(QPoint)> activate;    // left click (and middle)
        std::function<void(QPoint)> contextMenu; // right click on hosts without menus
    };

    StatusNotifierItemObject(QDBusConnection bus, QString path, QString menuPath,
                             Callbacks callbacks, QObject* parent = nullptr);

    // Takes the new content and tells hosts about exactly the parts that changed.
    void publish(const SniState& next);
    const SniState& state() const { return state_; }
    // Signals every part as changed, for a host that may have read the item too early.
    void announce();
    // Sends Id and Menu in a PropertiesChanged signal.
    void announceEssentials();

    QVariantMap properties() const override;
    bool call(const QDBusMessage& message, const QDBusConnection& bus) override;
    QString introspect(const QString& path) const override;

private:
    QDBusConnection bus_;
    QString path_;
    QString menuPath_;
    Callbacks callbacks_;
    SniState state_;
};

} // namespace corvane
