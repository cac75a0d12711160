#include "present/Label.h"
#include "present/LabelFont.h"

#include <QFontMetricsF>
#include <gtest/gtest.h>

using namespace corvane;

namespace {

struct Ink {
    int right = -1, bottom = -1, maxAlpha = 0;
};

// Ink inside the number or unit column of one line, in pixels of `img`.
Ink inkIn(const QImage& img, bool unitColumn, bool downLine)
{
    const int dpr = int(img.devicePixelRatio());
    const int w = labelFonts().numberColumnWidth;
    Ink ink;
    for (int y = (downLine ? 0 : 10) * dpr; y < (downLine ? 10 : 21) * dpr; ++y)
        for (int x = (unitColumn ? 8 + w : 7) * dpr; x < (unitColumn ? w + 20 : 7 + w) * dpr; ++x)
            if (const int a = qAlpha(img.pixel(x, y)))
                ink = {std::max(ink.right, x), std::max(ink.bottom, y), std::max(ink.maxAlpha, a)};
    return ink;
}

LabelImage render(double down, double up)
{
    return renderStacked(ScaledRate(down, RateUnits::bits), ScaledRate(up, RateUnits::bits),
                         isIdleRate(down), isIdleRate(up));
}

TEST(LabelFonts, NumbersUseAFontWhoseFiguresAndFigureSpaceAreEqual)
{
    const QFontMetricsF fm(labelFonts().number, &labelMetricsDevice());
    for (char16_t c = u'0'; c <= u'9'; ++c)
        EXPECT_DOUBLE_EQ(fm.horizontalAdvance(QChar(c)), fm.horizontalAdvance(figureSpace));
    // Word spacing widens U+2007 but not the digits: such a font is passed over.
    QFont spaced(QStringLiteral("DejaVu Sans"));
    spaced.setWordSpacing(2);
    const LabelFonts chosen = chooseLabelFonts({spaced, QFont(QStringLiteral("DejaVu Serif"))});
    EXPECT_EQ(chosen.numberFamily, QStringLiteral("DejaVu Serif"));
    EXPECT_FALSE(chooseLabelFonts({spaced}).tabularFigures);
}

TEST(StackedImage, SizeBaselinesAndAlphaPerLineAndUnit)
{
    const LabelImage img = render(0.049, 12.34); // download idle, upload busy
    const int w = labelFonts().numberColumnWidth;
    EXPECT_EQ(img.normal.size(), QSize(w + 20, 21));
    EXPECT_EQ(img.hiDpi.size(), QSize(2 * (w + 20), 42));
    EXPECT_EQ(img.hiDpi.devicePixelRatio(), 2.0);
    // Text boxes rest 11 and 1 units up, so the figures stand one descent above that.
    const qreal descent = QFontMetricsF(labelFonts().number, &labelMetricsDevice()).descent();
    for (const QImage& im : {img.normal, img.hiDpi}) {
        const qreal dpr = im.devicePixelRatio();
        EXPECT_NEAR((inkIn(im, false, true).bottom + 1) / dpr, 10 - descent, 0.75) << dpr;
        EXPECT_NEAR((inkIn(im, false, false).bottom + 1) / dpr, 20 - descent, 0.75) << dpr;
    }
    EXPECT_NEAR(inkIn(img.hiDpi, false, true).maxAlpha, 0.45 * 255, 4);
    EXPECT_LE(inkIn(img.hiDpi, true, true).maxAlpha, 81); // 0.45 × 0.7
    EXPECT_GE(inkIn(img.hiDpi, false, false).maxAlpha, 250);
    EXPECT_GT(inkIn(img.hiDpi, true, false).maxAlpha, 150);
    EXPECT_LE(inkIn(img.hiDpi, true, false).maxAlpha, 179); // 0.7
    EXPECT_EQ(qRed(img.hiDpi.pixel(0, 0)) + qGreen(img.hiDpi.pixel(30, 30)), 0);
}

TEST(StackedImage, NumbersLineUpOnTheirLastDigit)
{
    for (const bool hiDpi : {false, true}) {
        const auto lastColumn = [hiDpi](double mbps) {
            const LabelImage img = render(mbps, mbps);
            return inkIn(hiDpi ? img.hiDpi : img.normal, false, true).right;
        };
        // 0, 50, 850 and 1000 Kb all end in a zero drawn at the same place.
        const int end = lastColumn(0);
        EXPECT_GT(end, 0);
        for (const double mbps : {0.05, 0.85, 0.9994})
            EXPECT_EQ(lastColumn(mbps), end) << mbps << (hiDpi ? " at 2x" : " at 1x");
        // A point makes 12.3 narrower than four figures; it still ends at the column's end.
        EXPECT_NEAR(lastColumn(12.34), end, hiDpi ? 2 : 1);
    }
}

} // namespace
