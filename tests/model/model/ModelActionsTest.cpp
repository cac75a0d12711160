#include "model/model/ModelFixture.h"

#include <QSettings>
#include <QTest>

using namespace corvane;
using corvane::testing::ModelTest;

// A later reveal or copy replaces the earlier one's timer; leaving privacy mode ends a
// reveal; nothing empty or masked is copied.
TEST_F(ModelTest, RevealAndCopyMarksEndOnTimeAndOnlyTheLatestCounts)
{
    auto m = makeModel();
    m->setPrivacyMode(true);
    EXPECT_FALSE(m->identifiersVisible());
    m->copyRow(RowId::localIP, std::nullopt, false);
    m->copyRow(RowId::localIP, QString(), false);
    EXPECT_TRUE(copied.isEmpty());

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

TEST_F(ModelTest, SettersStoreOnlyChangesAndReachTheLabelAndTheSamplerInOrder)
{
    {
        auto m = makeModel();
        m->setUnits(RateUnits::bits);
        m->setBarStyle(BarStyle::stacked);
        m->setPrivacyMode(false);
        m->setPublicIPLookup(true);
        m->setInterfaceOverride(QStringLiteral("bad/name")); // invalid while automatic: no change
        EXPECT_TRUE(QSettings(prefsPath(), QSettings::IniFormat).allKeys().isEmpty());

        QSignalSpy label(m.get(), &AppViewModel::labelChanged);
        QSignalSpy image(m.get(), &AppViewModel::labelImageChanged);
        QSignalSpy style(m.get(), &AppViewModel::barStyleChanged);
        m->setUnits(RateUnits::bytes); // still stacked: the image is drawn anew
        m->setBarStyle(BarStyle::wide);
        EXPECT_EQ(label.count(), 1);
        EXPECT_EQ(image.count(), 1);
        EXPECT_EQ(style.count(), 1);
        EXPECT_TRUE(m->label().contains(u'B')) << m->label().toStdString();
        QSettings stored(prefsPath(), QSettings::IniFormat);
        EXPECT_EQ(stored.value("units"), "bytes");
        EXPECT_EQ(stored.value("barStyle"), "wide");
        m->setInterfaceOverride(QStringLiteral("veth1")); // handed to every new loop
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
