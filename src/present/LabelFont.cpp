#include "present/LabelFont.h"

#include "present/RateUnits.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <cmath>

namespace corvane {

namespace {

constexpr qreal arrowSize = 8;
constexpr qreal numberSize = 9;
constexpr qreal unitSize = 6.5;

// Font sizes are set in points on purpose: QFont::setPixelSize() takes whole pixels only and
// the unit font is 6.5. On a 72-dpi device a point is a pixel, so every size lands exactly
// where the layout expects it at 1x, and the 2x image simply scales the painter.
QFont sized(QFont f, qreal size, QFont::Weight weight)
{
    f.setPointSizeF(size);
    f.setWeight(weight);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

QFont uiFont()
{
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont);
}

} // namespace

const QPaintDevice& labelMetricsDevice()
{
    // Never freed: fonts and paint devices must not be torn down after the application.
    static const QImage* device = [] {
        auto* img = new QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
        img->setDotsPerMeterX(labelDotsPerMeter);
        img->setDotsPerMeterY(labelDotsPerMeter);
        return img;
    }();
    return *device;
}

bool hasTabularFigures(const QFont& font)
{
    const QFontMetricsF fm(font, &labelMetricsDevice());
    const qreal advance = fm.horizontalAdvance(QChar(figureSpace));
    if (!(advance > 0))
        return false;
    constexpr qreal tolerance = 1e-3;
    for (char16_t c = u'0'; c <= u'9'; ++c) {
        if (std::abs(fm.horizontalAdvance(QChar(c)) - advance) > tolerance)
            return false;
    }
    // Kerning between figures would break the column as surely as unequal advances.
    const QString run = QStringLiteral("0123456789") + QChar(figureSpace) + QStringLiteral("1");
    return std::abs(fm.horizontalAdvance(run) - advance * run.size()) <= tolerance * run.size();
}

QList<QFont> labelNumberFontCandidates()
{
    QList<QFont> fonts{uiFont()};
    for (const char* family : {"DejaVu Sans", "Noto Sans", "Cantarell", "Liberation Sans"}) {
        // Without this check fontconfig would quietly hand back its default for a missing one.
        if (QFontDatabase::hasFamily(QLatin1String(family)))
            fonts << QFont(QLatin1String(family));
    }
    fonts << QFontDatabase::systemFont(QFontDatabase::FixedFont);
    return fonts;
}

LabelFonts chooseLabelFonts(const QList<QFont>& numberCandidates)
{
    LabelFonts fonts;
    const QFont ui = uiFont();
    fonts.arrow = sized(ui, arrowSize, QFont::DemiBold);
    fonts.unit = sized(ui, unitSize, QFont::Medium);

    fonts.number = sized(ui, numberSize, QFont::Medium);
    for (const QFont& candidate : numberCandidates) {
        fonts.number = sized(candidate, numberSize, QFont::Medium);
        fonts.tabularFigures = hasTabularFigures(fonts.number);
        if (fonts.tabularFigures)
            break;
    }
    fonts.numberFamily = QFontInfo(fonts.number).family();
    const QFontMetricsF fm(fonts.number, &labelMetricsDevice());
    fonts.numberColumnWidth =
        static_cast<int>(std::ceil(fm.horizontalAdvance(QString(4, QChar(figureSpace)))));
    return fonts;
}

const LabelFonts& labelFonts()
{
    // Never freed, like the metrics device.
    static const LabelFonts* fonts = new LabelFonts(chooseLabelFonts(labelNumberFontCandidates()));
    return *fonts;
}

} // namespace corvane
