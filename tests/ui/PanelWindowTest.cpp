#include "ui/PanelWindow.h"

#include "ui/PanelFixture.h"
#include "ui/SparklineView.h"

#include <QTest>

using namespace corvane;
using corvane::testing::PanelFixture;

namespace {

TEST(PanelWindowPlacement, BesideTheBarNeverOverIt)
{
    const QRect screen(0, 0, 1920, 1080);
    const QSize size(264, 500);
    struct Case {
        const char* what;
        QPoint click;
        QRect screen, available;
        QPoint expected;
    } cases[] = {
        {"top bar with a strut", {1000, 12}, screen, {0, 24, 1920, 1056}, {868, 31}},
        {"top bar without one, at the right end", {1800, 12}, screen, screen, {1656, 31}},
        {"bottom bar", {1000, 1058}, screen, {0, 0, 1920, 1036}, {868, 530}},
        {"left bar", {15, 500}, screen, screen, {37, 250}},
        {"right edge of a screen to the left, little room",
         {-20, 390},
         QRect(-1280, 200, 1280, 600),
         QRect(-1280, 200, 1280, 600),
         {-309, 200}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PanelWindow::placement(size, c.click, c.screen, c.available), c.expected)
            << c.what;
    // Applet-relative or missing positions give way to the pointer over the item.
    EXPECT_EQ(PanelWindow::anchorFor({5, 10}, QPoint(1250, 12)), QPoint(1250, 12));
    EXPECT_EQ(PanelWindow::anchorFor({1240, 10}, QPoint(1250, 12)), QPoint(1240, 10));
    EXPECT_EQ(PanelWindow::anchorFor({5, 10}, std::nullopt), QPoint(5, 10));
}

TEST_F(PanelFixture, ToggleOpensAndClosesAndTellsTheModel)
{
    auto m = demoModel();
    PanelWindow w(m.get());
    w.toggleAt(QPoint(400, 5));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_TRUE(m->panelOpen());
    EXPECT_EQ(w.width(), PanelView::panelWidth);

    auto* chart = w.findChild<SparklineView*>();
    chart->setHoverIndex(4);
    w.toggleAt(QPoint(400, 5));
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(m->panelOpen());
    EXPECT_EQ(chart->hoverIndex(), std::nullopt) << "closing clears the hover";
    w.toggleAt(QPoint(400, 5));
    ASSERT_TRUE(w.isVisible()) << "a toggle right after a toggle-close opens again";
    w.hide(); // what a popup does on a click outside it, here the click on the tray item
    w.toggleAt(QPoint(400, 5)); // ... which then arrives as an activation
    EXPECT_FALSE(w.isVisible()) << "the click that closed the popup does not reopen it";
    w.toggleAt(QPoint(400, 5));
    ASSERT_TRUE(w.isVisible());
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(m->panelOpen());
}

TEST_F(PanelFixture, WindowFollowsTheContentHeight)
{
    auto m = makeModel();
    PanelWindow w(m.get());
    w.toggleAt(QPoint(100, 5));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const int before = w.height();
    ASSERT_TRUE(waitRefresh(*m)); // the dish row appears
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.height() == w.view()->sizeHint().height(); }, 2000));
    EXPECT_GT(w.height(), before);
}

} // namespace
