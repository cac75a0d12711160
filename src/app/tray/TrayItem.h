#pragma once

#include "app/tray/SniTypes.h"
#include "app/tray/TrayMenu.h"
#include "measure/SpeedSample.h"
#include "present/BarStyle.h"
#include "present/LabelImage.h"
#include "present/LabelInk.h"
#include "present/RateUnits.h"
#include "present/TrayPolicy.h"

#include <QDBusConnection>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QTimer>
#include <memory>

class QDBusServiceWatcher;
class QMenu;
class QSystemTrayIcon;

namespace corvane {

class DBusMenuObject;
class PanelToneWatcher;
class StatusNotifierItemObject;

// The tray presence: a StatusNotifierItem with a menu on `bus` while a watcher is there,
// else a plain QSystemTrayIcon (X11 system trays). What it draws depends on the host that
// shows it (see chooseTrayPresentation) and on the panel's colour. Main thread only.
class TrayItem : public QObject {
    Q_OBJECT

public:
    explicit TrayItem(QDBusConnection bus = QDBusConnection::sessionBus(),
                      QObject* parent = nullptr);
    ~TrayItem() override;

    void setStyle(BarStyle style);
    // The one-line text and the rates it was made from, in the units it shows.
    void setLabel(const QString& label, const SpeedSample& sample, RateUnits units);
    void setLabelImage(const LabelImage& image);
    void setLabelInk(LabelInk ink);
    void setMenuState(const TrayMenuState& state);
    // Puts the item on the bus (or up as a fallback icon). Later calls do nothing.
    void show();

    // org.kde.StatusNotifierItem-PID-ID; unique per item in this process.
    QString serviceName() const { return serviceName_; }
    // A watcher has accepted the item.
    bool isRegistered() const { return registered_; }
    // The QSystemTrayIcon stands in because no watcher took the item.
    bool isUsingFallback() const { return fallback_ != nullptr; }
    TrayHost host() const { return host_; }
    TrayPresentation presentation() const;
    TrayInk ink() const;

    Q_SIGNAL void activateRequested(QPoint pos);
    Q_SIGNAL void actionRequested(corvane::TrayAction action);
    // The host opened the item's menu (GNOME on a single click).
    Q_SIGNAL void menuOpened();

private Q_SLOTS:
    void onItemUnregistered(const QString& item);

private:
    void registerWithWatcher();
    void onRegistered(bool ok);
    void checkStillRegistered();
    void onWatcherOwnerChanged(const QString& newOwner);
    void detectHost();
    void enterFallback();
    void leaveFallback();
    void rebuild();
    void publish();
    void showMenuAt(QPoint pos);
    void sampleFallbackBackground();
    bool isOurs(const QString& watcherEntry) const;

    QDBusConnection bus_;
    QString serviceName_;
    StatusNotifierItemObject* item_; // owned by this object
    DBusMenuObject* menu_;
    std::unique_ptr<PanelToneWatcher> tone_;
    std::unique_ptr<QDBusServiceWatcher> watcher_;
    std::unique_ptr<QSystemTrayIcon> fallback_;
    std::unique_ptr<QMenu> fallbackMenu_;

    BarStyle style_ = BarStyle::stacked;
    LabelInk inkPreference_ = LabelInk::automatic;
    TrayHost host_ = TrayHost::unknown;
    PanelTone sampledTone_ = PanelTone::unknown; // around the classic tray icon
    QString label_;
    SpeedSample sample_;
    RateUnits units_ = RateUnits::bits;
    LabelImage image_;
    QList<SniPixmap> icon_;    // what the item shows now, as sent on the bus
    QList<QImage> iconImages_; // the same, for the fallback icon

    bool shown_ = false;
    bool exported_ = false;
    bool ownsName_ = false;
    bool registered_ = false;
    bool warned_ = false;         // the failure to register has been reported
    quint64 registerAttempt_ = 0; // replies to older attempts are stale
    int recheck_ = 0;             // checks left after the latest registration
    QTimer recheckTimer_;
};

} // namespace corvane
