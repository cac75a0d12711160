#include "app/tray/TrayItem.h"

#include "app/tray/StatusNotifierItemObject.h"
#include "app/tray/TrayArt.h"
#include "platform/XdgDirs.h"
#include "platform/desktop/TrayDesktop.h"
#include "present/Label.h"

#include <QApplication>
#include <QCursor>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDir>
#include <QIcon>
#include <QLoggingCategory>
#include <QMenu>
#include <QPixmap>
#include <QScreen>
#include <QSystemTrayIcon>
#include <atomic>

namespace corvane {

Q_LOGGING_CATEGORY(lcTray, "corvane.tray", QtWarningMsg)

namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString itemPath = QStringLiteral("/StatusNotifierItem");
const QString menuPath = QStringLiteral("/MenuBar");
// A watcher that does not answer within this time is treated as absent.
constexpr int registerTimeoutMs = 5000;
// Some hosts drop an item seconds after accepting it (GNOME's AppIndicator extension does
// when reading its properties fails); it is checked this often after each registration.
constexpr int recheckIntervalMs = 1500;
constexpr int rechecks = 3;

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
      item_(new StatusNotifierItemObject(
          bus_, itemPath, menuPath,
          {[this](QPoint p) { Q_EMIT activateRequested(p); }, [this](QPoint p) { showMenuAt(p); }},
          this)),
      menu_(new DBusMenuObject(
          bus_, menuPath, [this](TrayAction a) { Q_EMIT actionRequested(a); }, this)),
      tone_(std::make_unique<PanelToneWatcher>(bus_, xdg::configHome()))
{
    connect(tone_.get(), &PanelToneWatcher::toneChanged, this, [this] {
        rebuild();
        publish();
    });
    recheckTimer_.setInterval(recheckIntervalMs);
    connect(&recheckTimer_, &QTimer::timeout, this, &TrayItem::checkStillRegistered);
    menu_->setMenu(trayMenu({}));
    connect(menu_, &DBusMenuObject::opened, this, &TrayItem::menuOpened);
    rebuild();
    publish();
}

TrayItem::~TrayItem()
{
    leaveFallback();
    if (ownsName_)
        bus_.unregisterService(serviceName_);
    if (exported_) {
        bus_.unregisterObject(itemPath);
        bus_.unregisterObject(menuPath);
    }
}

TrayPresentation TrayItem::presentation() const
{
    return chooseTrayPresentation(host_, style_);
}

TrayInk TrayItem::ink() const
{
    return chooseTrayInk(inkPreference_, host_,
                         host_ == TrayHost::xembed ? sampledTone_ : tone_->tone());
}

void TrayItem::setStyle(BarStyle style)
{
    if (style == style_)
        return;
    style_ = style;
    rebuild();
    publish();
}

void TrayItem::setLabel(const QString& label, const SpeedSample& sample, RateUnits units)
{
    if (label == label_ && sample == sample_ && units == units_)
        return;
    label_ = label;
    sample_ = sample;
    units_ = units;
    if (presentation().icon != TrayIconKind::stacked)
        rebuild();
    publish();
}

void TrayItem::setLabelImage(const LabelImage& image)
{
    if (image == image_)
        return;
    image_ = image;
    if (presentation().icon != TrayIconKind::stacked)
        return;
    rebuild();
    publish();
}

void TrayItem::setLabelInk(LabelInk ink)
{
    if (ink == inkPreference_)
        return;
    inkPreference_ = ink;
    rebuild();
    publish();
}

void TrayItem::setMenuState(const TrayMenuState& state)
{
    const MenuEntry menu = trayMenu(state);
    menu_->setMenu(menu);
    if (fallbackMenu_)
        fillMenu(fallbackMenu_.get(), menu, [this](TrayAction a) { Q_EMIT actionRequested(a); });
}

void TrayItem::show()
{
    if (shown_)
        return;
    shown_ = true;
    if (bus_.isConnected()) {
        exported_ = bus_.registerVirtualObject(itemPath, item_) &&
                    bus_.registerVirtualObject(menuPath, menu_);
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
    // Qt D-Bus 6.4 offers no pointer-to-member form of this connect.
    bus_.connect(watcherService, watcherPath, watcherService,
                 QStringLiteral("StatusNotifierItemUnregistered"), this,
                 SLOT(onItemUnregistered(QString)));
    detectHost();
    registerWithWatcher();
}

void TrayItem::registerWithWatcher()
{
    const quint64 attempt = ++registerAttempt_;
    recheckTimer_.stop();
    QDBusMessage call = QDBusMessage::createMethodCall(
        watcherService, watcherPath, watcherService, QStringLiteral("RegisterStatusNotifierItem"));
    // GNOME's extension watches a registered bus name and, when it sees that name's owner,
    // clears its copy of Id and Menu and re-reads them a second later, failing on its own
    // cleared copy ("Argument two may not be null") and dropping the item. Registered by
    // object path, as the Ayatana library does, the item is the connection's and no name
    // is watched.
    if (host_ == TrayHost::gnome)
        call << itemPath;
    else
        call << (ownsName_ ? serviceName_ : bus_.baseService());
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call, registerTimeoutMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, attempt](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                if (attempt != registerAttempt_)
                    return;
                // Once per failed state: a host that never comes would repeat it forever.
                if (done->isError() && !warned_)
                    qCWarning(lcTray) << "no tray host took the item:" << done->error().message();
                warned_ = done->isError();
                onRegistered(!done->isError());
            });
}

