#include "measure/LinkInfo.h"
#include "services/LoginItemService.h"
#include "ui/Icons.h"
#include "ui/PanelFixture.h"
#include "ui/PanelText.h"
#include "ui/SparklineView.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace corvane;
using namespace corvane::panel_text;
using corvane::testing::PanelFixture;

namespace {

QString text(const PanelView& v, const char* name)
{
    return v.findChild<QLabel*>(QLatin1String(name))->text();
}

void showAndWait(QWidget& w)
{
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
}

TEST_F(PanelFixture, DemoPanelShowsEveryRow)
{
    auto m = demoModel();
    PanelView v(m.get());
    EXPECT_EQ(part<SpeedBlock>(v, "download")->value(), QStringLiteral("512"));
    EXPECT_EQ(part<SpeedBlock>(v, "upload")->value(), QStringLiteral("24.6"));
    EXPECT_FALSE(shown(v, part(v, "age")));
    EXPECT_EQ(text(v, "peakDown"), QStringLiteral("\u2193515Mb"));

    EXPECT_EQ(text(v, "linkLabel"), QStringLiteral("Wi-Fi 6"));
    EXPECT_EQ(text(v, "linkDetail"),
              QStringLiteral("\u25AE\u25AE\u25AE\u25AE \u00B7 5 GHz \u00B7 1.20Gb"));
    EXPECT_EQ(part(v, "linkRow")->toolTip(), m->wifi().radio()->tooltip());

    ASSERT_TRUE(shown(v, part(v, "wifiRow")));
    EXPECT_EQ(part<CopyableValue>(v, "network")->text(), QStringLiteral("HomeNet-5G"));
    EXPECT_FALSE(shown(v, part(v, "eye"))) << "privacy mode is off";

    ASSERT_TRUE(shown(v, part(v, "dishRow")));
    EXPECT_TRUE(shown(v, part(v, "dashboard")));
    EXPECT_EQ(part(v, "dishy")->toolTip(),
              QStringLiteral("Open the dish status page at http://dish.invalid/"));
    EXPECT_EQ(part(v, "dashboard")->toolTip(),
              QStringLiteral("Open https://dashboard.example.com/"));

    EXPECT_TRUE(shown(v, row(v, QStringLiteral("Interface"))));
    EXPECT_FALSE(shown(v, part(v, "pickerRow"))) << "one interface: nothing to pick";
    EXPECT_EQ(row(v, QStringLiteral("Interface"))->value()->text(), QStringLiteral("en0"));
    EXPECT_EQ(row(v, QStringLiteral("Local IP"))->value()->text(), QStringLiteral("10.0.1.42"));
    EXPECT_EQ(row(v, QStringLiteral("Router"))->value()->text(), QStringLiteral("10.0.1.1"));
    EXPECT_EQ(part<CopyableValue>(v, "publicIP")->text(), QStringLiteral("203.0.113.17"));
    EXPECT_EQ(text(v, "totals"), totalsText(1'200'000'000, 86'000'000));
    EXPECT_FALSE(shown(v, part(v, "loginError")));
}

TEST_F(PanelFixture, HoverWritesTheIndexAndTheHeaderFollowsIt)
{
    auto m = demoModel();
    PanelView v(m.get());
    showAndWait(v);
    auto* chart = part<SparklineView>(v, "sparkline");
    ASSERT_EQ(chart->width(), 244);
    EXPECT_EQ(chart->accessibleName(), QStringLiteral("Throughput over the last two minutes"));

    QTest::mouseMove(chart, QPoint(0, 5));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m->hoverIndex() == 0; }, 2000));
    EXPECT_EQ(text(v, "age"), QStringLiteral("-118s"));
    EXPECT_TRUE(part(v, "age")->isVisible());
    EXPECT_EQ(part<SpeedBlock>(v, "download")->value(), QStringLiteral("8.0"));

    QTest::mouseMove(chart, QPoint(243, 20));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m->hoverIndex() == 59; }, 2000));
    EXPECT_EQ(text(v, "age"), QStringLiteral("now"));
    EXPECT_EQ(part<SpeedBlock>(v, "download")->value(), QStringLiteral("515"));

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(chart, &leave);
    EXPECT_EQ(m->hoverIndex(), std::nullopt);
    EXPECT_FALSE(part(v, "age")->isVisible());
    EXPECT_EQ(part<SpeedBlock>(v, "download")->value(), QStringLiteral("512"));
}

