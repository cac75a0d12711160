#include "model/model/ModelFixture.h"

#include <QSettings>
#include <QTest>

using namespace corvane;
using corvane::testing::ModelTest;

TEST_F(ModelTest, SettersWithTheCurrentValueWriteNothing)
{
    auto m = makeModel();
    m->setUnits(RateUnits::bits);
    m->setBarStyle(BarStyle::stacked);
    m->setPrivacyMode(false);
    m->setPublicIPLookup(true);
    m->setInterfaceOverride(QStringLiteral("bad/name")); // invalid while automatic: no change
    EXPECT_TRUE(QSettings(prefsPath(), QSettings::IniFormat).allKeys().isEmpty());
}

TEST_F(ModelTest, UnitsChangeRerendersTheStackedImageAndWideStyleStopsRendering)
{
    net->setRates(80, 0);
    auto m = makeModel(0.05);
    ASSERT_TRUE(waitTicks(*m, 2));
    EXPECT_TRUE(m->label().contains(QStringLiteral("80.0Mb")));
    const LabelImage bits = m->labelImage();
    m->setUnits(RateUnits::bytes);
    EXPECT_TRUE(m->label().contains(QStringLiteral("10.0MB")));
    EXPECT_FALSE(m->labelImage() == bits);

    m->setBarStyle(BarStyle::wide);
    const LabelImage frozen = m->labelImage();
    net->setRates(16, 0);
    ASSERT_TRUE(waitTicks(*m, 2));
    EXPECT_TRUE(m->label().contains(QStringLiteral("2.0MB")));
    EXPECT_TRUE(m->labelImage() == frozen) << "the wide style never renders";
    QSignalSpy image(m.get(), &AppViewModel::labelImageChanged);
    m->setBarStyle(BarStyle::stacked); // same text, but the forced refresh renders now
    EXPECT_EQ(image.count(), 1);
}

TEST_F(ModelTest, ImageCacheIsReusedAndFlushedWhole)
{
    // The zero baseline keeps the initial image (same text). 63 rates and then zero (key Z)
    // fill the cache to 64; one more rate makes 65; Z again is a hit; the 66th distinct key
    // finds 65 entries and flushes them all, so Z is drawn anew.
    net->edit([](auto& n) {
        n.inScript.push_back(0);
        for (uint64_t k = 1; k <= 63; ++k)
            n.inScript.push_back(250'000 * k);
        n.inScript.insert(n.inScript.end(), {0, 250'000 * 64, 0, 250'000 * 65, 0});
    });
    auto m = makeModel();
    std::vector<LabelImage> images;
    QObject::connect(m.get(), &AppViewModel::tickApplied, m.get(),
                     [&] { images.push_back(m->labelImage()); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return images.size() >= 69; }, 10000));
    EXPECT_FALSE(images[64] == images[0]) << "the initial image is not cached";
    EXPECT_TRUE(images[66] == images[64]) << "zero again comes from the cache";
    EXPECT_FALSE(images[68] == images[64]) << "the flush dropped the cached zero image";
}

// A later reveal or copy replaces the earlier one's timer; leaving privacy mode ends a
// reveal; nothing empty or masked is copied.
TEST_F(ModelTest, RevealAndCopyMarksEndOnTimeAndOnlyTheLatestCounts)
{
    auto m = makeModel();
    m->setPrivacyMode(true);
    EXPECT_FALSE(m->identifiersVisible());
    m->copyRow(RowId::localIP, std::nullopt, false);
    m->copyRow(RowId::localIP, QString(), false);
    m->copyRow(RowId::localIP, QStringLiteral("198.51.100.7"), true);
    EXPECT_TRUE(copied.isEmpty());
    EXPECT_EQ(m->copiedRow(), std::nullopt);

    QSignalSpy reveal(m.get(), &AppViewModel::revealUntilChanged);
    m->revealBriefly(0.15);
    m->copyRow(RowId::interfaceName, QStringLiteral("eth0"), false);
    QTest::qWait(100);
    m->revealBriefly(0.15);
    QTest::qWait(100);
    EXPECT_TRUE(m->identifiersVisible()) << "the first timer must not end the second reveal";
    m->copyRow(RowId::localIP, QStringLiteral("198.51.100.7"), true);
    EXPECT_EQ(copied, (QStringList{QStringLiteral("eth0"), QStringLiteral("198.51.100.7")}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !m->revealUntil(); }, 2000));
    EXPECT_EQ(reveal.count(), 3);
    QTest::qWait(AppViewModel::copiedMarkMs - 200); // the first row's mark would end now
    EXPECT_EQ(m->copiedRow(), RowId::localIP);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !m->copiedRow(); }, 2000));

    m->revealBriefly();
    m->setPrivacyMode(false);
    EXPECT_EQ(m->revealUntil(), std::nullopt);
    m->setPrivacyMode(true);
    EXPECT_FALSE(m->identifiersVisible());
}

TEST_F(ModelTest, SessionResetAndOverrideReachTheSamplerInOrder)
{
    {
        auto first = makeModel(); // a pinned interface is handed to every new loop
        first->setInterfaceOverride(QStringLiteral("veth1"));
    }
    net->setRates(8, 0);
    auto m = makeModel(0.05);
    ASSERT_TRUE(waitTicks(*m, 3));
    EXPECT_EQ(m->interfaceName(), QStringLiteral("veth1"));
    EXPECT_TRUE(m->overrideHonored());
    QSignalSpy totals(m.get(), &AppViewModel::totalInBytesChanged);
    m->resetSession();
    EXPECT_EQ(m->totalInBytes(), 0u);
    EXPECT_EQ(m->ring().count(), 0);
    EXPECT_EQ(totals.count(), 1);
    net->setRates(16, 0);
    ASSERT_TRUE(waitTicks(*m, 2));
    EXPECT_EQ(m->ring().count(), 2);
    EXPECT_EQ(m->ring().ordered().front(), SpeedSample::zero()) << "a new baseline";
    EXPECT_EQ(m->ring().ordered().back(), m->current()) << "nothing from before the reset";

    m->setInterfaceOverride(QStringLiteral("veth2"));
    m->setInterfaceOverride(QStringLiteral("wlan0"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m->interfaceName() == u"wlan0"; }, 3000));
    EXPECT_EQ(QSettings(prefsPath(), QSettings::IniFormat).value("interfaceOverride"), "wlan0");
    m->setInterfaceOverride(QStringLiteral("not a name")); // invalid while pinned: automatic
    EXPECT_EQ(m->interfaceOverride(), std::nullopt);
    EXPECT_FALSE(QSettings(prefsPath(), QSettings::IniFormat).contains("interfaceOverride"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m->interfaceName() == u"eth0"; }, 3000));

    m->openDashboard();
    m->openDishy();
    EXPECT_EQ(opened, QList<QUrl>{QUrl(QStringLiteral("http://dish.invalid/"))});
}
