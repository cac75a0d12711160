#include "app/tray/TrayItem.h"

#include "app/tray/SniTypes.h"
#include "app/tray/TrayArt.h"
#include "support/FakeStatusNotifierWatcher.h"
#include "support/PrivateBus.h"

#include <QApplication>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace corvane;
using corvane::testing::FakeStatusNotifierWatcher;
using corvane::testing::PrivateBus;

namespace {

const QString itemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString itemPath = QStringLiteral("/StatusNotifierItem");
const QString sampleLabel = QStringLiteral("↓12.3Mb ↑\u2007850Kb");

// Records the item's D-Bus signals as a host would receive them, a new label with its arguments.
class SignalRecorder : public QObject {
    Q_OBJECT
public:
    SignalRecorder(QDBusConnection bus, const QString& service)
    {
        for (const char* name : {"NewTitle", "NewIcon", "NewToolTip", "XAyatanaNewLabel"})
            // Qt D-Bus 6.4 offers no pointer-to-member form of this connect.
            bus.connect(service, itemPath, itemInterface, QString::fromLatin1(name), this,
                        SLOT(record(QDBusMessage)));
    }
    QStringList seen;

public Q_SLOTS:
    void record(const QDBusMessage& m)
    {
        QStringList args;
        for (const QVariant& a : m.arguments())
            args << a.toString();
        seen << m.member() + (args.isEmpty() ? QString() : u'(' + args.join(u',') + u')');
    }
};

const SpeedSample demoRates{512, 24.6};

// Pixel (x,y) of a wire pixmap as {A, R, G, B}.
std::array<int, 4> pixel(const SniPixmap& p, int x, int y)
{
    const auto* b = reinterpret_cast<const uchar*>(p.bytes.constData()) + 4 * (y * p.width + x);
    return {b[0], b[1], b[2], b[3]};
}

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

} // namespace

class TrayItemTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { bus_ = std::make_unique<PrivateBus>(); }
    static void TearDownTestSuite() { bus_.reset(); }
    void SetUp() override
    {
        ASSERT_TRUE(bus_->isRunning());
        watcher_ = std::make_unique<FakeStatusNotifierWatcher>(bus_->address());
    }

    std::unique_ptr<TrayItem> makeItem()
    {
        static int n = 0;
        return std::make_unique<TrayItem>(bus_->connect(QStringLiteral("tray-item-%1").arg(++n)));
    }
    std::unique_ptr<TrayItem> registeredItem()
    {
        EXPECT_TRUE(watcher_->start());
        auto item = makeItem();
        item->show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return item->isRegistered(); }));
        return item;
    }
    QVariant prop(const TrayItem& item, const char* name)
    {
        return watcher_->itemProperty(item.serviceName(), QString::fromLatin1(name));
    }
    QList<SniPixmap> iconOf(const TrayItem& item)
    {
        return qdbus_cast<QList<SniPixmap>>(prop(item, "IconPixmap").value<QDBusArgument>());
    }
    // A property read is answered after every signal the item sent before it.
    void drain(const TrayItem& item)
    {
        prop(item, "Id");
        QCoreApplication::processEvents();
    }

    static std::unique_ptr<PrivateBus> bus_;
    std::unique_ptr<FakeStatusNotifierWatcher> watcher_;
};

std::unique_ptr<PrivateBus> TrayItemTest::bus_;

TEST(TraySquareLayout, FillsEachSlotWithTwoAlignedLines)
{
    for (int px : tray_art::squareSizes) {
        for (bool plate : {false, true}) {
            const QImage img =
                tray_art::squareLabel(px, QStringLiteral("512"), QStringLiteral("24.6"), false,
                                      false, {Qt::white, plate});
            ASSERT_EQ(img.size(), QSize(px, px));
            const QImage ink = plate ? img.convertToFormat(QImage::Format_Grayscale8)
                                           .convertToFormat(QImage::Format_Alpha8)
                                     : img;
            const QRect down = inkBox(ink, 0, px / 2), up = inkBox(ink, px / 2, px);
            SCOPED_TRACE(::testing::Message() << px << " px, plate " << plate);
            // Digits of at least a third of the slot, on separate halves, ending in one column.
            EXPECT_GE(down.height(), px / 3);
            EXPECT_GE(up.height(), px / 3);
            EXPECT_LE(down.bottom(), up.top());
            EXPECT_LE(std::abs(down.right() - up.right()), 1);
            EXPECT_GE(up.width(), px / 2) << "the longer figure uses the width";
        }
    }
    const QImage wide =
        tray_art::wideLabel(21, QStringLiteral("↓\u2007512Mb ↑24.6Mb"), {Qt::white, false});
    EXPECT_EQ(wide.height(), 21);
    EXPECT_GT(wide.width(), 3 * 21);
}