void TrayItem::onRegistered(bool ok)
{
    registered_ = ok;
    if (!ok) {
        enterFallback();
        return;
    }
    leaveFallback();
    recheck_ = rechecks;
    recheckTimer_.start();
    if (host_ == TrayHost::gnome) {
        // Should the extension still clear its copy of Id and Menu (an owner change it sees
        // late), both sent as changed properties within the second refill it first.
        const quint64 attempt = registerAttempt_;
        for (int ms : {250, 600, 900})
            QTimer::singleShot(ms, this, [this, attempt] {
                if (attempt == registerAttempt_)
                    item_->announceEssentials();
            });
    }
}

bool TrayItem::isOurs(const QString& entry) const
{
    // Watchers list items as "service/path", "service@path", "service" or the connection's
    // unique name.
    const auto matches = [&](const QString& service) {
        return entry == service || entry.startsWith(service + u'/') ||
               entry.startsWith(service + u'@');
    };
    return matches(serviceName_) || matches(bus_.baseService());
}

void TrayItem::checkStillRegistered()
{
    if (--recheck_ <= 0)
        recheckTimer_.stop();
    QDBusMessage get = QDBusMessage::createMethodCall(
        watcherService, watcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << watcherService << QStringLiteral("RegisteredStatusNotifierItems");
    const quint64 attempt = registerAttempt_;
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(get, registerTimeoutMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, attempt](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                // A watcher without the property cannot be checked; trust its answer.
                if (attempt != registerAttempt_ || done->isError())
                    return;
                const QDBusMessage reply = done->reply();
                const QStringList items =
                    reply.arguments().value(0).value<QDBusVariant>().variant().toStringList();
                for (const QString& entry : items)
                    if (isOurs(entry)) {
                        // GNOME shows a placeholder for an item re-added after a restart
                        // until something changes: once, when the host has settled.
                        if (recheck_ == rechecks - 1)
                            item_->announce();
                        return;
                    }
                registerWithWatcher();
            });
}

void TrayItem::onItemUnregistered(const QString& entry)
{
    if (registered_ && isOurs(entry))
        registerWithWatcher();
}

void TrayItem::onWatcherOwnerChanged(const QString& newOwner)
{
    if (!newOwner.isEmpty()) {
        // A new watcher knows nothing of us, even if the old one had us registered. The item
        // is drawn for its host before the host first reads it: GNOME's extension fails on
        // changes that arrive while it sets the item up.
        detectHost();
        registerWithWatcher();
        return;
    }
    ++registerAttempt_;
    recheckTimer_.stop();
    registered_ = false;
    enterFallback();
}

void TrayItem::detectHost()
{
    const TrayHost host =
        detectTrayHost(trayHostProcesses(bus_), qEnvironmentVariable("XDG_CURRENT_DESKTOP"));
    if (host == host_)
        return;
    host_ = host;
    tone_->follow(host_);
    rebuild();
    publish();
}

