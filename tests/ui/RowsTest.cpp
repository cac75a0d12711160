#include "ui/Rows.h"

#include "ui/Theme.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace corvane;

namespace {

class Faces : public ::testing::Test {
protected:
    void TearDown() override
    {
        qunsetenv("CORVANE_RENDER_PANEL");
        qunsetenv("CORVANE_DEMO");
    }
};

QColor textColour(const CopyableValue& v)
{
    return v.findChild<QLabel*>()->palette().color(QPalette::WindowText);
}

TEST(Copyable, WholeRectangleTakesTheClickAndMaskedValuesSayWhy)
{
    CopyableValue v;
    v.set(QStringLiteral("198.51.100.7"), false, false);
    v.resize(200, 20); // far wider than the text: the empty part must still copy
    QSignalSpy clicked(&v, &CopyableValue::clicked);
    QTest::mouseClick(&v, Qt::LeftButton, {}, QPoint(195, 18));
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(v.toolTip(), QStringLiteral("Click to copy"));
    EXPECT_EQ(textColour(v), theme::primary);
    EXPECT_FALSE(v.copied());

    v.set(QStringLiteral("-"), false, true);
    QTest::mouseClick(&v, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(clicked.count(), 2) << "masked values still forward the click";
    EXPECT_EQ(v.toolTip(), QStringLiteral("Masked by privacy mode"));
    EXPECT_EQ(textColour(v), theme::secondary);

    v.set(QStringLiteral("-"), true, false);
    EXPECT_TRUE(v.copied());
    EXPECT_EQ(v.toolTip(), QStringLiteral("Click to copy"));
    QTest::mouseClick(&v, Qt::RightButton, {}, QPoint(2, 2));
    EXPECT_EQ(clicked.count(), 2);
}

// Colour of the rendered control at the left edge of a cell, clear of its centred text.
QRgb cellPixel(RenderedSegments& s, int cell)
{
    const QImage image = s.grab().toImage();
    const QRectF r = s.cellRect(cell);
    return image.pixel(QPoint(int(r.left()) + 4, int(r.center().y())));
}

TEST(RenderedSegmentsTest, HighlightsOnlyTheSelectedCell)
{
    const QStringList labels{QStringLiteral("Stacked"), QStringLiteral("Wide")};
    RenderedSegments s(labels, 1);
    s.resize(178, s.sizeHint().height());
    EXPECT_EQ(s.highlighted(), 1);
    const QRgb first = cellPixel(s, 0);
    const QRgb second = cellPixel(s, 1);
    EXPECT_GT(qGreen(second), qGreen(first)) << "the selected cell is the brighter one";

    s.setSelected(5);
    EXPECT_EQ(s.highlighted(), -1);
    EXPECT_EQ(cellPixel(s, 1), first) << "an index outside the labels highlights none";
    EXPECT_EQ(cellPixel(s, 0), first);
    EXPECT_EQ(s.cellRect(0).width(), s.cellRect(1).width());
}

TEST(SegmentedPickerTest, ReportsPicksAndFollowsTheGivenIndex)
{
    SegmentedPicker s({QStringLiteral("bits/s"), QStringLiteral("bytes/s")}, 0);
    s.resize(178, 24);
    s.show();
    QSignalSpy picked(&s, &Segments::picked);
    QTest::mouseClick(s.button(1), Qt::LeftButton);
    ASSERT_EQ(picked.count(), 1);
    EXPECT_EQ(picked.at(0).at(0).toInt(), 1);

    s.setSelected(5);
    EXPECT_FALSE(s.button(0)->isChecked());
    EXPECT_FALSE(s.button(1)->isChecked());
    s.setSelected(0);
    EXPECT_TRUE(s.button(0)->isChecked());
}

TEST_F(Faces, RenderRequestDrawsStaticFacesEvenInDemoMode)
{
    qputenv("CORVANE_DEMO", "1");
    qputenv("CORVANE_RENDER_PANEL", ""); // present, even empty
    int runs = 0;
    std::unique_ptr<Segments> seg(segmented(
        0, {QStringLiteral("a")}, [&](int) { ++runs; }, nullptr));
    EXPECT_NE(dynamic_cast<RenderedSegments*>(seg.get()), nullptr);
    std::unique_ptr<LinkAction> link(linkAction(
        QStringLiteral("Dishy"), QStringLiteral("help"), [&] { ++runs; }, nullptr));
    EXPECT_TRUE(link->drawn());
    EXPECT_TRUE(link->toolTip().isEmpty());
    link->resize(link->sizeHint());
    link->click();
    EXPECT_EQ(runs, 0);
}

TEST_F(Faces, WithoutARenderRequestTheControlsAreLive)
{
    qputenv("CORVANE_DEMO", "1");
    int runs = 0;
    std::unique_ptr<Segments> seg(segmented(
        0, {QStringLiteral("a")}, [&](int) { ++runs; }, nullptr));
    EXPECT_NE(dynamic_cast<SegmentedPicker*>(seg.get()), nullptr);
    std::unique_ptr<LinkAction> link(linkAction(
        QStringLiteral("Dishy"), QStringLiteral("help"), [&] { ++runs; }, nullptr));
    EXPECT_FALSE(link->drawn());
    EXPECT_EQ(link->toolTip(), QStringLiteral("help"));
    link->resize(link->sizeHint());
    QTest::mouseClick(link.get(), Qt::LeftButton);
    EXPECT_EQ(runs, 1);
}

} // namespace
