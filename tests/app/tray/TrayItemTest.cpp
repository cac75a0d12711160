#include "app/tray/TrayItem.h"

#include "app/tray/SniTypes.h"
#include "app/tray/TrayArt.h"
#include "support/FakeStatusNotifierWatcher.h"
#include "support/PrivateBus.h"

#include <QApplication>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QPalette>
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

// Alpha-only drawing: (0,0) opaque, (1,0) half covered; the HiDPI copy has its last pixel opaque.
// Built fresh each call: equal content, new objects.
LabelImage sampleImage(int extraOpaqueX = -1)
{
    QImage normal(3, 2, QImage::Format_ARGB32_Premultiplied);
    normal.fill(Qt::transparent);
    normal.setPixel(0, 0, qRgba(0, 0, 0, 255));
    normal.setPixel(1, 0, qRgba(0, 0, 0, 128));
    if (extraOpaqueX >= 0)
        normal.setPixel(extraOpaqueX, 1, qRgba(0, 0, 0, 255));
    QImage hiDpi(6, 4, QImage::Format_ARGB32_Premultiplied);
    hiDpi.fill(Qt::transparent);
    hiDpi.setPixel(5, 3, qRgba(0, 0, 0, 255));
    hiDpi.setDevicePixelRatio(2);
    return {normal, hiDpi};
}

void usePalette(const QColor& window)
{
    QPalette p = QGuiApplication::palette();
    p.setColor(QPalette::Window, window);
    QApplication::setPalette(p);
}

// Pixel (x,y) of a wire pixmap as {A, R, G, B}.
std::array<int, 4> pixel(const SniPixmap& p, int x, int y)
{
    const auto* b = reinterpret_cast<const uchar*>(p.bytes.constData()) + 4 * (y * p.width + x);
    return {b[0], b[1], b[2], b[3]};
}

} // namespace

class TrayItemTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { bus_ = std::make_unique<PrivateBus>(); }
    static void TearDownTestSuite() { bus_.reset(); }
    void SetUp() override
    {
        ASSERT_TRUE(bus_->isRunning());
        usePalette(QColor(0x30, 0x30, 0x30));
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

TEST_F(TrayItemTest, RegistersAndServesTheDrawingInNetworkByteOrder)
{
    auto item = registeredItem();
    const QRegularExpression pattern(QStringLiteral("^org\\.kde\\.StatusNotifierItem-%1-\\d+$")
                                         .arg(QCoreApplication::applicationPid()));
    EXPECT_TRUE(pattern.match(item->serviceName()).hasMatch()) << item->serviceName().toStdString();
    EXPECT_NE(item->serviceName(), makeItem()->serviceName());
    EXPECT_EQ(watcher_->registeredItems(), QStringList{item->serviceName() + itemPath});
    EXPECT_FALSE(item->isUsingFallback());
    EXPECT_EQ(prop(*item, "Id").toString(), u"corvane");
    EXPECT_TRUE(prop(*item, "IconName").toString().isEmpty()); // a name would hide the pixmap

    item->setLabelImage(sampleImage()); // drawn in white ink on the dark palette
    const QList<SniPixmap> icon = iconOf(*item);
    ASSERT_EQ(icon.size(), 2);
    EXPECT_EQ(QSize(icon[0].width, icon[0].height), QSize(3, 2));
    EXPECT_EQ(QSize(icon[1].width, icon[1].height), QSize(6, 4));
    ASSERT_EQ(icon[0].bytes.size(), 3 * 2 * 4);
    ASSERT_EQ(icon[1].bytes.size(), 6 * 4 * 4);
    EXPECT_EQ(pixel(icon[0], 0, 0), (std::array{255, 255, 255, 255}));
    const auto half = pixel(icon[0], 1, 0);
    EXPECT_EQ(half[0], 128);
    EXPECT_NEAR(half[1], 255, 2); // un-premultiplied; that rounds
    EXPECT_EQ(pixel(icon[0], 2, 0)[0], 0);
    EXPECT_EQ(pixel(icon[1], 5, 3)[0], 255);
}

TEST_F(TrayItemTest, WideStyleCarriesTheTextAndItsWidestShapeBesideASymbol)
{
    auto item = registeredItem();
    item->setLabelImage(sampleImage());
    item->setLabel(sampleLabel);
    item->setStyle(BarStyle::wide);
    EXPECT_EQ(prop(*item, "XAyatanaLabel").toString(), sampleLabel);
    EXPECT_EQ(prop(*item, "XAyatanaLabelGuide").toString(), u"↓0000Mb ↑0000Mb");
    const QList<SniPixmap> icon = iconOf(*item);
    ASSERT_EQ(icon.size(), 2);
    EXPECT_EQ(QSize(icon[0].width, icon[0].height), QSize(22, 22));
    EXPECT_TRUE(icon[0].bytes.contains(char(0xff))); // not blank

    // The accessible name follows the label in both styles; only the wide one shows text.
    for (BarStyle style : {BarStyle::wide, BarStyle::stacked}) {
        item->setStyle(style);
        EXPECT_EQ(prop(*item, "Title").toString(), sampleLabel);
        const auto tip = qdbus_cast<SniToolTip>(prop(*item, "ToolTip").value<QDBusArgument>());
        EXPECT_EQ(tip.title, sampleLabel);
    }
    EXPECT_TRUE(prop(*item, "XAyatanaLabel").toString().isEmpty());
    EXPECT_EQ(tray_art::labelGuide(QStringLiteral("↓\u2007\u2007\u20070Kb ↑1.23Gb")),
              u"↓0000Mb ↑0000Mb");
    EXPECT_EQ(tray_art::labelGuide(QStringLiteral("↓12.34GB ↑0KB")), u"↓00000MB ↑0MB");
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
    expectSignals(
        "new text", [&] { item->setLabel(a); }, "NewTitle NewToolTip");
    expectSignals(
        "same text", [&] { item->setLabel(a); }, "");
    expectSignals(
        "first drawing", [&] { item->setLabelImage(sampleImage()); }, "NewIcon");
    expectSignals(
        "equal drawing, new object", [&] { item->setLabelImage(sampleImage()); }, "");
    expectSignals(
        "palette", [] { usePalette(QColor(0xf0, 0xf0, 0xf0)); }, "NewIcon");
    expectSignals(
        "to wide", [&] { item->setStyle(BarStyle::wide); }, "NewIcon XAyatanaNewLabel(a,a)");
    expectSignals(
        "drawing while wide", [&] { item->setLabelImage(sampleImage(2)); }, "");
    expectSignals(
        "text while wide", [&] { item->setLabel(b); }, "NewTitle NewToolTip XAyatanaNewLabel(b,b)");
    expectSignals(
        "back to stacked", [&] { item->setStyle(BarStyle::stacked); },
        "NewIcon XAyatanaNewLabel(,)"); // the stacked style shows no text
    // The drawing that arrived while wide is shown after returning, in the light palette's ink.
    EXPECT_EQ(pixel(iconOf(*item)[0], 2, 1), (std::array{255, 0x20, 0x20, 0x20}));
}

TEST_F(TrayItemTest, ClicksAskForThePanelAtTheClickPosition)
{
    auto item = registeredItem();
    QSignalSpy asked(item.get(), &TrayItem::activateRequested);
    for (const char* method : {"Activate", "SecondaryActivate", "ContextMenu"}) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            item->serviceName(), itemPath, itemInterface, QString::fromLatin1(method));
        call << 120 << 7;
        watcher_->connection().asyncCall(call);
        ASSERT_TRUE(asked.wait(5000)) << method;
        EXPECT_EQ(asked.takeFirst().at(0).toPoint(), QPoint(120, 7));
    }
}

TEST_F(TrayItemTest, FallsBackWithoutAWatcherAndRegistersWithEachNewOne)
{
    auto item = makeItem();
    item->setLabel(sampleLabel);
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