TEST_F(TrayItemTest, ServesSquareFiguresAMenuAndALabelOnlyWhenWide)
{
    auto item = registeredItem();
    EXPECT_EQ(item->host(), TrayHost::unknown);
    const QRegularExpression pattern(QStringLiteral("^org\\.kde\\.StatusNotifierItem-%1-\\d+$")
                                         .arg(QCoreApplication::applicationPid()));
    EXPECT_TRUE(pattern.match(item->serviceName()).hasMatch()) << item->serviceName().toStdString();
    EXPECT_NE(item->serviceName(), makeItem()->serviceName());
    EXPECT_EQ(watcher_->registeredItems(), QStringList{item->serviceName() + itemPath});
    EXPECT_EQ(prop(*item, "Id").toString(), u"corvane");
    EXPECT_TRUE(prop(*item, "IconName").toString().isEmpty()); // a name would hide the pixmap
    EXPECT_FALSE(prop(*item, "ItemIsMenu").toBool());          // a left click opens the panel

    item->setLabel(sampleLabel, demoRates, RateUnits::bits);
    const QList<SniPixmap> icon = iconOf(*item);
    ASSERT_EQ(icon.size(), qsizetype(tray_art::squareSizes.size()));
    for (qsizetype i = 0; i < icon.size(); ++i) {
        EXPECT_EQ(QSize(icon[i].width, icon[i].height),
                  QSize(tray_art::squareSizes[i], tray_art::squareSizes[i]));
        ASSERT_EQ(icon[i].bytes.size(), 4 * icon[i].width * icon[i].height);
    }
    // Nothing known of the panel: white figures on a dark plate, sent as A, R, G, B.
    EXPECT_EQ(pixel(icon[0], 0, 8)[0], 184);
    EXPECT_EQ(pixel(icon[0], 0, 8)[1], 0);
    // Hosts that find the label property draw it instead of the icon, even when empty.
    EXPECT_FALSE(prop(*item, "XAyatanaLabel").isValid());
    item->setStyle(BarStyle::wide);
    EXPECT_EQ(prop(*item, "XAyatanaLabel").toString(), sampleLabel);
    EXPECT_EQ(prop(*item, "XAyatanaLabelGuide").toString(), u"↓0000Mb ↑0000Mb");
    EXPECT_EQ(prop(*item, "IconAccessibleDesc").toString(), sampleLabel);

    const QString menu = prop(*item, "Menu").value<QDBusObjectPath>().path();
    QDBusMessage layout = QDBusMessage::createMethodCall(item->serviceName(), menu,
                                                         QStringLiteral("com.canonical.dbusmenu"),
                                                         QStringLiteral("GetLayout"));
    layout << 0 << -1 << QStringList{QStringLiteral("label")};
    const QDBusMessage reply = watcher_->connection().call(layout, QDBus::BlockWithGui);
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(reply.signature(), u"u(ia{sv}av)");
    QSignalSpy acted(item.get(), &TrayItem::actionRequested);
    QSignalSpy opened(item.get(), &TrayItem::menuOpened);
    const auto event = [&](int id, const char* what) {
        QDBusMessage m = QDBusMessage::createMethodCall(item->serviceName(), menu,
                                                        QStringLiteral("com.canonical.dbusmenu"),
                                                        QStringLiteral("Event"));
        m << id << QString::fromLatin1(what) << QVariant::fromValue(QDBusVariant(QString())) << 0u;
        watcher_->connection().asyncCall(m);
    };
    event(10, "opened"); // a submenu's opening is not the host showing the menu
    event(10, "clicked");
    ASSERT_TRUE(acted.wait(5000));
    EXPECT_EQ(acted.takeFirst().at(0).value<TrayAction>(), TrayAction::quit);
    EXPECT_TRUE(opened.isEmpty());
    event(0, "opened");
    EXPECT_TRUE(opened.wait(5000));
}

TEST(TrayMenuLayout, RadioGroupsFollowTheState)
{
    const MenuEntry m = trayMenu({BarStyle::wide, RateUnits::bytes, true});
    QStringList shape;
    for (const MenuEntry& e : m.children) {
        QString s = e.isSeparator() ? QStringLiteral("-") : e.label;
        for (const MenuEntry& c : e.children)
            s += u' ' + c.label + (c.checked ? QStringLiteral("*") : QString());
        if (e.toggle == MenuEntry::Toggle::checkmark && e.checked)
            s += u'*';
        shape << s;
    }
    EXPECT_EQ(shape.join(u'|'), u"Open panel|Bar style Stacked Wide*|Units bits/s bytes/s*|"
                                u"Launch at login*|-|Quit");
    ASSERT_NE(m.find(4), nullptr);
    EXPECT_EQ(m.find(4)->action, TrayAction::wide);
    EXPECT_EQ(m.find(99), nullptr);
}

