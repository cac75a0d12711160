#include "ui/Icons.h"

#include "ui/Theme.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

// Resources of a static library must be registered by hand, outside any namespace.
static void initIconResources()
{
    Q_INIT_RESOURCE(corvane_ui);
}

namespace corvane {

namespace icons {

namespace {

QByteArray source(const QString& name)
{
    static const bool registered = (initIconResources(), true);
    Q_UNUSED(registered);
    QFile f(QStringLiteral(":/corvane/ui/icons/%1.svg").arg(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// One parsed drawing per symbol and colour; the drawings say "currentColor" where the tint
// goes. Never freed, like the fonts: a handful of small objects.
QSvgRenderer& renderer(const QString& name, const QColor& color)
{
    static auto* cache = new QHash<QString, QSvgRenderer*>();
    const QString key = name + QLatin1Char('|') + color.name(QColor::HexArgb);
    if (QSvgRenderer* r = cache->value(key))
        return *r;
    QByteArray svg = source(name);
    if (svg.isEmpty())
        svg = source(QStringLiteral("network-idle"));
    svg.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
    auto* r = new QSvgRenderer(svg);
    cache->insert(key, r);
    return *r;
}

} // namespace

bool has(const QString& name)
{
    return !source(name).isEmpty();
}

void paint(QPainter& p, const QRectF& box, const QString& name, const QColor& color)
{
    QColor opaque = color;
    opaque.setAlpha(255);
    const qreal side = std::min(box.width(), box.height());
    const QRectF square(box.center() - QPointF(side / 2, side / 2), QSizeF(side, side));
    p.save();
    p.setOpacity(p.opacity() * color.alphaF());
    p.setRenderHint(QPainter::Antialiasing);
    renderer(name, opaque).render(&p, square);
    p.restore();
}

} // namespace icons

IconView::IconView(QSize frame, int iconSize, QWidget* parent)
    : QWidget(parent), frame_(frame), iconSize_(iconSize)
{
    setFixedSize(frame);
}

void IconView::setIcon(const QString& name, const QColor& color)
{
    if (name == name_ && color == color_)
        return;
    name_ = name;
    color_ = color;
    update();
}

void IconView::paintEvent(QPaintEvent*)
{
    if (name_.isEmpty())
        return;
    QPainter p(this);
    const QRectF box(QPointF(0, 0), QSizeF(iconSize_, iconSize_));
    icons::paint(p, box.translated(QRectF(rect()).center() - box.center()), name_, color_);
}

IconButton::IconButton(const QString& name, int iconSize, QWidget* parent)
    : QAbstractButton(parent), name_(name), iconSize_(iconSize)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(sizeHint());
}

void IconButton::setIcon(const QString& name)
{
    if (name == name_)
        return;
    name_ = name;
    update();
}

QSize IconButton::sizeHint() const
{
    return {iconSize_ + 2, iconSize_ + 2};
}

void IconButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QColor c = underMouse() ? theme::primary : theme::secondary;
    const QRectF box(QPointF(0, 0), QSizeF(iconSize_, iconSize_));
    icons::paint(p, box.translated(QRectF(rect()).center() - box.center()), name_,
                 isDown() ? theme::alpha(c, 0.6) : c);
}

} // namespace corvane
