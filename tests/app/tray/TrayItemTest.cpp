#include "app/tray/TrayItem.h"

#include "app/tray/SniTypes.h"
#include "app/tray/TrayArt.h"
#include "support/FakeStatusNotifierWatcher.h"
#include "support/PrivateBus.h"

#include <QApplication>
#include <QDBusMessage>
#include <QDBusObjectPath>
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

// Counts the item's D-Bus signals as a host would receive them.
class SignalRecorder : public QObject {
    Q_OBJECT
public:
    void listen(QDBusConnection bus, const QString& service)
    {
        for (const char* name : {"NewTitle", "NewIcon", "NewToolTip", "XAyatanaNewLabel"})
            // Qt D-Bus 6.4 offers no pointer-to-member form of this connect.
            bus.connect(service, itemPath, itemInterface, QString::fromLatin1(name), this,
                        SLOT(record(QDBusMessage)));
    }
    QMap<QString, int> counts;
    QVariantList lastLabel;

public Q_SLOTS:
    void record(const QDBusMessage& m)
    {
        ++counts[m.member()];
        if (m.member() == u"XAyatanaNewLabel")
            lastLabel = m.arguments();
    }
};

// An alpha-only drawing: pixel (0,0) opaque, (1,0) half covered, the rest empty; the HiDPI
// copy has its last pixel opaque. Built fresh each call, so equal content, new objects.
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
    void TearDown() override { usePalette(QColor(0xef, 0xef, 0xef)); }

    std::unique_ptr<TrayItem> makeItem()
    {
        static int n = 0;
        return std::make_unique<TrayItem>(bus_->connect(QStringLiteral("tray-item-%1").arg(++n)));
    }
    // Shows the item to a running watcher and waits for the registration.
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

TEST_F(TrayItemTest, RegistersUnderItsOwnNameWithTheWireTypesHostsExpect)
{
    auto item = registeredItem();
    auto other = makeItem();
    const QRegularExpression pattern(QStringLiteral("^org\\.kde\\.StatusNotifierItem-%1-\\d+$")
                                         .arg(QCoreApplication::applicationPid()));
    EXPECT_TRUE(pattern.match(item->serviceName()).hasMatch()) << item->serviceName().toStdString();
    EXPECT_NE(item->serviceName(), other->serviceName());
    ASSERT_EQ(watcher_->registrations().size(), 1);
    EXPECT_EQ(watcher_->registrations()[0].argument, item->serviceName());
    EXPECT_EQ(watcher_->registeredItems(), QStringList{item->serviceName() + itemPath});
    EXPECT_FALSE(item->isUsingFallback());

    EXPECT_EQ(prop(*item, "Category").toString(), u"ApplicationStatus");
    EXPECT_EQ(prop(*item, "Id").toString(), u"corvane");
    EXPECT_EQ(prop(*item, "Status").toString(), u"Active");
    EXPECT_EQ(prop(*item, "WindowId").metaType(), QMetaType::fromType<int>());
    EXPECT_EQ(prop(*item, "ItemIsMenu"), QVariant(false));
    EXPECT_TRUE(prop(*item, "IconName").toString().isEmpty()); // a name would hide the pixmap
    EXPECT_EQ(prop(*item, "Menu").value<QDBusObjectPath>().path(), u"/NO_DBUSMENU");
    EXPECT_EQ(prop(*item, "IconPixmap").value<QDBusArgument>().currentSignature(), u"a(iiay)");
    EXPECT_EQ(prop(*item, "ToolTip").value<QDBusArgument>().currentSignature(), u"(sa(iiay)ss)");

    QSignalSpy gone(watcher_.get(), &FakeStatusNotifierWatcher::itemUnregistered);
    item.reset();
    EXPECT_TRUE(gone.wait(5000));
    EXPECT_TRUE(watcher_->registeredItems().isEmpty());
}

struct InkCase {
    const char* name;
    QColor window;
    int ink;
};

class TrayItemInkTest : public TrayItemTest, public ::testing::WithParamInterface<InkCase> {};

