#include "app/tray/TrayArt.h"

#include "present/Label.h"
#include "present/LabelFont.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace corvane::tray_art {

namespace {

// Dark enough under white ink for about 8:1 on a white panel, still visible on a black one.
const QColor plateColor(0, 0, 0, 184);

void paintPlate(QPainter& p, const QRectF& r)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(plateColor);
    const qreal radius = std::min(r.width(), r.height()) * 0.2;
    p.drawRoundedRect(r, radius, radius);
}

QImage blank(QSize size)
{
    QImage out(size, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    return out;
}

// Bold figures read best at a few pixels high; the label's number family keeps the digits
// of equal width, so a changing figure does not wobble.
QFont figureFont(int pixelSize)
{
    QFont f(labelFonts().numberFamily);
    f.setPixelSize(std::max(pixelSize, 1));
    f.setWeight(QFont::Bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

qreal digitHeight(const QFont& f)
{
    return QFontMetricsF(f).tightBoundingRect(QStringLiteral("0123456789")).height();
}

} // namespace

QImage tinted(const QImage& mask, const QColor& ink)
{
    if (mask.isNull())
        return {};
    QImage out = mask.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    // Fill every device pixel, whatever pixel ratio the drawing was made at.
    const qreal ratio = out.devicePixelRatio();
    out.setDevicePixelRatio(1);
    QPainter p(&out);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(out.rect(), ink);
    p.end();
    out.setDevicePixelRatio(ratio);
    return out;
}

QImage inked(const QImage& mask, const TrayInk& ink)
{
    QImage drawing = tinted(mask, ink.ink);
    if (drawing.isNull() || !ink.backdrop)
        return drawing;
    const qreal ratio = drawing.devicePixelRatio();
    const int margin = static_cast<int>(std::lround(2 * ratio));
    drawing.setDevicePixelRatio(1);
    QImage out = blank(drawing.size() + QSize(2 * margin, 2 * margin));
    QPainter p(&out);
    paintPlate(p, out.rect());
    p.drawImage(margin, margin, drawing);
    p.end();
    out.setDevicePixelRatio(ratio);
    return out;
}

QImage appSymbol(int px, const QColor& ink)
{
    QImage out = blank(QSize(std::max(px, 0), std::max(px, 0)));
    if (px <= 0)
        return out;
    QPainter p(&out);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(px / 22.0, px / 22.0);
    // Drawn on a 22-unit grid, the usual tray icon size; matches the app icon's arrows.
    QPainterPath down;
    down.moveTo(5, 3);
    down.lineTo(9, 3);
    down.lineTo(9, 12);
    down.lineTo(12, 12);
    down.lineTo(7, 19);
    down.lineTo(2, 12);
    down.lineTo(5, 12);
    down.closeSubpath();
    QPainterPath up;
    up.moveTo(15, 3);
    up.lineTo(20, 10);
    up.lineTo(17, 10);
    up.lineTo(17, 19);
    up.lineTo(13, 19);
    up.lineTo(13, 10);
    up.lineTo(10, 10);
    up.closeSubpath();
    p.fillPath(down, ink);
    p.fillPath(up, ink);
    p.end();
    return out;
}

QImage squareLabel(int px, const QString& down, const QString& up, bool dimDown, bool dimUp,
                   const TrayInk& ink)
{
    QImage out = blank(QSize(std::max(px, 0), std::max(px, 0)));
    if (px < 8)
        return out;
    QPainter p(&out);
    if (ink.backdrop)
        paintPlate(p, out.rect());
    const int pad = ink.backdrop ? std::max(1, px / 12) : 0;
    const QRectF inner(pad, pad, px - 2 * pad, px - 2 * pad);
    const qreal gap = std::max(1.0, std::round(px / 16.0));
    const qreal lineBox = (inner.height() - gap) / 2;

    // The largest figures whose digits fit the line's box, then squeezed sideways to fit
    // the width; below 70 % a figure turns illegible, so the size shrinks instead.
    constexpr qreal minSqueeze = 0.7;
    QFont font;
    qreal squeeze = 1;
    qreal digits = 0;
    for (int size = px; size >= 4; --size) {
        font = figureFont(size);
        digits = digitHeight(font);
        if (digits > lineBox)
            continue;
        const QFontMetricsF fm(font);
        const qreal widest = std::max(fm.horizontalAdvance(down), fm.horizontalAdvance(up));
        squeeze = widest > 0 ? std::min(1.0, inner.width() / widest) : 1;
        if (squeeze >= minSqueeze)
            break;
    }

    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(font);
    const QFontMetricsF fm(font);
    const auto line = [&](const QString& text, bool dimmed, qreal boxTop) {
        QColor c = ink.ink;
        c.setAlphaF(static_cast<float>(dimmed ? stacked_label::dimmedAlpha : 1.0));
        p.setPen(c);
        // Whole-pixel baselines keep the digits' top and bottom edges sharp.
        const qreal baseline = std::round(boxTop + (lineBox + digits) / 2);
        p.save();
        p.translate(inner.right(), baseline);
        p.scale(squeeze, 1);
        p.drawText(QPointF(-fm.horizontalAdvance(text), 0), text);
        p.restore();
    };
    line(down, dimDown, inner.top());
    line(up, dimUp, inner.top() + lineBox + gap);
    p.end();
    return out;
}

QImage wideLabel(int height, const QString& text, const TrayInk& ink)
{
    if (height < 8)
        return {};
    // Digits about 60 % of the height, as a panel's own text would be.
    int size = height;
    QFont font = figureFont(size);
    while (size > 4 && digitHeight(font) > height * 0.6)
        font = figureFont(--size);
    font.setWeight(QFont::DemiBold);
    const QFontMetricsF fm(font);
    const qreal margin = ink.backdrop ? height * 0.3 : 1;
    const int width = static_cast<int>(std::ceil(fm.horizontalAdvance(text) + 2 * margin));
    QImage out = blank(QSize(width, height));
    QPainter p(&out);
    if (ink.backdrop)
        paintPlate(p, out.rect());
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(font);
    p.setPen(ink.ink);
    p.drawText(QPointF(margin, std::round((height + digitHeight(font)) / 2)), text);
    p.end();
    return out;
}

QString labelGuide(const QString& label)
{
    QString guide = label;
    for (QChar& c : guide) {
        if (c.isDigit() || c == u'.' || c == u',' || c == QChar(0x2007))
            c = u'0';
        else if (c == u'K' || c == u'G' || c == u'T')
            c = u'M';
    }
    return guide;
}

} // namespace corvane::tray_art
