#include "model/model/ModelFixture.h"
#include "support/LoopbackHttp.h"

#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace corvane;
using corvane::testing::ModelTest;

using PanelTest = ModelTest;

TEST_F(PanelTest, OpeningFillsEverythingAndClosingRestoresTheIdleCadence)
{
    auto m = makeModel();
    ASSERT_TRUE(waitTicks(*m, 1));
    QSettings(prefsPath(), QSettings::IniFormat)
        .setValue("starlinkDashboardURL", QStringLiteral(" https://dash.example.com/x "));
    QSignalSpy fetching(m.get(), &AppViewModel::fetchingPublicIPChanged);

    m->panelOpened();
    EXPECT_TRUE(m->panelOpen());
    EXPECT_TRUE(m->fetchingPublicIP());
    EXPECT_EQ(m->interfaces(), (QStringList{QStringLiteral("eth0"), QStringLiteral("wlan0")}));
    EXPECT_EQ(m->localIP(), QStringLiteral("198.51.100.7"));
    EXPECT_EQ(m->starlinkDashboardURL(), QUrl(QStringLiteral("https://dash.example.com/x")));
    EXPECT_GT(wifiReads, 0);
    EXPECT_EQ(m->starlinkReachable(), std::nullopt) << "written only after the lookup";

    ASSERT_TRUE(waitRefresh(*m));
    EXPECT_EQ(m->publicIP(), QStringLiteral("203.0.113.9"));
    EXPECT_FALSE(m->fetchingPublicIP());
    EXPECT_EQ(fetching.count(), 2);
    EXPECT_EQ(m->starlinkReachable(), true);

    m->panelClosed();
    EXPECT_FALSE(m->panelOpen());
}

TEST_F(PanelTest, LookupOffNeverFetchesAndTheDishIsWrittenRightAway)
{
    dishListener.close(); // nothing listens: refused
    auto m = makeModel();
    m->setPublicIPLookup(false);
    QSignalSpy fetching(m.get(), &AppViewModel::fetchingPublicIPChanged);
    m->panelOpened();
    ASSERT_TRUE(waitRefresh(*m));
    EXPECT_EQ(fetching.count(), 0);
    EXPECT_EQ(echo.requests, 0);
    EXPECT_EQ(m->publicIP(), std::nullopt);
    EXPECT_EQ(m->starlinkReachable(), false);
}

TEST_F(PanelTest, ClosingDuringTheLookupDropsBothResultsButClearsTheSpinner)
{
    echo.hold = true;
    auto m = makeModel();
    m->panelOpened();
    ASSERT_TRUE(QTest::qWaitFor([&] { return echo.requests == 1; }, 3000));
    m->cancelPanelRefresh();
    m->panelClosed();
    EXPECT_TRUE(m->fetchingPublicIP());

    // A new opening waits behind the old lookup; the old one returning late must leave
    // the new opening's indicator on.
    m->panelOpened();
    echo.release();
    QSignalSpy done(m.get(), &AppViewModel::panelRefreshFinished);
    ASSERT_TRUE(done.wait(5000));
    EXPECT_EQ(m->publicIP(), std::nullopt) << "the cancelled opening writes no address";
    EXPECT_EQ(m->starlinkReachable(), std::nullopt);
    if (done.count() < 2) {
        ASSERT_TRUE(done.wait(5000));
    }
    EXPECT_FALSE(m->fetchingPublicIP());
    EXPECT_EQ(m->publicIP(), QStringLiteral("203.0.113.9"));
    EXPECT_EQ(m->starlinkReachable(), true);
}

TEST_F(PanelTest, TurningTheLookupOffClearsTheAddressAndDropsTheRunningLookup)
{
    echo.hold = true;
    auto m = makeModel();
    m->panelOpened();
    ASSERT_TRUE(QTest::qWaitFor([&] { return echo.requests == 1; }, 3000));
    m->setPublicIPLookup(false);
    m->setPublicIPLookup(true);
    echo.release();
    ASSERT_TRUE(waitRefresh(*m));
    EXPECT_EQ(m->publicIP(), std::nullopt) << "only the next opening looks it up again";

    m->panelOpened();
    ASSERT_TRUE(waitRefresh(*m));
    ASSERT_TRUE(m->publicIP());
    m->setPublicIPLookup(false);
    EXPECT_EQ(m->publicIP(), std::nullopt);
}

TEST_F(PanelTest, InterfaceChangeWhileOpenRefreshesTheLocalAddressAndRadio)
{
    auto m = makeModel(0.05);
    ASSERT_TRUE(waitTicks(*m, 1));
    m->panelOpened();
    ASSERT_TRUE(waitRefresh(*m));
    const int reads = wifiReads;
    net->edit([](auto& n) { n.primary = {"wlan0", std::nullopt}; });
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return m->interfaceName() == QStringLiteral("wlan0"); }, 3000));
    EXPECT_EQ(m->localIP(), std::nullopt);
    EXPECT_GT(wifiReads, reads);

    net->edit([](auto& n) { n.primary = {std::nullopt, std::nullopt}; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m->interfaceName(); }, 3000));
    EXPECT_EQ(m->linkKind(), LinkKind::other);
    EXPECT_EQ(m->localIP(), std::nullopt);
}

TEST_F(PanelTest, DemoModeIsSeededNeverSamplesAndOpeningOnlyMarksThePanel)
{
    QSettings(prefsPath(), QSettings::IniFormat).setValue("barStyle", QStringLiteral("wide"));
    qputenv("CORVANE_DEMO", "1");
    auto m = makeModel();
    EXPECT_FALSE(m->isSampling());
    EXPECT_EQ(m->barStyle(), BarStyle::stacked);
    EXPECT_EQ(QSettings(prefsPath(), QSettings::IniFormat).value("barStyle").toString(),
              QStringLiteral("wide"));
    EXPECT_EQ(m->ring().count(), 60);
    EXPECT_EQ(m->current(), (SpeedSample{512.3, 24.6}));
    EXPECT_EQ(m->interfaces(), QStringList{QStringLiteral("wlp2s0")});
    EXPECT_EQ(m->wifi().ssid(), QStringLiteral("HomeNet-5G"));
    ASSERT_TRUE(m->wifi().radio());
    EXPECT_EQ(m->wifi().radio()->phyMode, QStringLiteral("Wi-Fi 6"));
    EXPECT_TRUE(m->label().contains(QStringLiteral("512Mb")));

    m->panelOpened();
    EXPECT_TRUE(m->panelOpen());
    QTest::qWait(100);
    EXPECT_EQ(echo.requests, 0);
    EXPECT_EQ(m->publicIP(), QStringLiteral("203.0.113.17"));
    EXPECT_EQ(m->starlinkReachable(), true);

    m->resetSession();
    QTest::qWait(50);
    EXPECT_EQ(m->ring().count(), 0);
    EXPECT_EQ(m->totalInBytes(), 0u);
}
