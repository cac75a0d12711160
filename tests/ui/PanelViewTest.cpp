#include "ui/PanelView.h"

#include "app/Translations.h"
#include "model/model/ModelFixture.h"
#include "ui/Icons.h"
#include "ui/PanelHeader.h"
#include "ui/PanelText.h"
#include "ui/PanelWindow.h"
#include "ui/Rows.h"
#include "ui/SparklineView.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTextDocumentFragment>

using namespace corvane;
using namespace corvane::panel_text;
using namespace Qt::StringLiterals;

namespace {

// A model on fakes (loopback only), and a panel over it.
class PanelFixture : public corvane::testing::ModelTest {
protected:
    template <typename T = QWidget> static T* part(const PanelView& v, const char* name)
    {
        T* w = v.findChild<T*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    static QString text(const PanelView& v, const char* name)
    {
        return part<QLabel>(v, name)->text();
    }
    static CopyableValue* row(const PanelView& v, const char* name)
    {
        return part<InfoRow>(v, name)->value();
    }
    static bool shown(const PanelView& v, const QWidget* w) { return w->isVisibleTo(&v); }
};

void showAndWait(QWidget& w)
{
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
}

TEST_F(PanelFixture, HoverCopyAndMasksFollowTheModel)
{
    auto m = makeDemoModel();
    PanelView v(m.get());
    showAndWait(v);
    EXPECT_FALSE(shown(v, part(v, "pickerRow"))) << "one interface: nothing to pick";
    auto* chart = part<SparklineView>(v, "sparkline");
    QTest::mouseMove(chart, QPoint(0, 5));
    ASSERT_TRUE(QTest::qWaitFor([&] { return chart->hoverIndex() == 0; }, 2000));
    EXPECT_EQ(text(v, "age"), u"-118s"_s);
    EXPECT_EQ(part<SpeedBlock>(v, "download")->value(), u"8.0"_s);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(chart, &leave);
    EXPECT_FALSE(part(v, "age")->isVisible());
    EXPECT_EQ(part<SpeedBlock>(v, "download")->value(), u"512"_s);

    CopyableValue *local = row(v, "localIP"), *router = row(v, "router");
    QTest::mouseClick(router, Qt::RightButton);
    // The whole rectangle takes the click, glyphs and gaps alike.
    QTest::mouseClick(router, Qt::LeftButton, {}, QPoint(router->width() - 1, 1));
    EXPECT_EQ(copied, QStringList{u"10.0.1.1"_s});
    m->setPrivacyMode(true);
    EXPECT_EQ(local->text(), maskText);
    EXPECT_EQ(local->toolTip(), u"Masked by privacy mode"_s);
    EXPECT_EQ(local->findChild<QLabel*>()->palette().color(QPalette::WindowText), theme::secondary);
    EXPECT_EQ(part<CopyableValue>(v, "network")->text(), maskText) << "the Wi-Fi name";
    EXPECT_EQ(row(v, "interface")->text(), u"wlp2s0"_s);
    QTest::mouseClick(local, Qt::LeftButton);
    EXPECT_EQ(copied.size(), 1) << "a masked value is never copied";
    QTest::mouseClick(part<IconButton>(v, "eye"), Qt::LeftButton);
    EXPECT_EQ(local->text(), u"10.0.1.42"_s);
}

// Rows are updated in place, only while shown; outside text is never read as markup.
TEST_F(PanelFixture, TicksUpdateRowsInPlaceAsPlainText)
{
    net->primary = {"<h1>x", "192.0.2.1"};
    net->indexes = {{"<h1>x", 2}};
    net->setRates(8, 2);
    auto m = makeModel();
    PanelView v(m.get());
    const QList<QWidget*> all = v.findChildren<QWidget*>();
    ASSERT_TRUE(waitTicks(*m, 3));
    EXPECT_EQ(text(v, "totals"), u"\u2193Zero bytes \u2191Zero bytes"_s) << "hidden: no work";
    showAndWait(v);
    EXPECT_NE(m->totalInBytes(), 0u);
    EXPECT_EQ(text(v, "totals"), totalsText(m->totalInBytes(), m->totalOutBytes()));
    EXPECT_EQ(row(v, "interface")->text(), u"<h1>x"_s);
    net->edit([](auto& n) { n.counters[2].linkBitsPerSecond = 0; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return m->linkMbps() == 0; }, 3000));
    EXPECT_EQ(text(v, "linkDetail"), u"connected"_s);
    EXPECT_EQ(v.findChildren<QWidget*>(), all) << "rows are updated, never rebuilt";

