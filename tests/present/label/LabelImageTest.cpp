#include "present/Label.h"
#include "present/LabelFont.h"

#include <QFontMetricsF>
#include <gtest/gtest.h>

using namespace corvane;

namespace {

// The strongest ink (alpha) in the figures of one line of the 2x image `img`.
int inkIn(const QImage& img, bool downLine)
{
    int ink = 0;
    for (int y = (downLine ? 0 : 20); y < (downLine ? 20 : 42); ++y)
        for (int x = 14; x < (7 + labelFonts().numberColumnWidth) * 2; ++x)
            ink = std::max(ink, qAlpha(img.pixel(x, y)));
    return ink;
}

// Numbers use a font whose figures and figure space are equal. Where each part is drawn is
// held to the documentation's render by the real-binary test; that render shows no idle
// line, nor the two resolutions the tray gets.
TEST(StackedImage, TabularFiguresBothResolutionsOnAClearGroundWithTheIdleLineDimmed)
{
    const QFontMetricsF fm(labelFonts().number, &labelMetricsDevice());
    for (char16_t c = u'0'; c <= u'9'; ++c)
        EXPECT_DOUBLE_EQ(fm.horizontalAdvance(QChar(c)), fm.horizontalAdvance(figureSpace));
    // Word spacing widens U+2007 but not the digits: such a font is passed over.
    QFont spaced(QStringLiteral("DejaVu Sans"));
    spaced.setWordSpacing(2);
    EXPECT_EQ(chooseLabelFonts({spaced, QFont(QStringLiteral("DejaVu Serif"))}).numberFamily,
              QStringLiteral("DejaVu Serif"));
    EXPECT_FALSE(chooseLabelFonts({spaced}).tabularFigures);

    const LabelImage img = renderStacked(ScaledRate(0.049, RateUnits::bits),
                                         ScaledRate(12.34, RateUnits::bits), true, false);
    const int w = labelFonts().numberColumnWidth;
    EXPECT_EQ(img.normal.size(), QSize(w + 20, 21));
    EXPECT_EQ(img.hiDpi.size(), QSize(2 * (w + 20), 42));
    EXPECT_EQ(img.hiDpi.devicePixelRatio(), 2.0);
    EXPECT_NEAR(inkIn(img.hiDpi, true), 0.45 * 255, 4);
    EXPECT_GE(inkIn(img.hiDpi, false), 250);
    EXPECT_EQ(qRed(img.hiDpi.pixel(0, 0)) + qGreen(img.hiDpi.pixel(30, 30)), 0);
}

} // namespace