TEST_P(TrayItemInkTest, StackedIconIsTheDrawingInTheTrayInkInNetworkByteOrder)
{
    usePalette(GetParam().window);
    auto item = registeredItem();
    item->setLabelImage(sampleImage());
    const int ink = GetParam().ink;

    const QList<SniPixmap> icon = iconOf(*item);
    ASSERT_EQ(icon.size(), 2);
    EXPECT_EQ(QSize(icon[0].width, icon[0].height), QSize(3, 2));
    EXPECT_EQ(QSize(icon[1].width, icon[1].height), QSize(6, 4));
    ASSERT_EQ(icon[0].bytes.size(), 3 * 2 * 4);
    ASSERT_EQ(icon[1].bytes.size(), 6 * 4 * 4);
    EXPECT_EQ(pixel(icon[0], 0, 0), (std::array{255, ink, ink, ink}));
    const auto half = pixel(icon[0], 1, 0);
    EXPECT_EQ(half[0], 128);
    for (int c = 1; c < 4; ++c)
        EXPECT_NEAR(half[c], ink, 2); // un-premultiplying rounds
    EXPECT_EQ(pixel(icon[0], 2, 0)[0], 0);
    EXPECT_EQ(pixel(icon[1], 5, 3), (std::array{255, ink, ink, ink}));
    EXPECT_EQ(pixel(icon[1], 0, 0)[0], 0);
}

INSTANTIATE_TEST_SUITE_P(Palettes, TrayItemInkTest,
                         ::testing::Values(InkCase{"dark", QColor(0x20, 0x20, 0x20), 0xff},
                                           InkCase{"light", QColor(0xf0, 0xf0, 0xf0), 0x20}),
                         [](const auto& info) { return info.param.name; });

TEST_F(TrayItemTest, PaletteChangeRecoloursTheIcon)
{
    auto item = registeredItem();
    item->setLabelImage(sampleImage());
    SignalRecorder rec;
    rec.listen(watcher_->connection(), item->serviceName());
    drain(*item);

    usePalette(QColor(0xf0, 0xf0, 0xf0));
    drain(*item);
    EXPECT_EQ(rec.counts.value(QStringLiteral("NewIcon")), 1);
    EXPECT_EQ(pixel(iconOf(*item)[0], 0, 0), (std::array{255, 0x20, 0x20, 0x20}));
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
    EXPECT_EQ(QSize(icon[1].width, icon[1].height), QSize(44, 44));
    EXPECT_TRUE(icon[0].bytes.contains(char(0xff))); // not blank

    // The accessible name follows the label in both styles; only the wide one shows text.
    for (BarStyle style : {BarStyle::wide, BarStyle::stacked}) {
        item->setStyle(style);
        EXPECT_EQ(prop(*item, "Title").toString(), sampleLabel);
        const auto tip = qdbus_cast<SniToolTip>(prop(*item, "ToolTip").value<QDBusArgument>());
        EXPECT_EQ(tip.title, sampleLabel);
    }
    EXPECT_TRUE(prop(*item, "XAyatanaLabel").toString().isEmpty());
}

TEST(TrayLabelGuide, KeepsTheShapeWithTheWidestCharacters)
{
    using tray_art::labelGuide;
    EXPECT_EQ(labelGuide(QStringLiteral("↓\u2007\u2007\u20070Kb ↑1.23Gb")), u"↓0000Mb ↑0000Mb");
    EXPECT_EQ(labelGuide(QStringLiteral("↓10.0MB ↑\u2007850KB")), u"↓0000MB ↑0000MB");
    EXPECT_EQ(labelGuide(QStringLiteral("↓12.34Gb ↑0Kb")), u"↓00000Mb ↑0Mb");
    EXPECT_EQ(labelGuide(QString()), QString());
}