    for (const QLabel* label : v.findChildren<QLabel*>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
    auto* dashboard = part<LinkAction>(v, "dashboard");
    dashboard->setHelp(u"<img src=/dev/zero>"_s);
    EXPECT_EQ(QTextDocumentFragment::fromHtml(dashboard->toolTip()).toPlainText(),
              u"<img src=/dev/zero>"_s);
}

// Opening reads the addresses, the dashboard and the picker's kinds once, and starts the
// dish probe and the address lookup; closing restores the idle cadence.
TEST_F(PanelFixture, OpeningRefreshesTheRowsThePublicAddressAndThePicker)
{
    net->setRates(8, 2); // never idle: the closed cadence stays at its busy value
    auto m = makeModel();
    PanelView v(m.get());
    showAndWait(v);
    ASSERT_TRUE(waitTicks(*m, 1));
    const auto only = [&](const char* name) {
        for (const char* cell : {"publicOff", "publicIP", "publicSpinner", "publicNone"})
            EXPECT_EQ(shown(v, part(v, cell)), qstrcmp(cell, name) == 0) << cell;
    };
    only("publicNone");
    QSettings(prefsPath(), QSettings::IniFormat)
        .setValue("starlinkDashboardURL", u" https://dash.example.com/x "_s);
    m->setInterfaceOverride(u"en5"_s); // pinned but absent: eth0 is measured
    const int classified = classifyCalls;
    echo.hold = true;
    m->panelOpened();
    only("publicSpinner");
    EXPECT_FALSE(shown(v, part(v, "dishRow"))) << "written only after the lookup";
    EXPECT_EQ(row(v, "localIP")->text(), u"198.51.100.7"_s);
    EXPECT_EQ(m->starlinkDashboardURL(), QUrl(u"https://dash.example.com/x"_s));
    EXPECT_GT(wifiReads, 0);
    // Two interfaces are up: the picker stands in for the interface row, and keeps the
    // pinned one that is down.
    EXPECT_FALSE(shown(v, row(v, "interface")));
    auto* picker = part<QComboBox>(v, "picker");
    QStringList items;
    for (int i = 0; i < picker->count(); ++i)
        items << picker->itemText(i);
    EXPECT_EQ(items, (QStringList{u"Auto (eth0)"_s, u"en5 \u00B7 Ethernet"_s,
                                  u"eth0 \u00B7 Ethernet"_s, u"wlan0 \u00B7 Wi-Fi"_s}));
    EXPECT_EQ(picker->currentIndex(), 1);
    EXPECT_EQ(classifyCalls - classified, 3) << "kinds are read once per opening, not per paint";

    echo.release();
    ASSERT_TRUE(waitRefresh(*m));
    only("publicIP");
    EXPECT_EQ(part<CopyableValue>(v, "publicIP")->text(), u"203.0.113.9"_s);
    EXPECT_TRUE(shown(v, part(v, "dishRow")));
    echo.hold = true;
    m->panelOpened(); // a known address stays up while it is looked up again
    only("publicIP");
    m->setPublicIPLookup(false);
    only("publicOff");

    ASSERT_TRUE(waitTicks(*m, 2));
    EXPECT_EQ(text(v, "fallbackNote"), u"down, using auto"_s);
    QTest::keyClick(picker, Qt::Key_Down);
    EXPECT_EQ(m->interfaceOverride(), u"eth0"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m->overrideHonored(); }, 3000));
    EXPECT_FALSE(shown(v, part(v, "fallbackNote")));
    EXPECT_EQ(picker->count(), 3) << "a pinned interface that is up is listed once";
    lowPower = true;
    EXPECT_EQ(m->cadence(), 2);
    m->panelClosed();
    EXPECT_EQ(m->cadence(), 3);
}

