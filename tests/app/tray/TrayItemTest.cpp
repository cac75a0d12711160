#include "app/tray/TrayItem.h"

#include "app/tray/StatusNotifierItemObject.h"
#include "app/tray/TrayArt.h"
#include "support/FakeStatusNotifierWatcher.h"
#include "support/PrivateBus.h"

#include <QDBusObjectPath>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSvgRenderer>
#include <QTest>
#include <gtest/gtest.h>

using namespace corvane;
using namespace corvane::testing;
using namespace Qt::StringLiterals;

namespace {

const QString itemPath = u"/StatusNotifierItem"_s;

// Rows and columns holding ink (alpha over half) in rows [top, bottom) of `image`.
QRect inkBox(const QImage& image, int top, int bottom)
{
    QRect box;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 128)
                box |= QRect(x, y, 1, 1);
    return box;
}

// The square label fills each slot with two aligned lines; the wide one is a strip. The desktop
// entry names the icon installed beside it, and that icon renders.
TEST(TrayArt, SquareAndWideLabelsAndTheInstalledIcon)
{
    for (int px : tray_art::squareSizes) {
        for (bool plate : {false, true}) {
            const QImage img =
                tray_art::squareLabel(px, u"512"_s, u"24.6"_s, false, false, {Qt::white, plate});
            ASSERT_EQ(img.size(), QSize(px, px));
            const QImage ink = plate ? img.convertToFormat(QImage::Format_Grayscale8)
                                           .convertToFormat(QImage::Format_Alpha8)
                                     : img;
            const QRect down = inkBox(ink, 0, px / 2), up = inkBox(ink, px / 2, px);
            SCOPED_TRACE(::testing::Message() << px << " px, plate " << plate);
            // Digits of at least a third of the slot, on separate halves, ending in one column.
            EXPECT_GE(std::min(down.height(), up.height()), px / 3);
            bool clearRow = plate; // between the lines; a plate's tighter slot lets them touch
            for (int y = down.top(); y < up.bottom(); ++y)
                clearRow |= inkBox(ink, y, y + 1).isEmpty();
            EXPECT_TRUE(clearRow);
            EXPECT_LE(std::abs(down.right() - up.right()), 1);
            EXPECT_GE(up.width(), px / 2) << "the longer figure uses the width";
        }
    }
    const QImage wide = tray_art::wideLabel(21, u"↓\u2007512Mb ↑24.6Mb"_s, {Qt::white, false});
    EXPECT_EQ(wide.height(), 21);
    EXPECT_GT(wide.width(), 3 * 21);
    QFile desktop(QStringLiteral(CORVANE_RESOURCES_DIR "/io.github.corvane.Corvane.desktop"));
    ASSERT_TRUE(desktop.open(QIODevice::ReadOnly | QIODevice::Text));
    EXPECT_TRUE(desktop.readAll().contains("\nIcon=io.github.corvane.Corvane\n"));
    EXPECT_TRUE(QSvgRenderer(QStringLiteral(CORVANE_RESOURCES_DIR "/io.github.corvane.Corvane.svg"))
                    .isValid());
}

TEST(TrayMenuLayout, RadioGroupsFollowTheStateAndIdsStayPut)
{
    const MenuEntry m = trayMenu({BarStyle::wide, RateUnits::bytes, true});
    QStringList shape;
    for (const MenuEntry& e : m.children) {
        QString s = QString::number(e.id) + (e.isSeparator() ? u"-"_s : e.label);
        for (const MenuEntry& c : e.children)
            s += u' ' + QString::number(c.id) + c.label + (c.checked ? u"*"_s : QString());
        shape << s + (e.toggle == MenuEntry::Toggle::checkmark && e.checked ? u"*"_s : QString());
    }
    EXPECT_EQ(shape.join(u'|'), u"1Open panel|2Bar style 3Stacked 4Wide*|5Units 6bits/s "
                                u"7bytes/s*|8Launch at login*|9-|10Quit");
    using enum TrayAction;
    const std::pair<int, TrayAction> actions[] = {{1, openPanel}, {3, stacked}, {4, wide},
                                                  {6, bits},      {7, bytes},   {8, launchAtLogin},
                                                  {10, quit}};
    for (auto [id, action] : actions)
        EXPECT_EQ(m.find(id) ? m.find(id)->action : std::nullopt, action) << id;
    EXPECT_EQ(m.find(99), nullptr);
}