void TrayItem::enterFallback()
{
    // QSystemTrayIcon is a widgets class and needs a QApplication.
    if (fallback_ || !qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    host_ = TrayHost::xembed;
    tone_->follow(host_);
    rebuild();
    fallback_ = std::make_unique<QSystemTrayIcon>();
    fallbackMenu_ = std::make_unique<QMenu>();
    fillMenu(fallbackMenu_.get(), menu_->menu(),
             [this](TrayAction a) { Q_EMIT actionRequested(a); });
    fallback_->setContextMenu(fallbackMenu_.get());
    connect(fallback_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // A double click arrives after its first click; that one already toggled.
                if (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::MiddleClick)
                    return;
                const QRect where = fallback_->geometry();
                Q_EMIT activateRequested(where.isValid() ? where.center() : QCursor::pos());
            });
    publish();
    fallback_->show();
    // A classic tray says nothing of its colour, but shows it around the icon once docked.
    QTimer::singleShot(1000, fallback_.get(), [this] { sampleFallbackBackground(); });
}

void TrayItem::sampleFallbackBackground()
{
    const QRect r = fallback_->geometry();
    QScreen* screen = QGuiApplication::screenAt(r.center());
    if (!r.isValid() || !screen)
        return;
    const QRect around = r.adjusted(-2, -2, 2, 2).intersected(screen->geometry());
    const QImage shot =
        screen
            ->grabWindow(0, around.x() - screen->geometry().x(),
                         around.y() - screen->geometry().y(), around.width(), around.height())
            .toImage();
    if (shot.isNull())
        return;
    // The ring just outside the icon is the tray's own background.
    qreal sum = 0;
    int n = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            if (!r.contains(around.topLeft() + QPoint(x, y))) {
                sum += QColor(shot.pixel(x, y)).lightnessF();
                ++n;
            }
    const PanelTone tone =
        n == 0 ? PanelTone::unknown : (sum / n > 0.5 ? PanelTone::light : PanelTone::dark);
    if (tone == sampledTone_)
        return;
    sampledTone_ = tone;
    rebuild();
    publish();
}

void TrayItem::leaveFallback()
{
    if (!fallback_)
        return;
    fallback_->hide();
    fallback_.reset();
    fallbackMenu_.reset();
}

void TrayItem::rebuild()
{
    const TrayInk ink = this->ink();
    const ScaledRate down(sample_.downMbps, units_);
    const ScaledRate up(sample_.upMbps, units_);
    QList<QImage> images;
    switch (presentation().icon) {
    case TrayIconKind::square:
        for (int px : tray_art::squareSizes)
            images << tray_art::squareLabel(px, down.value, up.value, isIdleRate(sample_.downMbps),
                                            isIdleRate(sample_.upMbps), ink);
        break;
    case TrayIconKind::stacked:
        if (!image_.isNull()) {
            images << tray_art::inked(image_.normal, ink) << tray_art::inked(image_.hiDpi, ink);
            break;
        }
        [[fallthrough]]; // nothing drawn yet: the symbol keeps the item visible
    case TrayIconKind::symbol:
        for (int px : tray_art::squareSizes)
            images << tray_art::inked(tray_art::appSymbol(px, Qt::black), ink);
        break;
    case TrayIconKind::wide:
        for (int h : tray_art::wideHeights)
            images << tray_art::wideLabel(h, label_, ink);
        break;
    }
    iconImages_ = images;
    icon_.clear();
    for (const QImage& image : std::as_const(iconImages_))
        if (!image.isNull())
            icon_.append(SniPixmap::fromImage(image));
}

void TrayItem::publish()
{
    SniState next;
    next.title = label_;
    next.icon = icon_;
    next.toolTip.title = label_;
    const TrayPresentation shown = presentation();
    if (shown.label) {
        next.label = label_;
        next.labelGuide = tray_art::labelGuide(label_);
    } else if (shown.keepLabelProperty) {
        next.label = QString();
    }
    item_->publish(next);
    if (fallback_) {
        QIcon icon;
        for (const QImage& image : std::as_const(iconImages_))
            if (!image.isNull())
                icon.addPixmap(QPixmap::fromImage(image));
        fallback_->setIcon(icon);
        fallback_->setToolTip(label_);
    }
}

void TrayItem::showMenuAt(QPoint pos)
{
    // Hosts that cannot draw the exported menu ask for one here.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    if (!fallbackMenu_) {
        fallbackMenu_ = std::make_unique<QMenu>();
        fillMenu(fallbackMenu_.get(), menu_->menu(),
                 [this](TrayAction a) { Q_EMIT actionRequested(a); });
    }
    fallbackMenu_->popup(pos.isNull() ? QCursor::pos() : pos);
}

} // namespace corvane
