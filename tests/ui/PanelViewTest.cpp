#include "app/Translations.h"
#include "services/LoginItemService.h"
#include "ui/Icons.h"
#include "ui/PanelFixture.h"
#include "ui/PanelHeader.h"
#include "ui/PanelText.h"
#include "ui/SparklineView.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTextDocumentFragment>
#include <QTimer>

using namespace corvane;
using namespace corvane::panel_text;
using corvane::testing::PanelFixture;
using namespace Qt::StringLiterals;

namespace {

void showAndWait(QWidget& w)
{
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
}

TEST_F(PanelFixture, HoverWritesTheIndexAndTheHeaderFollowsIt)
{
    auto m = demoModel();
    PanelView v(m.get());
    showAndWait(v);
    EXPECT_FALSE(shown(v, part(v, "pickerRow"))) << "one interface: nothing to pick";
    auto* chart = part<SparklineView>(v, "sparkline");
    ASSERT_EQ(chart->width(), 244);
    QTest::mouseMove(chart, QPoint(0, 5));
    ASSERT_TRUE(QTest::qWaitFor([&] { return chart->hoverIndex() == 0; }, 2000));
    EXPECT_EQ(text(v, "age"), QStringLiteral("-118s"));
    EXPECT_TRUE(part(v, "age")->isVisible());
    EXPECT_EQ(part<SpeedBlock>(v, "download")->value(), QStringLiteral("8.0"));
    QTest::mouseMove(chart, QPoint(243, 20));
    ASSERT_TRUE(QTest::qWaitFor([&] { return chart->hoverIndex() == 59; }, 2000));
    EXPECT_EQ(text(v, "age"), QStringLiteral("now"));

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(chart, &leave);
    EXPECT_EQ(chart->hoverIndex(), std::nullopt);
    EXPECT_FALSE(part(v, "age")->isVisible());
    EXPECT_EQ(part<SpeedBlock>(v, "download")->value(), QStringLiteral("512"));
}

TEST_F(PanelFixture, TicksUpdateRowsInPlace)
{
    net->setRates(8, 2);
    auto m = makeModel();
    PanelView v(m.get());
    EXPECT_EQ(text(v, "totals"), QStringLiteral("\u2193Zero bytes \u2191Zero bytes"));
    const QList<QWidget*> all = v.findChildren<QWidget*>();

    ASSERT_TRUE(waitTicks(*m, 3));
    EXPECT_EQ(text(v, "totals"), QStringLiteral("\u2193Zero bytes \u2191Zero bytes"))
        << "no per-tick work while hidden";
    showAndWait(v);
    EXPECT_EQ(text(v, "linkDetail"), QStringLiteral("1.00Gb link"));
    EXPECT_EQ(part(v, "linkRow")->toolTip(), QStringLiteral("Negotiated link speed 1000 Mb/s"));
    EXPECT_NE(m->totalInBytes(), 0u);
    EXPECT_EQ(text(v, "totals"), totalsText(m->totalInBytes(), m->totalOutBytes()));

    net->edit([](auto& n) { n.counters[2].linkBitsPerSecond = 0; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return m->linkMbps() == 0; }, 3000));
    EXPECT_EQ(text(v, "linkDetail"), QStringLiteral("connected"));
    EXPECT_EQ(part(v, "linkRow")->toolTip(), QStringLiteral("Ethernet"));
    EXPECT_EQ(v.findChildren<QWidget*>(), all) << "rows are updated, never rebuilt";
}

