#include "ui/PanelWindow.h"

#include "ui/PanelFixture.h"
#include "ui/SparklineView.h"

#include <QTest>

using namespace corvane;
using corvane::testing::PanelFixture;

namespace {

TEST(PanelWindowPlacement, BesideTheBarNeverOverIt)
{
    const QRect screen(0, 0, 1920, 1080), left(-1280, 200, 1280, 600);
    const struct {
        const char* what;
        QPoint click;
        QRect screen, available;
        QPoint expected;
    } cases[] = {
        {"top bar with a strut", {1000, 12}, screen, {0, 24, 1920, 1056}, {868, 31}},
        {"top bar without one, at the right end", {1800, 12}, screen, screen, {1656, 31}},
        {"bottom bar", {1000, 1058}, screen, {0, 0, 1920, 1036}, {868, 530}},
        {"left bar", {15, 500}, screen, screen, {37, 250}},
        {"right edge of a screen to the left, little room", {-20, 390}, left, left, {-309, 200}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PanelWindow::placement({264, 500}, c.click, c.screen, c.available), c.expected)
            << c.what;
    // Applet-relative or missing positions give way to the pointer over the item; a pointer
    // in the middle of the screen is stale and gives way to the report.
    const QRect s(0, 0, 1280, 800);
    EXPECT_EQ(PanelWindow::anchorFor({5, 10}, QPoint(1250, 12), s), QPoint(1250, 12));
    EXPECT_EQ(PanelWindow::anchorFor({1240, 10}, QPoint(1250, 12), s), QPoint(1240, 10));
    EXPECT_EQ(PanelWindow::anchorFor({5, 10}, std::nullopt, s), QPoint(5, 10));
    EXPECT_EQ(PanelWindow::anchorFor({1254, 14}, QPoint(640, 400), s), QPoint(1254, 14));
}

TEST_F(PanelFixture, ToggleOpensAndClosesTellsTheModelAndFollowsTheContentHeight)
{
    auto m = makeModel();
    PanelWindow w(m.get());
    const QPoint at(400, 5);
    w.toggleAt(at);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_TRUE(m->panelOpen());
    EXPECT_EQ(w.width(), PanelView::panelWidth);
    const int before = w.height();
    ASSERT_TRUE(waitRefresh(*m)); // the dish row appears
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.height() == w.view()->sizeHint().height(); }, 2000));
    EXPECT_GT(w.height(), before);

    auto* chart = w.findChild<SparklineView*>();
    chart->setHoverIndex(4);
    w.toggleAt(at);
    EXPECT_FALSE(w.isVisible() || m->panelOpen());
    EXPECT_EQ(chart->hoverIndex(), std::nullopt) << "closing clears the hover";
    w.toggleAt(at);
    ASSERT_TRUE(w.isVisible()) << "a toggle right after a toggle-close opens again";
    w.hide();       // what a popup does on a click outside it, here the click on the tray item
    w.toggleAt(at); // ... which then arrives as an activation
    EXPECT_FALSE(w.isVisible()) << "the click that closed the popup does not reopen it";
    w.toggleAt(at);
    ASSERT_TRUE(w.isVisible());
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible() || m->panelOpen());
}

} // namespace
