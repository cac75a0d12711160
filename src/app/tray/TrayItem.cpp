#include "app/tray/TrayItem.h"

#include "app/tray/StatusNotifierItemAdaptor.h"
#include "app/tray/TrayArt.h"

#include <QApplication>
#include <QCursor>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QEvent>
#include <QIcon>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <atomic>

namespace corvane {

namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString itemPath = QStringLiteral("/StatusNotifierItem");
// A watcher that does not answer within this time is treated as absent.
constexpr int registerTimeoutMs = 5000;

int nextItemId()
{
    static std::atomic<int> counter{0};
    return ++counter;
}

} // namespace

TrayItem::TrayItem(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)),
      serviceName_(QStringLiteral("org.kde.StatusNotifierItem-%1-%2")
                       .arg(QCoreApplication::applicationPid())
                       .arg(nextItemId())),
      adaptor_(
          new StatusNotifierItemAdaptor(this, [this](QPoint p) { Q_EMIT activateRequested(p); }))
{
    // The ink follows the desktop palette; Qt reports its changes as an application event.
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
    rebuildIcon();
    publish();
}

TrayItem::~TrayItem()
{
    leaveFallback();
    if (ownsName_)
        bus_.unregisterService(serviceName_);
    if (exported_)
        bus_.unregisterObject(itemPath);
}

void TrayItem::setStyle(BarStyle style)
{
    if (style == style_)
        return;
    style_ = style;
    rebuildIcon();
    publish();
}

void TrayItem::setLabel(const QString& label)
{
    if (label == label_)
        return;
    label_ = label;
    publish();
    if (fallback_)
        fallback_->setToolTip(label_);
}

void TrayItem::setLabelImage(const LabelImage& image)
{
    if (image == image_)
        return;
    image_ = image;
    if (style_ != BarStyle::stacked)
        return;
    rebuildIcon();
    publish();
}

void TrayItem::show()
{
    if (shown_)
        return;
    shown_ = true;
    if (bus_.isConnected()) {
        exported_ = bus_.registerObject(itemPath, this, QDBusConnection::ExportAdaptors);
        // Without our well-known name the watcher is given the connection's unique name.
        ownsName_ = exported_ && bus_.registerService(serviceName_);
    }
    if (!exported_) {
        enterFallback();
        return;
    }
    // Watch before asking, so a watcher that starts in between is not missed.
    watcher_ = std::make_unique<QDBusServiceWatcher>(watcherService, bus_,
                                                     QDBusServiceWatcher::WatchForOwnerChange);
    connect(watcher_.get(), &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                onWatcherOwnerChanged(newOwner);
            });
    registerWithWatcher();
}

void TrayItem::registerWithWatcher()
{
    const quint64 attempt = ++registerAttempt_;
    QDBusMessage call = QDBusMessage::createMethodCall(
        watcherService, watcherPath, watcherService, QStringLiteral("RegisterStatusNotifierItem"));
    call << (ownsName_ ? serviceName_ : bus_.baseService());
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call, registerTimeoutMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, attempt](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                if (attempt != registerAttempt_)
                    return;
                registered_ = !done->isError();
                if (registered_)
                    leaveFallback();
                else
                    enterFallback();
            });
}

void TrayItem::onWatcherOwnerChanged(const QString& newOwner)
{
    if (!newOwner.isEmpty()) {
        // A new watcher knows nothing of us, even if the old one had us registered.
        registerWithWatcher();
        return;
    }
    ++registerAttempt_;
    registered_ = false;
    enterFallback();
}

void TrayItem::enterFallback()
{
    // QSystemTrayIcon is a widgets class and needs a QApplication.
    if (fallback_ || !qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    fallback_ = std::make_unique<QSystemTrayIcon>();
    connect(fallback_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // A double click arrives after its first click; that one already toggled.
                if (reason == QSystemTrayIcon::DoubleClick)
                    return;
                const QRect where = fallback_->geometry();
                Q_EMIT activateRequested(where.isValid() ? where.center() : QCursor::pos());
            });
    updateFallback();
    fallback_->show();
}

void TrayItem::leaveFallback()
{
    if (!fallback_)
        return;
    fallback_->hide();
    fallback_.reset();
}

void TrayItem::rebuildIcon()
{
    const QColor ink = tray_art::textColor();
    if (style_ == BarStyle::stacked && !image_.isNull()) {
        iconNormal_ = tray_art::tinted(image_.normal, ink);
        iconHiDpi_ = tray_art::tinted(image_.hiDpi, ink);
    } else {
        // The one-line style shows its text beside a symbol; with no drawing yet, the
        // symbol alone keeps the item visible.
        iconNormal_ = tray_art::appSymbol(22, ink);
        iconHiDpi_ = tray_art::appSymbol(44, ink);
        iconHiDpi_.setDevicePixelRatio(2);
    }
    sniIcon_.clear();
    for (const QImage* image : {&iconNormal_, &iconHiDpi_})
        if (!image->isNull())
            sniIcon_.append(SniPixmap::fromImage(*image));
    if (fallback_)
        updateFallback();
}

void TrayItem::publish()
{
    SniState next;
    next.title = label_;
    next.icon = sniIcon_;
    next.toolTip.title = label_;
    if (style_ == BarStyle::wide) {
        next.label = label_;
        next.labelGuide = tray_art::labelGuide(label_);
    }
    adaptor_->publish(next);
}

void TrayItem::updateFallback()
{
    QIcon icon;
    for (const QImage* image : {&iconNormal_, &iconHiDpi_})
        if (!image->isNull())
            icon.addPixmap(QPixmap::fromImage(*image));
    fallback_->setIcon(icon);
    fallback_->setToolTip(label_);
}

bool TrayItem::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == QCoreApplication::instance() &&
        event->type() == QEvent::ApplicationPaletteChange) {
        rebuildIcon();
        publish();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace corvane
