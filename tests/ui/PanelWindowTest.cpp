#include "ui/PanelWindow.h"

#include "ui/PanelFixture.h"

#include <QTest>

using namespace corvane;
using corvane::testing::PanelFixture;

namespace {

TEST(PanelWindowPlacement, CentredOnTheClickAndKeptOnTheScreen)
{
    const QRect screen(0, 0, 1920, 1080);
    const QSize size(264, 500);
    EXPECT_EQ(PanelWindow::placement(size, QPoint(1000, 10), screen), QPoint(868, 16));
    EXPECT_EQ(PanelWindow::placement(size, QPoint(1000, 1075), screen), QPoint(868, 569))
        << "a bar at the bottom opens the panel upwards";
    // A second screen to the left and a panel taller than the room below the click.
    EXPECT_EQ(PanelWindow::placement(size, QPoint(-20, 390), QRect(-1280, 200, 1280, 600)),
              QPoint(-264, 300));
}

TEST_F(PanelFixture, ToggleOpensAndClosesAndTellsTheModel)
{
    auto m = demoModel();
    PanelWindow w(m.get());
    w.toggleAt(QPoint(400, 5));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_TRUE(m->panelOpen());
    EXPECT_EQ(w.width(), PanelView::panelWidth);

    m->setHoverIndex(4);
    w.toggleAt(QPoint(400, 5));
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(m->panelOpen());
    EXPECT_EQ(m->hoverIndex(), std::nullopt) << "closing clears the hover";
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
