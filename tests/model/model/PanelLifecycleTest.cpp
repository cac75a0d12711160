#include "model/model/ModelFixture.h"

#include <QTest>

using namespace corvane;
using PanelTest = corvane::testing::ModelTest;

TEST_F(PanelTest, ClosingDuringTheLookupDropsBothResultsButClearsTheSpinner)
{
    echo.hold = true;
    auto m = makeModel();
    m->panelOpened();
    m->cancelPanelRefresh(); // answers the probe at once
    m->panelClosed();
    EXPECT_TRUE(m->fetchingPublicIP());

    // The cancelled opening's lookup returning while a newer one waits must leave the
    // newer one's indicator on.
    m->panelOpened();
    QSignalSpy done(m.get(), &AppViewModel::panelRefreshFinished);
    echo.held.front().second(QStringLiteral("198.51.100.1"));
    echo.held.erase(echo.held.begin());
    EXPECT_EQ(done.count(), 1);
    EXPECT_EQ(m->publicIP(), std::nullopt) << "the cancelled opening writes no address";
    EXPECT_EQ(m->starlinkReachable(), std::nullopt);
    EXPECT_TRUE(m->fetchingPublicIP());
    echo.release();
    ASSERT_TRUE(done.wait(5000));
    EXPECT_FALSE(m->fetchingPublicIP());
    EXPECT_EQ(m->publicIP(), QStringLiteral("203.0.113.9"));
    EXPECT_EQ(m->starlinkReachable(), true);
}

TEST_F(PanelTest, TurningTheLookupOffClearsTheAddressAndStopsLookingItUp)
{
    echo.hold = true;
    auto m = makeModel();
    m->panelOpened();
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

    // Off, an opening never fetches and the dish is written right away.
    dishListening = false;
    const int requests = echo.requests;
    QSignalSpy fetching(m.get(), &AppViewModel::fetchingPublicIPChanged);
    m->panelOpened();
    ASSERT_TRUE(waitRefresh(*m));
    EXPECT_EQ(fetching.count(), 0);
    EXPECT_EQ(echo.requests, requests);
    EXPECT_EQ(m->publicIP(), std::nullopt);
    EXPECT_EQ(m->starlinkReachable(), false);
}

// With the panel closed a new interface is classified but neither its address nor the
// radio is read; with no interface there is nothing to classify; with the panel open both
// are read.
TEST_F(PanelTest, InterfaceChangeReadsTheLocalAddressAndRadioOnlyWhileOpen)
{
    auto m = makeModel(0.05);
    const auto route = [&](std::optional<std::string> name) {
        net->edit([&](auto& n) { n.primary = {name, std::nullopt}; });
        return waitTicks(*m, 2); // the second is read after the edit
    };
    ASSERT_TRUE(waitTicks(*m, 1));
    int reads = wifiReads;
    ASSERT_TRUE(route("wlan0"));
    EXPECT_EQ(m->linkKind(), LinkKind::wifi);
    EXPECT_EQ(localIPCalls, 0);
    EXPECT_EQ(wifiReads, reads);
    EXPECT_EQ(m->routerIP(), std::nullopt);
    const int classified = classifyCalls;
    ASSERT_TRUE(route(std::nullopt));
    EXPECT_EQ(m->linkKind(), LinkKind::other);
    EXPECT_EQ(classifyCalls, classified);
    EXPECT_EQ(m->current(), SpeedSample::zero());

    m->panelOpened();
    ASSERT_TRUE(waitRefresh(*m));
    ASSERT_TRUE(route("eth0"));
    EXPECT_EQ(m->localIP(), QStringLiteral("198.51.100.7"));
    reads = wifiReads;
    ASSERT_TRUE(route("wlan0"));
    EXPECT_EQ(m->localIP(), std::nullopt);
    EXPECT_GT(wifiReads, reads);
}
