#include "ui/Rows.h"

#include "ui/Theme.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace corvane;

namespace {

TEST(Rows, CopyableTakesClicksOnItsWholeRectangleAndMaskedValuesSayWhy)
{
    CopyableValue v;
    v.resize(200, 20); // far wider than the text: the empty part must still copy
    QSignalSpy clicked(&v, &CopyableValue::clicked);
    for (const bool masked : {false, true}) {
        v.set(QStringLiteral("198.51.100.7"), false, masked);
        QTest::mouseClick(&v, Qt::LeftButton, {}, QPoint(195, 18));
        QTest::mouseClick(&v, Qt::RightButton, {}, QPoint(2, 2));
        EXPECT_EQ(clicked.count(), masked ? 2 : 1) << "masked values still forward the click";
        EXPECT_EQ(v.toolTip(), masked ? QStringLiteral("Masked by privacy mode")
                                      : QStringLiteral("Click to copy"));
        EXPECT_EQ(v.findChild<QLabel*>()->palette().color(QPalette::WindowText),
                  masked ? theme::secondary : theme::primary);
    }
}

TEST(Rows, SegmentsHighlightOnlyTheSelectedCell)
{
    RenderedSegments s({QStringLiteral("Stacked"), QStringLiteral("Wide")}, 1);
    s.resize(178, s.sizeHint().height());
    // Colour at the left edge of a cell, clear of its centred text.
    const auto cellPixel = [&](int cell) {
        const QRectF r = s.cellRect(cell);
        return s.grab().toImage().pixel(QPoint(int(r.left()) + 4, int(r.center().y())));
    };
    const QRgb first = cellPixel(0);
    EXPECT_GT(qGreen(cellPixel(1)), qGreen(first)) << "the selected cell is the brighter one";
    s.setSelected(5);
    EXPECT_EQ(cellPixel(1), first) << "an index outside the labels highlights none";

    SegmentedPicker live({QStringLiteral("bits/s"), QStringLiteral("bytes/s")}, 0);
    live.setSelected(5);
    EXPECT_FALSE(live.button(0)->isChecked() || live.button(1)->isChecked());
}

} // namespace
