#include "ui/PanelWindow.h"

#include "model/AppViewModel.h"
#include "ui/PanelView.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>

namespace corvane {

namespace {

constexpr int clickGap = 6;
// A click on the tray item while the panel is open first closes the popup (a click outside
// it) and then arrives as an activation; one that close after a hide is that same click.
constexpr qint64 reopenGuardMs = 300;

bool onWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace

PanelWindow::PanelWindow(AppViewModel* model, QWidget* parent)
    : QWidget(parent), model_(model), view_(new PanelView(model, PanelView::Face::live, this))
{
    // Wayland only allows popups with a parent surface; a tray item has none, so there the
    // panel is a frameless tool window that closes when it loses focus.
    setWindowFlags(onWayland() ? Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                               : Qt::Popup | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setPalette(view_->palette());
    auto* l = new QVBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSizeConstraint(QLayout::SetFixedSize);
    l->addWidget(view_);
}

QPoint PanelWindow::anchorFor(QPoint reported, std::optional<QPoint> pointer)
{
    // A click lands on the item under the pointer; a report far from it is not a screen
    // position.
    constexpr int plausible = 64;
    if (pointer && (reported - *pointer).manhattanLength() > plausible)
        return *pointer;
    return reported;
}

QPoint PanelWindow::placement(QSize size, QPoint click, const QRect& screen, const QRect& available)
{
    const QRect area = available.isValid() ? available : screen;
    const int toTop = click.y() - screen.top();
    const int toBottom = screen.bottom() - click.y();
    const int toLeft = click.x() - screen.left();
    const int toRight = screen.right() - click.x();
    const int nearest = std::min({toTop, toBottom, toLeft, toRight});
    int x = click.x() - size.width() / 2;
    int y = click.y() - size.height() / 2;
    if (nearest == toTop)
        y = std::max(area.top(), screen.top() + 2 * toTop + 1) + clickGap;
    else if (nearest == toBottom)
        y = std::min(area.bottom(), screen.bottom() - 2 * toBottom - 1) + 1 - clickGap -
            size.height();
    else if (nearest == toLeft)
        x = std::max(area.left(), screen.left() + 2 * toLeft + 1) + clickGap;
    else
        x = std::min(area.right(), screen.right() - 2 * toRight - 1) + 1 - clickGap - size.width();
    x = std::max(area.left(), std::min(x, area.right() + 1 - size.width()));
    y = std::max(area.top(), std::min(y, area.bottom() + 1 - size.height()));
    return {x, y};
}

void PanelWindow::toggleAt(QPoint globalPos)
{
    if (isVisible()) {
        hide();
        hiddenAt_.invalidate(); // closed by this very click: the next one opens again
        return;
    }
    if (hiddenAt_.isValid() && hiddenAt_.elapsed() < reopenGuardMs) {
        hiddenAt_.invalidate();
        return;
    }
    adjustSize();
    // Wayland tells a client nothing of the pointer outside its own windows.
    const QPoint at =
        onWayland() ? globalPos : anchorFor(globalPos, std::optional<QPoint>(QCursor::pos()));
    QScreen* screen = QGuiApplication::screenAt(at);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        setScreen(screen);
        move(placement(size(), at, screen->geometry(), screen->availableGeometry()));
    }
    show();
    raise();
    activateWindow();
}

void PanelWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    PanelView::paintFrame(p, rect(), palette().window());
}

void PanelWindow::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    hiddenAt_.invalidate();
    model_->panelOpened();
}

void PanelWindow::hideEvent(QHideEvent* e)
{
    QWidget::hideEvent(e);
    hiddenAt_.start();
    model_->cancelPanelRefresh();
    model_->panelClosed();
}

bool PanelWindow::event(QEvent* e)
{
    // A popup closes itself on an outside click; the tool window used instead on Wayland
    // closes when it loses focus.
    if (e->type() == QEvent::WindowDeactivate && windowType() != Qt::Popup && isVisible())
        hide();
    return QWidget::event(e);
}

void PanelWindow::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        hide();
        return;
    }
    QWidget::keyPressEvent(e);
}

} // namespace corvane
