#pragma once

#include "app/tray/SniTypes.h"
#include "present/BarStyle.h"
#include "present/LabelImage.h"

#include <QDBusConnection>
#include <QObject>
#include <QPoint>
#include <QString>
#include <memory>

class QDBusServiceWatcher;
class QSystemTrayIcon;

namespace corvane {

class StatusNotifierItemAdaptor;

// The tray presence: a StatusNotifierItem on `bus` while a watcher is there, else a plain
// QSystemTrayIcon (X11 system trays). Main thread only.
class TrayItem : public QObject {
    Q_OBJECT

public:
    explicit TrayItem(QDBusConnection bus = QDBusConnection::sessionBus(),
                      QObject* parent = nullptr);
    ~TrayItem() override;

    void setStyle(BarStyle style);
    void setLabel(const QString& label);
    void setLabelImage(const LabelImage& image);
    // Puts the item on the bus (or up as a fallback icon). Later calls do nothing.
    void show();

    // org.kde.StatusNotifierItem-PID-ID; unique per item in this process.
    QString serviceName() const { return serviceName_; }
    // A watcher has accepted the item.
    bool isRegistered() const { return registered_; }
    // The QSystemTrayIcon stands in because no watcher took the item.
    bool isUsingFallback() const { return fallback_ != nullptr; }

    Q_SIGNAL void activateRequested(QPoint pos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void registerWithWatcher();
    void onWatcherOwnerChanged(const QString& newOwner);
    void enterFallback();
    void leaveFallback();
    void rebuildIcon();
    void publish();
    void updateFallback();

    QDBusConnection bus_;
    QString serviceName_;
    StatusNotifierItemAdaptor* adaptor_; // owned by this object, as Qt D-Bus requires
    std::unique_ptr<QDBusServiceWatcher> watcher_;
    std::unique_ptr<QSystemTrayIcon> fallback_;

    BarStyle style_ = BarStyle::stacked;
    QString label_;
    LabelImage image_;
    QImage iconNormal_; // what the tray shows now, already in the tray's ink
    QImage iconHiDpi_;
    QList<SniPixmap> sniIcon_; // the same, as sent on the bus

    bool shown_ = false;
    bool exported_ = false;
    bool ownsName_ = false;
    bool registered_ = false;
    quint64 registerAttempt_ = 0; // replies to older attempts are stale
};

} // namespace corvane