TEST_F(TrayItemTest, HostsAreSignalledOnlyForWhatChanged)
{
    auto item = registeredItem();
    SignalRecorder rec;
    rec.listen(watcher_->connection(), item->serviceName());
    drain(*item);

    struct Step {
        const char* what;
        std::function<void()> act;
        QMap<QString, int> expected;
        QVariantList label = {}; // arguments of XAyatanaNewLabel, when it fires
    };
    const std::vector<Step> steps = {
        {"new text",
         [&] { item->setLabel(QStringLiteral("a")); },
         {{"NewTitle", 1}, {"NewToolTip", 1}}},
        {"same text", [&] { item->setLabel(QStringLiteral("a")); }, {}},
        {"first drawing", [&] { item->setLabelImage(sampleImage()); }, {{"NewIcon", 1}}},
        {"equal drawing, new object", [&] { item->setLabelImage(sampleImage()); }, {}},
        {"to wide",
         [&] { item->setStyle(BarStyle::wide); },
         {{"NewIcon", 1}, {"XAyatanaNewLabel", 1}},
         {QStringLiteral("a"), QStringLiteral("a")}},
        {"drawing while wide", [&] { item->setLabelImage(sampleImage(2)); }, {}},
        {"text while wide",
         [&] { item->setLabel(QStringLiteral("b")); },
         {{"NewTitle", 1}, {"NewToolTip", 1}, {"XAyatanaNewLabel", 1}},
         {QStringLiteral("b"), QStringLiteral("b")}},
        {"back to stacked",
         [&] { item->setStyle(BarStyle::stacked); },
         {{"NewIcon", 1}, {"XAyatanaNewLabel", 1}},
         {QString(), QString()}}, // the stacked style shows no text
    };
    for (const Step& step : steps) {
        rec.counts.clear();
        rec.lastLabel.clear();
        step.act();
        drain(*item);
        EXPECT_EQ(rec.counts, step.expected) << step.what;
        if (!step.label.isEmpty()) {
            EXPECT_EQ(rec.lastLabel, step.label) << step.what;
        }
    }
    // The drawing that arrived while wide is the one shown after returning.
    EXPECT_EQ(pixel(iconOf(*item)[0], 2, 1)[0], 255);
}

class TrayItemActivateTest : public TrayItemTest,
                             public ::testing::WithParamInterface<const char*> {};

TEST_P(TrayItemActivateTest, ClickAsksForThePanelAtTheClickPosition)
{
    auto item = registeredItem();
    QSignalSpy asked(item.get(), &TrayItem::activateRequested);
    QDBusMessage call = QDBusMessage::createMethodCall(item->serviceName(), itemPath, itemInterface,
                                                       QString::fromLatin1(GetParam()));
    call << 120 << 7;
    watcher_->connection().asyncCall(call);
    ASSERT_TRUE(asked.wait(5000));
    EXPECT_EQ(asked.at(0).at(0).toPoint(), QPoint(120, 7));
}

INSTANTIATE_TEST_SUITE_P(Methods, TrayItemActivateTest,
                         ::testing::Values("Activate", "SecondaryActivate", "ContextMenu"));

TEST_F(TrayItemTest, RegistersAgainWithARestartedWatcher)
{
    auto item = registeredItem();
    watcher_->stop();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !item->isRegistered(); }));
    EXPECT_TRUE(item->isUsingFallback());

    ASSERT_TRUE(watcher_->start()); // a fresh connection: a new owner of the watcher name
    EXPECT_TRUE(QTest::qWaitFor([&] { return item->isRegistered(); }));
    ASSERT_EQ(watcher_->registrations().size(), 2);
    EXPECT_NE(watcher_->registrations()[0].sender, QString());
    EXPECT_EQ(watcher_->registeredItems(), QStringList{item->serviceName() + itemPath});
    EXPECT_FALSE(item->isUsingFallback());
}

TEST_F(TrayItemTest, WithoutWatcherFallsBackUntilOneAppears)
{
    auto item = makeItem();
    item->setLabel(sampleLabel);
    item->show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return item->isUsingFallback(); }));
    EXPECT_FALSE(item->isRegistered());

    ASSERT_TRUE(watcher_->start());
    EXPECT_TRUE(QTest::qWaitFor([&] { return item->isRegistered(); }));
    EXPECT_FALSE(item->isUsingFallback());
    EXPECT_EQ(prop(*item, "Title").toString(), sampleLabel);
}

TEST_F(TrayItemTest, RefusedRegistrationOrNoBusFallsBack)
{
    watcher_->setRefuseRegistrations(true);
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