TEST_F(PanelFixture, TicksUpdateRowsInPlace)
{
    net->setRates(8, 2);
    auto m = makeModel();
    PanelView v(m.get());
    EXPECT_EQ(text(v, "totals"), QStringLiteral("\u2193Zero bytes \u2191Zero bytes"));
    EXPECT_EQ(text(v, "since"), startText(m->sessionStart()));
    const QList<InfoRow*> rows = v.findChildren<InfoRow*>();
    const QList<QWidget*> all = v.findChildren<QWidget*>();

    ASSERT_TRUE(waitTicks(*m, 3));
    EXPECT_EQ(text(v, "linkLabel"), QStringLiteral("Ethernet"));
    EXPECT_EQ(text(v, "linkDetail"), QStringLiteral("1.00Gb link"));
    EXPECT_EQ(part(v, "linkRow")->toolTip(), QStringLiteral("Negotiated link speed 1000 Mb/s"));
    EXPECT_FALSE(shown(v, part(v, "wifiRow")));
    EXPECT_EQ(row(v, QStringLiteral("Interface"))->value()->text(), QStringLiteral("eth0"));
    EXPECT_EQ(text(v, "totals"), totalsText(m->totalInBytes(), m->totalOutBytes()));
    EXPECT_NE(m->totalInBytes(), 0u);
    EXPECT_EQ(part<SpeedBlock>(v, "download")->value(), QStringLiteral("8.0"));

    net->edit([](auto& n) { n.counters[2].linkBitsPerSecond = 0; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return m->linkMbps() == 0; }, 3000));
    EXPECT_EQ(text(v, "linkDetail"), QStringLiteral("connected"));
    EXPECT_EQ(part(v, "linkRow")->toolTip(), QStringLiteral("Ethernet"));

    EXPECT_EQ(v.findChildren<InfoRow*>(), rows) << "rows are updated, never rebuilt";
    EXPECT_EQ(v.findChildren<QWidget*>(), all);
}

TEST_F(PanelFixture, DishRowOnlyWhenReachableAndDashboardOnlyWhenSet)
{
    auto m = makeModel();
    PanelView v(m.get());
    EXPECT_FALSE(shown(v, part(v, "dishRow"))) << "not probed yet";
    m->panelOpened();
    ASSERT_TRUE(waitRefresh(*m));
    ASSERT_EQ(m->starlinkReachable(), true);
    EXPECT_TRUE(shown(v, part(v, "dishRow")));
    EXPECT_TRUE(shown(v, part(v, "dishy")));
    EXPECT_FALSE(shown(v, part(v, "dashboard")));

    QTest::mouseClick(part<QAbstractButton>(v, "dishy"), Qt::LeftButton);
    EXPECT_EQ(opened, QList<QUrl>{m->dishyUrl()});

    dishListener.close();
    m->panelOpened();
    ASSERT_TRUE(waitRefresh(*m));
    ASSERT_EQ(m->starlinkReachable(), false);
    EXPECT_FALSE(shown(v, part(v, "dishRow")));
}

TEST_F(PanelFixture, PublicAddressCellHasFourStates)
{
    auto m = makeModel();
    PanelView v(m.get());
    const auto only = [&](const char* name) {
        for (const char* cell : {"publicOff", "publicIP", "publicSpinner", "publicNone"})
            EXPECT_EQ(shown(v, part(v, cell)), qstrcmp(cell, name) == 0) << cell;
    };
    only("publicNone");

    echo.hold = true;
    m->panelOpened();
    ASSERT_TRUE(m->fetchingPublicIP());
    only("publicSpinner");
    echo.release();
    ASSERT_TRUE(waitRefresh(*m));
    only("publicIP");
    auto* cell = part<CopyableValue>(v, "publicIP");
    EXPECT_EQ(cell->text(), QStringLiteral("203.0.113.9"));

    m->setPrivacyMode(true);
    EXPECT_EQ(cell->text(), maskText);
    EXPECT_EQ(cell->toolTip(), QStringLiteral("Masked by privacy mode"));

    m->setPublicIPLookup(false);
    only("publicOff");
    EXPECT_EQ(part(v, "publicOff")->toolTip(),
              QStringLiteral("Public IP lookup is disabled in the footer"));
}

