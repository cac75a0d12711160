#pragma once

#include "app/tray/SniTypes.h"

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QPoint>
#include <functional>

namespace corvane {

// What the item shows; hosts read it as properties.
struct SniState {
    QString title;
    QList<SniPixmap> icon;
    SniToolTip toolTip;
    QString label; // only in the one-line style
    QString labelGuide;

    friend bool operator==(const SniState&, const SniState&) = default;
};

// The org.kde.StatusNotifierItem face of the tray item. Every signal and public slot here is
// exported on the bus, so the activation callback is a plain function, not a Qt signal.
class StatusNotifierItemAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconThemePath READ empty)
    Q_PROPERTY(QString IconName READ empty)
    Q_PROPERTY(QList<corvane::SniPixmap> IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ empty)
    Q_PROPERTY(QList<corvane::SniPixmap> OverlayIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionIconName READ empty)
    Q_PROPERTY(QList<corvane::SniPixmap> AttentionIconPixmap READ noPixmaps)
    Q_PROPERTY(corvane::SniToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
    Q_PROPERTY(QString XAyatanaLabel READ label)
    Q_PROPERTY(QString XAyatanaLabelGuide READ labelGuide)

public:
    // `parent` is the object exported at the item's path; `onActivate` receives every click.
    StatusNotifierItemAdaptor(QObject* parent, std::function<void(QPoint)> onActivate);

    // Takes the new content and tells hosts about exactly the parts that changed.
    void publish(const SniState& next);
    const SniState& state() const { return state_; }

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return QStringLiteral("corvane"); }
    QString title() const { return state_.title; }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString empty() const { return {}; }
    QList<SniPixmap> iconPixmap() const { return state_.icon; }
    QList<SniPixmap> noPixmaps() const { return {}; }
    SniToolTip toolTip() const { return state_.toolTip; }
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menu() const { return QDBusObjectPath(QStringLiteral("/NO_DBUSMENU")); }
    QString label() const { return state_.label; }
    QString labelGuide() const { return state_.labelGuide; }

public Q_SLOTS:
    void Activate(int x, int y);
    void SecondaryActivate(int x, int y);
    void ContextMenu(int x, int y);
    void Scroll(int delta, const QString& orientation);

Q_SIGNALS:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);
    void XAyatanaNewLabel(const QString& label, const QString& guide);

private:
    std::function<void(QPoint)> onActivate_;
    SniState state_;
};

} // namespace corvane
