#pragma once

#include "app/tray/DBusObject.h"
#include "present/BarStyle.h"
#include "present/RateUnits.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

class QMenu;

namespace corvane {

enum class TrayAction { openPanel, stacked, wide, bits, bytes, launchAtLogin, quit };

// One entry of the tray item's menu. Ids are fixed, so a host's cached layout stays valid.
struct MenuEntry {
    enum class Toggle { none, radio, checkmark };

    int id = 0;
    QString label; // empty with no action and no children: a separator
    std::optional<TrayAction> action;
    Toggle toggle = Toggle::none;
    bool checked = false;
    QList<MenuEntry> children;

    bool isSeparator() const { return label.isEmpty() && children.isEmpty(); }
    const MenuEntry* find(int entryId) const;
    friend bool operator==(const MenuEntry&, const MenuEntry&) = default;
};

struct TrayMenuState {
    BarStyle style = BarStyle::stacked;
    RateUnits units = RateUnits::bits;
    bool launchAtLogin = false;
};

// The right-click menu: Open panel; Bar style and Units as radio submenus; Launch at login
// as a check box; Quit. The root has id 0.
MenuEntry trayMenu(const TrayMenuState& state);

// The same menu as a QMenu, for the classic system tray.
void fillMenu(QMenu* menu, const MenuEntry& root, const std::function<void(TrayAction)>& act);

// The menu as a com.canonical.dbusmenu object, which tray hosts draw themselves.
class DBusMenuObject : public DBusObject {
    Q_OBJECT

public:
    DBusMenuObject(QDBusConnection bus, QString path, std::function<void(TrayAction)> act,
                   QObject* parent = nullptr);

    // A changed menu gets a new revision and a LayoutUpdated signal.
    void setMenu(const MenuEntry& root);
    const MenuEntry& menu() const { return root_; }
    uint revision() const { return revision_; }

    QVariantMap properties() const override;
    bool call(const QDBusMessage& message, const QDBusConnection& bus) override;
    QString introspect(const QString& path) const override;

    // The host showed the menu: the user is at the item, not in the panel.
    Q_SIGNAL void opened();

private:
    QDBusConnection bus_;
    QString path_;
    std::function<void(TrayAction)> act_;
    MenuEntry root_;
    uint revision_ = 1;
};

} // namespace corvane