TEST_F(PanelFixture, PickerKeepsAPinnedInterfaceThatIsDown)
{
    auto m = makeModel();
    PanelView v(m.get());
    ASSERT_TRUE(waitTicks(*m, 1));
    m->panelOpened();
    ASSERT_TRUE(waitRefresh(*m));
    EXPECT_FALSE(shown(v, row(v, QStringLiteral("Interface"))));
    ASSERT_TRUE(shown(v, part(v, "pickerRow")));
    EXPECT_EQ(part(v, "pickerRow")->toolTip(),
              QStringLiteral("Which interface the menu bar counts; Auto follows the system's "
                             "primary interface"));

    m->setInterfaceOverride(QStringLiteral("en5"));
    ASSERT_TRUE(waitTicks(*m, 2));
    ASSERT_FALSE(m->overrideHonored());
    auto* picker = part<QComboBox>(v, "picker");
    QStringList names;
    for (int i = 0; i < picker->count(); ++i)
        names << picker->itemData(i).toString();
    EXPECT_EQ(names, (QStringList{QString(), QStringLiteral("en5"), QStringLiteral("eth0"),
                                  QStringLiteral("wlan0")}));
    EXPECT_EQ(picker->itemText(0), QStringLiteral("Auto (eth0)"));
    EXPECT_EQ(picker->itemText(1),
              QStringLiteral("en5 \u00B7 ") + QString::fromUtf8(title(LinkInfo::kind("en5"))));
    EXPECT_EQ(picker->currentIndex(), 1);
    EXPECT_TRUE(shown(v, part(v, "fallbackNote")));
    EXPECT_EQ(text(v, "fallbackNote"), QStringLiteral("down, using auto"));

    QTest::keyClick(picker, Qt::Key_Down);
    EXPECT_EQ(m->interfaceOverride(), QStringLiteral("eth0"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m->overrideHonored(); }, 3000));
    EXPECT_FALSE(shown(v, part(v, "fallbackNote")));
    EXPECT_EQ(picker->count(), 3) << "the pinned-but-down entry is gone";

    QTest::keyClick(picker, Qt::Key_Home);
    EXPECT_EQ(m->interfaceOverride(), std::nullopt) << "Auto clears the pin";
}

TEST_F(PanelFixture, CopyTickAndMasksFollowTheModel)
{
    auto m = demoModel();
    PanelView v(m.get());
    showAndWait(v);
    InfoRow* router = row(v, QStringLiteral("Router"));
    InfoRow* local = row(v, QStringLiteral("Local IP"));
    QTest::mouseClick(router->value(), Qt::LeftButton);
    EXPECT_EQ(copied, QStringList{QStringLiteral("10.0.1.1")});
    EXPECT_TRUE(router->value()->copied());
    EXPECT_FALSE(local->value()->copied());

    // Only the exact label matches.
    m->copyRow(QStringLiteral("Local IP "), QStringLiteral("x"), false);
    for (InfoRow* r : v.findChildren<InfoRow*>())
        EXPECT_FALSE(r->value()->copied()) << r->label().toStdString();

    QTest::mouseClick(part<CopyableValue>(v, "network"), Qt::LeftButton);
    EXPECT_EQ(copied.last(), QStringLiteral("HomeNet-5G"));

    m->setPrivacyMode(true);
    auto* eye = part<IconButton>(v, "eye");
    ASSERT_TRUE(eye->isVisible());
    EXPECT_EQ(eye->iconName(), QStringLiteral("eye.slash"));
    EXPECT_EQ(eye->toolTip(), QStringLiteral("Show the masked rows for 8 seconds"));
    EXPECT_EQ(local->value()->text(), maskText);
    EXPECT_EQ(part<CopyableValue>(v, "network")->text(), maskText);
    EXPECT_EQ(row(v, QStringLiteral("Interface"))->value()->text(), QStringLiteral("en0"));
    const qsizetype before = copied.size();
    QTest::mouseClick(local->value(), Qt::LeftButton);
    EXPECT_EQ(copied.size(), before) << "a masked value is never copied";

    QTest::mouseClick(eye, Qt::LeftButton);
    EXPECT_TRUE(m->identifiersVisible());
    EXPECT_EQ(local->value()->text(), QStringLiteral("10.0.1.42"));
    EXPECT_EQ(eye->iconName(), QStringLiteral("eye"));
    EXPECT_EQ(eye->toolTip(), QStringLiteral("Rows are shown for a few seconds"));
}