TEST(TrayItem, RegistersServesAndSignalsOnlyWhatChanged)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    FakeStatusNotifierWatcher watcher{bus.address()};
    auto makeItem = [&, n = 0]() mutable {
        auto item = std::make_unique<TrayItem>(bus.connect(u"tray-item-%1"_s.arg(++n)));
        item->setLabel(u"↓12.3Mb ↑\u2007850Kb"_s, {512, 24.6}, RateUnits::bits);
        item->show();
        return item;
    };
    const auto prop = [&](const TrayItem& item, const char* name) {
        return watcher.itemProperty(item.serviceName(), QString::fromLatin1(name));
    };
    auto item = makeItem();
    EXPECT_TRUE(QTest::qWaitFor([&] { return item->isUsingFallback(); })) << "no watcher yet";
    ASSERT_TRUE(watcher.start());
    ASSERT_TRUE(QTest::qWaitFor([&] { return item->isRegistered(); }));
    EXPECT_FALSE(item->isUsingFallback());
    const QRegularExpression name(
        u"^org\\.kde\\.StatusNotifierItem-%1-\\d+$"_s.arg(QCoreApplication::applicationPid()));
    EXPECT_TRUE(name.match(item->serviceName()).hasMatch()) << item->serviceName().toStdString();
    EXPECT_EQ(watcher.registeredItems(), QStringList{item->serviceName() + itemPath});
    EXPECT_EQ(prop(*item, "Id").toString(), u"corvane");
    EXPECT_TRUE(prop(*item, "IconName").toString().isEmpty()); // a name would hide the pixmap
    EXPECT_FALSE(prop(*item, "ItemIsMenu").toBool());          // a left click opens the panel
    const auto icon =
        qdbus_cast<QList<SniPixmap>>(prop(*item, "IconPixmap").value<QDBusArgument>());
    ASSERT_EQ(icon.size(), qsizetype(tray_art::squareSizes.size()));
    // Nothing known of the panel: white figures on a dark plate, sent as A, R, G, B.
    EXPECT_EQ(icon[0].bytes.mid(4 * 8 * 16, 2), QByteArray("\xb8\0", 2)); // pixel (0, 8)
    // Hosts that find the label property draw it instead of the icon, even when empty.
    EXPECT_FALSE(prop(*item, "XAyatanaLabel").isValid());

    watcher.recordSignalsOf(item->serviceName());
    const QString a = u"1.5Kb"_s, b = u"b"_s; // hosts size the label by a guide
    item->setLabel(a, {1, 1}, RateUnits::bits);
    EXPECT_EQ(watcher.takeSignals(), "NewIcon NewTitle NewToolTip");
    item->setLabel(a, {1, 1}, RateUnits::bits);
    EXPECT_EQ(watcher.takeSignals(), "");
    item->setLabel(a, {2, 1}, RateUnits::bits); // the square icon draws the figures
    EXPECT_EQ(watcher.takeSignals(), "NewIcon");
    item->setLabelInk(LabelInk::dark);
    EXPECT_EQ(watcher.takeSignals(), "NewIcon");
    item->setStyle(BarStyle::wide);
    EXPECT_EQ(watcher.takeSignals(), "XAyatanaNewLabel(1.5Kb,000Mb)");
    item->setLabel(b, {2, 1}, RateUnits::bits);
    EXPECT_EQ(watcher.takeSignals(), "NewTitle NewToolTip XAyatanaNewLabel(b,b)");
    item->setStyle(BarStyle::stacked);
    EXPECT_EQ(watcher.takeSignals(), "XAyatanaNewLabel(,)");

    // Menu events and clicks reach the application, after the reply.
    const auto call = [&](const QString& path, const char* interface, const char* method,
                          const QVariantList& args) {
        QDBusMessage m = QDBusMessage::createMethodCall(
            item->serviceName(), path, QLatin1String(interface), QLatin1String(method));
        m.setArguments(args);
        return watcher.connection().call(m, QDBus::BlockWithGui);
    };
    const QString menu = prop(*item, "Menu").value<QDBusObjectPath>().path();
    const char* dbusmenu = "com.canonical.dbusmenu";
    EXPECT_EQ(call(menu, dbusmenu, "GetLayout", {0, -1, QStringList()}).signature(),
              u"u(ia{sv}av)");
    QSignalSpy acted(item.get(), &TrayItem::actionRequested);
    QSignalSpy opened(item.get(), &TrayItem::menuOpened);
    QSignalSpy asked(item.get(), &TrayItem::activateRequested);
    const QVariant none = QVariant::fromValue(QDBusVariant(QString()));
    call(menu, dbusmenu, "Event", {10, u"opened"_s, none, 0u}); // a submenu, not the menu
    call(menu, dbusmenu, "Event", {10, u"clicked"_s, none, 0u});
    ASSERT_TRUE(QTest::qWaitFor([&] { return acted.size() == 1; }));
    EXPECT_EQ(acted.at(0).at(0).value<TrayAction>(), TrayAction::quit);
    EXPECT_TRUE(opened.isEmpty());
    call(menu, dbusmenu, "Event", {0, u"opened"_s, none, 0u});
    EXPECT_TRUE(QTest::qWaitFor([&] { return opened.size() == 1; }));
    for (const char* method : {"Activate", "SecondaryActivate"})
        call(itemPath, "org.kde.StatusNotifierItem", method, {120, 7});
    ASSERT_TRUE(QTest::qWaitFor([&] { return asked.size() == 2; }));
    EXPECT_EQ(asked.at(1).at(0).toPoint(), QPoint(120, 7));

    // A host that forgets the item, or a watcher that restarts, gets it registered again.
    watcher.dropSilently();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !watcher.registeredItems().isEmpty(); }));
    watcher.stop();
    EXPECT_TRUE(QTest::qWaitFor([&] { return item->isUsingFallback(); }));
    ASSERT_TRUE(watcher.start());
    EXPECT_TRUE(QTest::qWaitFor([&] { return item->isRegistered(); }));
    EXPECT_EQ(prop(*item, "Title").toString(), b);

    // GNOME's extension is given the object path: it drops items whose name it sees appear.
    qputenv("XDG_CURRENT_DESKTOP", "GNOME");
    auto gnome = makeItem();
    qunsetenv("XDG_CURRENT_DESKTOP");
    ASSERT_TRUE(QTest::qWaitFor([&] { return gnome->isRegistered(); }));
    EXPECT_EQ(gnome->host(), TrayHost::gnome);
    EXPECT_TRUE(watcher.registeredItems().constLast().startsWith(u':'));
}

} // namespace