TEST_F(PanelFixture, OutsideTextIsNeverReadAsMarkup)
{
    net->primary = {"<h1>x", "192.0.2.1"};
    net->indexes = {{"<h1>x", 2}};
    auto m = makeModel();
    PanelView v(m.get());
    showAndWait(v);
    ASSERT_TRUE(waitTicks(*m, 1));
    EXPECT_EQ(row(v, QStringLiteral("Interface"))->text(), QStringLiteral("<h1>x"));
    part<CopyableValue>(v, "network")->set(QStringLiteral("<img src=/dev/zero>"), false, false);
    for (const QLabel* label : v.findChildren<QLabel*>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
    auto* dashboard = part<LinkAction>(v, "dashboard");
    dashboard->setHelp(QStringLiteral("<img src=/dev/zero>"));
    EXPECT_EQ(QTextDocumentFragment::fromHtml(dashboard->toolTip()).toPlainText(),
              QStringLiteral("<img src=/dev/zero>"));
}

TEST_F(PanelFixture, OpeningRefreshesTheDishRowAndThePublicAddressCell)
{
    auto m = makeModel();
    PanelView v(m.get());
    showAndWait(v);
    const auto only = [&](const char* name) {
        for (const char* cell : {"publicOff", "publicIP", "publicSpinner", "publicNone"})
            EXPECT_EQ(shown(v, part(v, cell)), qstrcmp(cell, name) == 0) << cell;
    };
    only("publicNone");
    EXPECT_FALSE(shown(v, part(v, "dishRow"))) << "not probed yet";
    echo.hold = true;
    m->panelOpened();
    ASSERT_TRUE(m->fetchingPublicIP());
    only("publicSpinner");
    echo.release();
    ASSERT_TRUE(waitRefresh(*m));
    only("publicIP");
    auto* cell = part<CopyableValue>(v, "publicIP");
    EXPECT_EQ(cell->text(), QStringLiteral("203.0.113.9"));
    m->panelOpened(); // asking again keeps the address in place of a spinner
    only("publicIP");
    ASSERT_TRUE(waitRefresh(*m));
    m->setPrivacyMode(true);
    EXPECT_EQ(cell->text(), maskText);
    m->setPublicIPLookup(false);
    only("publicOff");
    EXPECT_EQ(part(v, "publicOff")->toolTip(),
              QStringLiteral("Public IP lookup is disabled in the footer"));

    EXPECT_TRUE(shown(v, part(v, "dishRow")));
    EXPECT_FALSE(shown(v, part(v, "dashboard"))) << "no dashboard configured";
    QTest::mouseClick(part<QAbstractButton>(v, "dishy"), Qt::LeftButton);
    EXPECT_EQ(opened, QList<QUrl>{m->dishyUrl()});
    dishListener.close();
    m->panelOpened();
    ASSERT_TRUE(waitRefresh(*m));
    EXPECT_FALSE(shown(v, part(v, "dishRow")));
}

TEST_F(PanelFixture, PickerKeepsAPinnedInterfaceThatIsDown)
{
    auto m = makeModel();
    PanelView v(m.get());
    showAndWait(v);
    ASSERT_TRUE(waitTicks(*m, 1));
    m->panelOpened();
    ASSERT_TRUE(waitRefresh(*m));
    EXPECT_FALSE(shown(v, row(v, QStringLiteral("Interface"))));
    ASSERT_TRUE(shown(v, part(v, "pickerRow")));

    m->setInterfaceOverride(QStringLiteral("en5"));
    ASSERT_TRUE(waitTicks(*m, 2));
    ASSERT_FALSE(m->overrideHonored());
    auto* picker = part<QComboBox>(v, "picker");
    EXPECT_EQ(picker->count(), 4);
    EXPECT_EQ(picker->itemText(0), QStringLiteral("Auto (eth0)"));
    EXPECT_EQ(picker->currentIndex(), 1);
    ASSERT_TRUE(shown(v, part(v, "fallbackNote")));
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
    CopyableValue* router = row(v, QStringLiteral("Router"));
    CopyableValue* local = row(v, QStringLiteral("Local IP"));
    EXPECT_EQ(router->text(), QStringLiteral("10.0.1.1"));
    QTest::mouseClick(router, Qt::LeftButton);
    EXPECT_EQ(copied, QStringList{QStringLiteral("10.0.1.1")});
    EXPECT_TRUE(router->copied());
    EXPECT_FALSE(local->copied());

    m->setPrivacyMode(true);
    auto* eye = part<IconButton>(v, "eye");
    ASSERT_TRUE(eye->isVisible());
    EXPECT_EQ(eye->toolTip(), QStringLiteral("Show the masked rows for 8 seconds"));
    EXPECT_EQ(local->text(), maskText);
    EXPECT_EQ(local->toolTip(), QStringLiteral("Masked by privacy mode"));
    EXPECT_EQ(part<CopyableValue>(v, "network")->text(), maskText);
    EXPECT_EQ(row(v, QStringLiteral("Interface"))->text(), QStringLiteral("wlp2s0"));
    const QStringList before = copied;
    QTest::mouseClick(local, Qt::LeftButton);
    EXPECT_EQ(copied, before) << "a masked value is never copied";

    QTest::mouseClick(eye, Qt::LeftButton);
    EXPECT_EQ(local->text(), QStringLiteral("10.0.1.42"));
}

TEST_F(PanelFixture, FooterControlsCallTheirModelOperations)
{
    net->setRates(8, 2);
    auto m = makeModel();
    PanelView v(m.get());
    showAndWait(v);
    ASSERT_TRUE(waitTicks(*m, 2));
    QTest::mouseClick(part<SegmentedPicker>(v, "barStyle")->button(1), Qt::LeftButton);
    EXPECT_EQ(m->barStyle(), BarStyle::wide);
    QTest::mouseClick(part<SegmentedPicker>(v, "units")->button(1), Qt::LeftButton);
    EXPECT_EQ(m->units(), RateUnits::bytes);
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
    click("launch");
    ASSERT_FALSE(m->loginItem().enabled());

    // A failed registration is shown in the footer.
    QFile blocker(dir.filePath(QStringLiteral("config")));
    ASSERT_TRUE(QDir(blocker.fileName()).removeRecursively());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the directory should be
    blocker.close();
    click("launch");
    ASSERT_TRUE(m->loginItem().lastError());
    EXPECT_TRUE(part(v, "loginError")->isVisible());
    EXPECT_EQ(text(v, "loginError"), *m->loginItem().lastError());
    // So is a preference that could not be saved.
    ASSERT_TRUE(QFile::remove(prefsPath()) && QDir().mkdir(prefsPath()));
    click("privacy");
    ASSERT_TRUE(m->preferencesError());
    EXPECT_TRUE(part(v, "prefsError")->isVisible());
    EXPECT_EQ(text(v, "prefsError"), *m->preferencesError());

    QTest::mouseClick(part<QAbstractButton>(v, "reset"), Qt::LeftButton);
    EXPECT_LE(m->ring().count(), 1);
    EXPECT_LE(part<SparklineView>(v, "sparkline")->samples().size(), 1u);

    QTimer guard; // scoped: it must not end a later test's event loop
    guard.callOnTimeout([] { QCoreApplication::exit(1); });
    guard.start(5000);
    QTimer::singleShot(0, [&] { part<QPushButton>(v, "quit")->click(); });
    EXPECT_EQ(QApplication::exec(), 0) << "Quit ends the application";
}

TEST_F(PanelFixture, RendersLaidOutWithoutEverBeingShown)
{
    auto m = demoModel();
    PanelView v(m.get(), PanelView::Face::drawn);
    m->setUnits(RateUnits::bytes); // a change after construction must be laid out too
    EXPECT_TRUE(part<LinkAction>(v, "dishy")->drawn());
    const QImage image = v.renderImage(2);
    EXPECT_FALSE(v.isVisible());
    EXPECT_EQ(image.width(), 528);
    EXPECT_EQ(image.height(), 2 * v.height());
    EXPECT_EQ(part<RenderedSegments>(v, "units")->selected(), 1);

    // Every value got the room its text needs, and the footer sits inside the padding.
    for (QLabel* label : v.findChildren<QLabel*>()) {
        if (label->isVisibleTo(&v) && !label->text().isEmpty()) {
            EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
        }
    }
    auto* quit = part<QWidget>(v, "quit");
    EXPECT_EQ(quit->mapTo(&v, QPoint(0, quit->height())).y(), v.height() - PanelView::padding);
}

// The German panel carries its texts in every section; figures and units stay as they are.
TEST_F(PanelFixture, GermanPanelShowsItsTexts)
{
    ASSERT_TRUE(installTranslations(QLocale(QLocale::German, QLocale::Germany)));
    struct English {
        ~English() { installTranslations(QLocale(QLocale::English)); }
    } restore;
    auto m = demoModel();
    PanelView v(m.get());
    showAndWait(v);
    const std::pair<QString, QString> texts[] = {
        {part<InfoRow>(v, "localIP")->label(), u"Lokale IP"_s},
        {part<QCheckBox>(v, "launch")->text(), u"Beim Anmelden starten"_s},
        {part<QPushButton>(v, "quit")->text(), u"Beenden"_s},
        {part(v, "sparkline")->accessibleName(), u"Durchsatz der letzten zwei Minuten"_s},
        {part<InfoRow>(v, "interface")->label(), u"Adapter"_s},
        {part<SpeedBlock>(v, "download")->value() + part<SpeedBlock>(v, "download")->unit(),
         u"512Mb"_s},
    };
    for (const auto& [shownText, expected] : texts)
        EXPECT_EQ(shownText, expected);
}

} // namespace
