#include "present/Label.h"

#include "present/LabelFont.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

namespace corvane {

QString formatLabel(const SpeedSample& sample, RateUnits units)
{
    const ScaledRate d(sample.downMbps, units);
    const ScaledRate u(sample.upMbps, units);
    return QChar(u'\u2193') + d.padded() + d.unit + QStringLiteral(" \u2191") + u.padded() + u.unit;
}

QString labelCacheKey(const ScaledRate& down, const ScaledRate& up, bool dimDown, bool dimUp)
{
    const auto text = [](bool b) { return b ? QStringLiteral("true") : QStringLiteral("false"); };
    return down.value + u'|' + down.unit + u'|' + up.value + u'|' + up.unit + u'|' + text(dimDown) +
           text(dimUp);
}

namespace {

using namespace stacked_label;

// Layout is given bottom-up with each text's box resting on its point; QPainter is top-down
// and draws at the baseline, which sits one descent above the bottom of the box.
void drawAt(QPainter& p, const QFont& font, qreal alpha, qreal x, qreal yUp, const QString& text)
{
    const QFontMetricsF fm(font, &labelMetricsDevice());
    QColor ink(Qt::black);
    ink.setAlphaF(static_cast<float>(alpha));
    p.setFont(font);
    p.setPen(ink);
    p.drawText(QPointF(x, (height - yUp) - fm.descent()), text);
}

void drawLine(QPainter& p, const LabelFonts& fonts, const QString& arrow, const ScaledRate& rate,
              bool dimmed, qreal y)
{
    const qreal a = dimmed ? dimmedAlpha : lineAlpha;
    const int columnEnd = numberLeft + fonts.numberColumnWidth;
    const QString number = rate.padded();
    const qreal numberWidth =
        QFontMetricsF(fonts.number, &labelMetricsDevice()).horizontalAdvance(number);

    drawAt(p, fonts.arrow, a, 0, y, arrow);
    drawAt(p, fonts.number, a, columnEnd - std::ceil(numberWidth), y, number);
    drawAt(p, fonts.unit, a * unitAlphaFactor, columnEnd + 1, y + unitRaise, rate.unit);
}

QImage paint(const ScaledRate& down, const ScaledRate& up, bool dimDown, bool dimUp, int dpr)
{
    const LabelFonts& fonts = labelFonts();
    const QSize logical(fonts.numberColumnWidth + extraWidth, height);
    QImage img(logical * dpr, QImage::Format_ARGB32_Premultiplied);
    // Same resolution as the metrics device, so the painter sizes fonts as they were measured.
    img.setDotsPerMeterX(labelDotsPerMeter);
    img.setDotsPerMeterY(labelDotsPerMeter);
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::transparent);

    QPainter p(&img);
    p.setRenderHint(QPainter::TextAntialiasing);
    drawLine(p, fonts, QStringLiteral("\u2193"), down, dimDown, downBaseline);
    drawLine(p, fonts, QStringLiteral("\u2191"), up, dimUp, upBaseline);
    return img;
}

} // namespace

QImage renderStackedAt(const ScaledRate& down, const ScaledRate& up, bool dimDown, bool dimUp,
                       int scale)
{
    return paint(down, up, dimDown, dimUp, scale);
}

LabelImage renderStacked(const ScaledRate& down, const ScaledRate& up, bool dimDown, bool dimUp)
{
    return {paint(down, up, dimDown, dimUp, 1), paint(down, up, dimDown, dimUp, 2)};
}

} // namespace corvane