TEST_F(PanelFixture, FooterControlsCallTheirModelOperationsAndShowFailures)
{
    auto m = makeModel();
    PanelView v(m.get());
    showAndWait(v);
    QTest::mouseClick(part<SegmentedPicker>(v, "barStyle")->button(1), Qt::LeftButton);
    QTest::mouseClick(part<SegmentedPicker>(v, "units")->button(1), Qt::LeftButton);
    EXPECT_EQ(m->barStyle(), BarStyle::wide);
    EXPECT_EQ(m->units(), RateUnits::bytes);
    m->setBarStyle(BarStyle::stacked); // from the tray menu: the open footer follows
    m->setUnits(RateUnits::bits);
    for (const char* picker : {"barStyle", "units"})
        EXPECT_TRUE(part<SegmentedPicker>(v, picker)->button(0)->isChecked()) << picker;
    const auto click = [&](const char* name) {
        auto* box = part<QCheckBox>(v, name);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    };
    for (const char* box : {"privacy", "lookup", "launch"})
        click(box);
    EXPECT_TRUE(m->privacyMode() && !m->publicIPLookup() && m->loginItem().enabled());
    m->loginItem().setEnabled(false); // from the tray menu
    EXPECT_FALSE(part<QCheckBox>(v, "launch")->isChecked());

    // A file where the autostart directory should be, a directory for the preferences.
    ASSERT_TRUE(QFile(dir.filePath(u"config"_s)).open(QIODevice::WriteOnly));
    click("launch");
    ASSERT_TRUE(m->loginItem().lastError());
    EXPECT_EQ(text(v, "loginError"), *m->loginItem().lastError());
    ASSERT_TRUE(QFile::remove(prefsPath()) && QDir().mkdir(prefsPath()));
    click("privacy");
    ASSERT_TRUE(m->preferencesError());
    EXPECT_EQ(text(v, "prefsError"), *m->preferencesError());

    ASSERT_TRUE(waitTicks(*m, 2));
    QTest::mouseClick(part<QAbstractButton>(v, "reset"), Qt::LeftButton);
    EXPECT_LE(part<SparklineView>(v, "sparkline")->samples().size(), 1u);
    QObject guard; // scoped: it must not end a later test's event loop
    QTimer::singleShot(5000, &guard, [] { QCoreApplication::exit(1); });
    QTimer::singleShot(0, [&] { part<QPushButton>(v, "quit")->click(); });
    EXPECT_EQ(QApplication::exec(), 0) << "Quit ends the application";
}

// Drawn for a render: laid out without ever being shown, here in German, whose texts are
// longer; figures and units stay as they are.
TEST_F(PanelFixture, RendersLaidOutInGerman)
{
    ASSERT_TRUE(installTranslations(QLocale(QLocale::German, QLocale::Germany)));
    struct English {
        ~English() { installTranslations(QLocale(QLocale::English)); }
    } restore;
    auto m = makeDemoModel();
    PanelView v(m.get(), PanelView::Face::drawn);
    m->setUnits(RateUnits::bytes); // a change after construction must be laid out too
    const QImage image = v.renderImage(2);
    EXPECT_EQ(image.size(), QSize(528, 2 * v.height()));
    EXPECT_FALSE(v.isVisible());
    for (QLabel* label : v.findChildren<QLabel*>())
        EXPECT_TRUE(!label->isVisibleTo(&v) || label->width() >= label->sizeHint().width())
            << label->text().toStdString();
    auto* quit = part<QPushButton>(v, "quit");
    EXPECT_EQ(quit->mapTo(&v, QPoint(0, quit->height())).y(), v.height() - PanelView::padding);
    EXPECT_EQ(quit->text(), u"Beenden"_s);
    EXPECT_EQ(part<InfoRow>(v, "localIP")->label(), u"Lokale IP"_s);
    EXPECT_EQ(part(v, "sparkline")->accessibleName(), u"Durchsatz der letzten zwei Minuten"_s);
    EXPECT_EQ(part<SpeedBlock>(v, "download")->value() + part<SpeedBlock>(v, "download")->unit(),
              u"64.0MB"_s);
}

TEST(PanelWindowPlacement, BesideTheBarNeverOverIt)
{
    const QRect screen(0, 0, 1920, 1080), left(-1280, 200, 1280, 600);
    const std::tuple<const char*, QPoint, QRect, QRect, QPoint> cases[] = {
        {"top bar with a strut", {1000, 12}, screen, {0, 24, 1920, 1056}, {868, 31}},
        {"top bar without one, at the right end", {1800, 12}, screen, screen, {1656, 31}},
        {"thick top bar", {1000, 12}, screen, {0, 40, 1920, 1040}, {868, 46}},
        {"bottom bar", {1000, 1058}, screen, {0, 0, 1920, 1036}, {868, 530}},
        {"left bar", {15, 500}, screen, screen, {37, 250}},
        {"left bar, low click: kept on the screen", {15, 1000}, screen, screen, {37, 580}},
        {"right edge of a screen to the left, little room", {-20, 390}, left, left, {-309, 200}},
    };
    for (const auto& [what, click, bounds, available, expected] : cases)
        EXPECT_EQ(PanelWindow::placement({264, 500}, click, bounds, available), expected) << what;
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
    QCursor::setPos(at); // the pointer is over the item
    w.toggleAt(at);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_TRUE(m->panelOpen());
    EXPECT_EQ(w.pos(), QPoint(268, 17)) << "centred below the click on the top bar";
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