TEST_F(TrayItemTest, HostsAreSignalledOnlyForWhatChanged)
{
    auto item = registeredItem();
    SignalRecorder rec(watcher_->connection(), item->serviceName());
    drain(*item);

    const auto expectSignals = [&](const char* what, const std::function<void()>& act,
                                   const char* expected) {
        rec.seen.clear();
        act();
        drain(*item);
        rec.seen.sort();
        EXPECT_EQ(rec.seen.join(u' '), QString::fromUtf8(expected)) << what;
    };
    const QString a = QStringLiteral("a"), b = QStringLiteral("b");
    const SpeedSample one{1, 1};
    expectSignals(
        "new text", [&] { item->setLabel(a, one, RateUnits::bits); },
        "NewIcon NewTitle NewToolTip");
    expectSignals(
        "same text", [&] { item->setLabel(a, one, RateUnits::bits); }, "");
    expectSignals(
        "forced ink", [&] { item->setLabelInk(LabelInk::dark); }, "NewIcon");
    expectSignals(
        "to wide", [&] { item->setStyle(BarStyle::wide); }, "XAyatanaNewLabel(a,a)");
    expectSignals(
        "text while wide", [&] { item->setLabel(b, one, RateUnits::bits); },
        "NewTitle NewToolTip XAyatanaNewLabel(b,b)");
    expectSignals(
        "back to stacked", [&] { item->setStyle(BarStyle::stacked); }, "XAyatanaNewLabel(,)");
}

TEST_F(TrayItemTest, ClicksAskForThePanelAtTheClickPosition)
{
    auto item = registeredItem();
    QSignalSpy asked(item.get(), &TrayItem::activateRequested);
    for (const char* method : {"Activate", "SecondaryActivate"}) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            item->serviceName(), itemPath, itemInterface, QString::fromLatin1(method));
        call << 120 << 7;
        watcher_->connection().asyncCall(call);
        ASSERT_TRUE(asked.wait(5000)) << method;
        EXPECT_EQ(asked.takeFirst().at(0).toPoint(), QPoint(120, 7));
    }
}

TEST_F(TrayItemTest, RegistersAgainWhenTheHostDropsTheItem)
{
    // GNOME's extension is given the object path, so it never watches our name (it drops
    // items whose name it sees appear); every other host gets the name.
    for (const char* desktop : {"XFCE", "GNOME"}) {
        qputenv("XDG_CURRENT_DESKTOP", desktop);
        auto item = registeredItem();
        const bool gnome = item->host() == TrayHost::gnome;
        EXPECT_EQ(gnome, qstrcmp(desktop, "GNOME") == 0);
        for (int drop = 0; drop < 2; ++drop) {
            ASSERT_EQ(watcher_->registeredItems().size(), 1) << desktop;
            const QString entry = watcher_->registeredItems().front();
            EXPECT_EQ(entry.startsWith(u':'), gnome) << entry.toStdString();
            EXPECT_EQ(entry.startsWith(item->serviceName()), !gnome) << entry.toStdString();
            EXPECT_TRUE(entry.endsWith(itemPath));
            watcher_->dropSilently();
            EXPECT_TRUE(
                QTest::qWaitFor([&] { return !watcher_->registeredItems().isEmpty(); }, 5000));
        }
        watcher_->stop();
    }
    qunsetenv("XDG_CURRENT_DESKTOP");
}

TEST_F(TrayItemTest, FallsBackWithoutAWatcherAndRegistersWithEachNewOne)
{
    auto item = makeItem();
    item->setLabel(sampleLabel, demoRates, RateUnits::bits);
    item->show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return item->isUsingFallback(); }));
    EXPECT_FALSE(item->isRegistered());
    for (int run = 0; run < 2; ++run) {
        ASSERT_TRUE(watcher_->start()); // each start is a new owner of the watcher name
        EXPECT_TRUE(QTest::qWaitFor([&] { return item->isRegistered(); })) << run;
        EXPECT_FALSE(item->isUsingFallback());
        EXPECT_EQ(watcher_->registeredItems(), QStringList{item->serviceName() + itemPath});
        EXPECT_EQ(prop(*item, "Title").toString(), sampleLabel);
        watcher_->stop();
        EXPECT_TRUE(QTest::qWaitFor([&] { return item->isUsingFallback(); })) << run;
        EXPECT_FALSE(item->isRegistered());
    }
    // A watcher that says no is no better than none: the item must stay visible.
    watcher_->refuse = true;
    ASSERT_TRUE(watcher_->start());
    auto refused = makeItem();
    refused->show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return refused->isUsingFallback(); }));
    EXPECT_FALSE(refused->isRegistered());

    TrayItem noBus(QDBusConnection(QStringLiteral("no-such-connection")));
    noBus.show();
    EXPECT_TRUE(noBus.isUsingFallback());
}

#include "TrayItemTest.moc"