TEST_F(PanelFixture, FooterControlsCallTheirModelOperations)
{
    net->setRates(8, 2);
    auto m = makeModel();
    PanelView v(m.get());
    showAndWait(v);
    ASSERT_TRUE(waitTicks(*m, 2));

    auto* style = part<SegmentedPicker>(v, "barStyle");
    QTest::mouseClick(style->button(1), Qt::LeftButton);
    EXPECT_EQ(m->barStyle(), BarStyle::wide);
    QTest::mouseClick(style->button(0), Qt::LeftButton);
    EXPECT_EQ(m->barStyle(), BarStyle::stacked);

    auto* units = part<SegmentedPicker>(v, "units");
    QTest::mouseClick(units->button(1), Qt::LeftButton);
    EXPECT_EQ(m->units(), RateUnits::bytes);
    EXPECT_EQ(units->selected(), 1);
    EXPECT_EQ(part<SpeedBlock>(v, "download")->unit(), QStringLiteral("MB"));

    const auto click = [&](const char* name) {
        auto* box = part<QCheckBox>(v, name);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    };
    click("privacy");
    EXPECT_TRUE(m->privacyMode());
    click("lookup");
    EXPECT_FALSE(m->publicIPLookup());
    click("launch");
    EXPECT_TRUE(m->loginItem().enabled());
    EXPECT_TRUE(part<QCheckBox>(v, "launch")->isChecked());

    // A failed registration is shown in the footer.
    click("launch");
    ASSERT_FALSE(m->loginItem().enabled());
    QFile blocker(dir.filePath(QStringLiteral("config")));
    ASSERT_TRUE(QDir(blocker.fileName()).removeRecursively());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the directory should be
    blocker.close();
    click("launch");
    ASSERT_TRUE(m->loginItem().lastError());
    EXPECT_TRUE(part(v, "loginError")->isVisible());
    EXPECT_EQ(text(v, "loginError"), *m->loginItem().lastError());

    ASSERT_NE(m->totalInBytes(), 0u);
    QTest::mouseClick(part<QAbstractButton>(v, "reset"), Qt::LeftButton);
    EXPECT_EQ(m->ring().count() <= 1, true);
    EXPECT_TRUE(part<SparklineView>(v, "sparkline")->samples().size() <= 1);
}

TEST_F(PanelFixture, QuitButtonAndShortcutEndTheApplication)
{
    auto m = demoModel();
    PanelView v(m.get());
    showAndWait(v);
    const auto runUntilQuit = [](std::function<void()> trigger) {
        QTimer guard; // scoped: it must not end a later test's event loop
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        guard.start(5000);
        QTimer::singleShot(0, trigger);
        return QApplication::exec();
    };
    EXPECT_EQ(runUntilQuit([&] { part<QPushButton>(v, "quit")->click(); }), 0);

    showAndWait(v); // quitting closed every window
    v.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&v));
    part<QWidget>(v, "quit")->setFocus();
    EXPECT_EQ(runUntilQuit([&] { QTest::keyClick(&v, Qt::Key_Q, Qt::ControlModifier); }), 0);
}

TEST_F(PanelFixture, RendersLaidOutWithoutEverBeingShown)
{
    qputenv("CORVANE_RENDER_PANEL", "/dev/null");
    auto m = demoModel();
    PanelView v(m.get());
    m->setUnits(RateUnits::bytes); // a change after construction must be laid out too
    EXPECT_NE(dynamic_cast<RenderedSegments*>(part<Segments>(v, "units")), nullptr);
    EXPECT_TRUE(part<LinkAction>(v, "dishy")->drawn());

    const QImage image = v.renderImage(2);
    EXPECT_FALSE(v.isVisible());
    EXPECT_EQ(image.width(), 528);
    EXPECT_EQ(v.width(), PanelView::panelWidth);
    EXPECT_EQ(image.height(), 2 * v.height());
    EXPECT_EQ(part<RenderedSegments>(v, "units")->selected(), 1);

    // Every value got the room its text needs, and the footer sits inside the padding.
    for (InfoRow* r : v.findChildren<InfoRow*>()) {
        QLabel* label = r->value()->findChild<QLabel*>();
        EXPECT_GE(label->width(), label->sizeHint().width()) << r->label().toStdString();
    }
    for (const char* name : {"peakDown", "avgDown", "totals"}) {
        QLabel* label = part<QLabel>(v, name);
        EXPECT_GE(label->width(), label->sizeHint().width()) << name;
    }
    auto* quit = part<QWidget>(v, "quit");
    EXPECT_EQ(quit->mapTo(&v, QPoint(0, quit->height())).y(), v.height() - PanelView::padding);
}

} // namespace
