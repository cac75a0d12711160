#include "model/SamplerThread.h"
#include "model/SamplingLoop.h"
#include "model/model/ModelFixture.h"
#include "support/LogCapture.h"

#include <QSettings>
#include <fcntl.h>
#include <optional>
#include <sys/resource.h>
#include <tuple>
#include <unistd.h>

using namespace corvane;
using namespace corvane::testing;

TEST_F(ModelTest, FirstTickIsZeroThenRatesTotalsAndRingFollowAndTotalsWrapAt64Bits)
{
    net->setRates(10, 1);
    net->inScript = {0};      // a zero baseline: the counter then equals the total
    auto m = makeModel(0.05); // room to edit the script between ticks
    ASSERT_TRUE(waitTicks(*m, 1));
    EXPECT_EQ(m->current(), SpeedSample::zero());
    EXPECT_EQ(m->routerIP(), QStringLiteral("192.0.2.1"));

    ASSERT_TRUE(waitTicks(*m, 2));
    EXPECT_EQ(m->current(), (SpeedSample{10, 1}));
    EXPECT_EQ(m->totalInBytes(), 2u * 2'500'000u);
    EXPECT_EQ(m->totalOutBytes(), 2u * 250'000u);
    EXPECT_EQ(classifyCalls, 1) << "the classifier runs only when the name changes";
    EXPECT_TRUE(m->label().contains(QStringLiteral("10.0Mb")));

    net->edit([](auto& n) { n.inPerRead = ~uint64_t(0) - 9 - n.counters[2].rxBytes; });
    ASSERT_TRUE(waitTicks(*m, 1));
    EXPECT_EQ(m->totalInBytes(), ~uint64_t(0) - 9); // 2^64 - 10
    net->edit([](auto& n) {
        n.counters[2].rxBytes = 0; // fresh counter after a backwards step gives no delta...
        n.inPerRead = 20;
    });
    ASSERT_TRUE(waitTicks(*m, 2));
    EXPECT_EQ(m->totalInBytes(), 10u); // ...and the next 20 bytes wrap the total to 10
}

TEST_F(ModelTest, CadenceFollowsThePanelQuietTicksAndLowPower)
{
    const std::tuple<bool, qint64, bool, double> rows[] = {
        {true, 0, false, 2},   {true, 500, true, 2}, {false, 9, false, 2},  {false, 9, true, 3},
        {false, 10, false, 4}, {false, 10, true, 6}, {false, 1000, true, 6}};
    for (auto [open, idle, low, want] : rows)
        EXPECT_EQ(SamplingLoop::cadenceFor(open, idle, low), want) << open << idle << low;

    auto m = makeModel();
    ASSERT_TRUE(waitTicks(*m, 11));
    EXPECT_EQ(m->cadence(), 4);
    lowPower = true;
    EXPECT_EQ(m->cadence(), 6);
    net->setRates(0.5, 0); // exactly 0.5 is not quiet
    ASSERT_TRUE(waitTicks(*m, 2));
    EXPECT_EQ(m->cadence(), 3);
}

// Sleep cancels the loop, including the tick being read at that moment; wake starts one
// fresh loop however often it comes.
TEST_F(ModelTest, SleepStopsTheLoopAndWakeStartsOneFreshLoop)
{
    net->setRates(8, 0);
    auto m = makeModel();
    ASSERT_TRUE(waitTicks(*m, 3));
    QSignalSpy ticks(m.get(), &AppViewModel::tickApplied);
    QSignalSpy slept(sleep, &SleepEvents::displaysSlept);
    net->edit([this](FakeNet& n) {
        n.onNextRead = [this] {
            QMetaObject::invokeMethod(sleep, &SleepEvents::displaysSlept, Qt::QueuedConnection);
        };
    });
    ASSERT_TRUE(slept.wait(3000));
    EXPECT_FALSE(m->isSampling());
    int reads = 0;
    net->edit([&](FakeNet& n) { reads = n.counterReads; });
    EXPECT_FALSE(ticks.wait(100)) << "twenty loop periods: a cancelled loop applies no tick";
    net->edit([&](FakeNet& n) { EXPECT_EQ(n.counterReads, reads) << "the loop was re-armed"; });

    Q_EMIT sleep->displaysWoke();
    Q_EMIT sleep->displaysWoke();
    m->start(); // already started: nothing more
    ASSERT_TRUE(waitTicks(*m, 1));
    EXPECT_EQ(m->current(), SpeedSample::zero()) << "a fresh loop starts from a new baseline";
    ticks.clear();
    QTest::qWait(200);
    // One loop at 10 ms per tick gives at most ~20 ticks; two loops would double it.
    EXPECT_LE(ticks.count(), 22);
    EXPECT_GT(m->current().downMbps, 0);
}

// A later reveal or copy replaces the earlier one's timer; leaving privacy mode ends a
// reveal; nothing empty or masked is copied.
TEST_F(ModelTest, RevealAndCopyMarksEndOnTimeAndOnlyTheLatestCounts)
{
    auto m = makeModel();
    m->setPrivacyMode(true);
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
        m->setUnits(RateUnits::bytes); // still stacked: the image is drawn anew
        m->setBarStyle(BarStyle::wide);
        EXPECT_EQ(label.count(), 1);
        EXPECT_EQ(image.count(), 1);
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

TEST_F(ModelTest, ClosingDuringTheLookupDropsBothResultsButClearsTheSpinner)
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

TEST_F(ModelTest, TurningTheLookupOffClearsTheAddressAndStopsLookingItUp)
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
TEST_F(ModelTest, InterfaceChangeReadsTheLocalAddressAndRadioOnlyWhileOpen)
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

// Each fault stops the loop with one warning, and the destructor still returns.
TEST(SamplerThread, ResourceFailureStopsTheLoopWithOneWarning)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizers' own checks need descriptors the limit takes away";
#endif
    // Runs `fn` under a lower soft descriptor limit; poll() refuses more descriptors than it.
    const auto limited = [](rlim_t limit, const auto& fn) {
        rlimit saved{};
        getrlimit(RLIMIT_NOFILE, &saved);
        const rlimit lowered{limit, saved.rlim_max};
        setrlimit(RLIMIT_NOFILE, &lowered);
        fn();
        setrlimit(RLIMIT_NOFILE, &saved);
    };
    // Descriptors left when the thread is made, and whether poll() fails once the loop runs.
    for (auto [fault, room, waitFails] :
         {std::tuple{"no eventfd", 0, false}, {"no timerfd", 1, false}, {"poll fails", 2, true}}) {
        SCOPED_TRACE(fault);
        LogCapture log("corvane.sampler");
        auto net = std::make_shared<FakeNet>();
        std::optional<SamplerThread> thread;
        // New descriptors take the lowest free number: lowest + room leaves room for `room`.
        const int lowest = fcntl(0, F_DUPFD, 0);
        close(lowest);
        limited(lowest + room, [&] {
            thread.emplace(std::make_unique<NetSampler>(std::make_unique<FakeNetSource>(net),
                                                        std::make_unique<FakeClock>(net)));
        });
        if (waitFails) {
            ASSERT_TRUE(thread->isRunning());
            limited(2, [&] {                      // fewer than the loop's three
                thread->post([](NetSampler&) {}); // wakes the loop into its next wait
                EXPECT_TRUE(QTest::qWaitFor([&] { return !thread->isRunning(); }, 1000));
            });
        }
        EXPECT_FALSE(thread->isRunning());
        thread.reset();
        EXPECT_EQ(log.warnings().size(), 1) << log.warnings().join(u'\n').toStdString();
    }
}
