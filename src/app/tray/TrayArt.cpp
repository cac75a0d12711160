#include "app/tray/TrayArt.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

namespace corvane::tray_art {

QColor textColor()
{
    const QColor window = QGuiApplication::palette().color(QPalette::Window);
    return window.lightness() > 127 ? QColor(0x20, 0x20, 0x20) : QColor(Qt::white);
}

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

QImage appSymbol(int px, const QColor& ink)
{
    QImage out(px, px, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
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
