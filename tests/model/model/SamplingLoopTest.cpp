#include "model/SamplingLoop.h"

#include "model/model/ModelFixture.h"

#include <QTest>

using namespace corvane;
using corvane::testing::FakeNet;
using corvane::testing::FakeSleepEvents;
using corvane::testing::ModelTest;

TEST(Cadence, FollowsPanelIdleAndLowPower)
{
    struct Row {
        bool open;
        qint64 idle;
        bool low;
        double want;
    };
    for (const Row& r : {Row{true, 0, false, 2}, Row{true, 500, true, 2}, Row{false, 9, false, 2},
                         Row{false, 9, true, 3}, Row{false, 10, false, 4}, Row{false, 10, true, 6},
                         Row{false, 1000, true, 6}})
        EXPECT_EQ(SamplingLoop::cadenceFor(r.open, r.idle, r.low), r.want)
            << r.open << ' ' << r.idle << ' ' << r.low;
}

TEST_F(ModelTest, FirstTickIsZeroThenRatesTotalsAndRingFollow)
{
    net->setRates(10, 1);
    auto m = makeModel();
    ASSERT_TRUE(waitTicks(*m, 1));
    EXPECT_EQ(m->current(), SpeedSample::zero());
    EXPECT_EQ(m->ring().count(), 1);
    EXPECT_EQ(m->interfaceName(), QStringLiteral("eth0"));
    EXPECT_EQ(m->linkKind(), LinkKind::ethernet);
    EXPECT_EQ(m->routerIP(), QStringLiteral("192.0.2.1"));
    EXPECT_EQ(m->linkMbps(), 1000.0);

    ASSERT_TRUE(waitTicks(*m, 2));
    EXPECT_EQ(m->current(), (SpeedSample{10, 1}));
    EXPECT_EQ(m->ring().count(), 3);
    EXPECT_EQ(m->totalInBytes(), 2u * 2'500'000u);
    EXPECT_EQ(m->totalOutBytes(), 2u * 250'000u);
    EXPECT_EQ(classifyCalls, 1) << "the classifier runs only when the name changes";
    EXPECT_TRUE(m->label().contains(QStringLiteral("10.0Mb")));
}

TEST_F(ModelTest, TotalsWrapAt64Bits)
{
    auto m = makeModel(0.05); // room to edit the script between ticks
    ASSERT_TRUE(waitTicks(*m, 1));
    net->edit([](auto& n) { n.inPerRead = ~uint64_t(0) - 9; }); // 2^64 - 10
    ASSERT_TRUE(waitTicks(*m, 1));
    EXPECT_EQ(m->totalInBytes(), ~uint64_t(0) - 9);
    net->edit([](auto& n) {
        n.counters[2].rxBytes = 0; // fresh counter after a backwards step gives no delta...
        n.inPerRead = 20;
    });
    ASSERT_TRUE(waitTicks(*m, 2));
    EXPECT_EQ(m->totalInBytes(), 10u); // ...and the next 20 bytes wrap the total to 10
}

// With the panel closed a new interface is classified but neither its address nor the
// radio is read; with no interface there is nothing to classify.
TEST_F(ModelTest, InterfaceChangeWithPanelClosedLeavesLocalIP)
{
    auto m = makeModel(0.05);
    ASSERT_TRUE(waitTicks(*m, 1));
    const int readsAtStart = wifiReads;
    net->edit([](auto& n) { n.primary = {"wlan0", std::nullopt}; });
    ASSERT_TRUE(waitTicks(*m, 1));
    EXPECT_EQ(m->linkKind(), LinkKind::wifi);
    EXPECT_EQ(localIPCalls, 0);
    EXPECT_EQ(wifiReads, readsAtStart);
    EXPECT_EQ(m->routerIP(), std::nullopt);

    const int before = classifyCalls;
    net->edit([](auto& n) { n.primary = {std::nullopt, std::nullopt}; });
    ASSERT_TRUE(waitTicks(*m, 1));
    EXPECT_EQ(m->interfaceName(), std::nullopt);
    EXPECT_EQ(m->linkKind(), LinkKind::other);
    EXPECT_EQ(classifyCalls, before);
    EXPECT_EQ(m->current(), SpeedSample::zero());
}

TEST_F(ModelTest, QuietTicksSlowTheLoopAndTrafficSpeedsItUp)
{
    auto m = makeModel();
    ASSERT_TRUE(waitTicks(*m, 11));
    EXPECT_EQ(m->cadence(), 4);
    powerState->on = true;
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
            QMetaObject::invokeMethod(sleep, &FakeSleepEvents::sleep, Qt::QueuedConnection);
        };
    });
    ASSERT_TRUE(slept.wait(3000));
    EXPECT_FALSE(m->isSampling());
    int reads = 0;
    net->edit([&](FakeNet& n) { reads = n.counterReads; });
    EXPECT_FALSE(ticks.wait(100)) << "twenty loop periods: a cancelled loop applies no tick";
    net->edit([&](FakeNet& n) { EXPECT_EQ(n.counterReads, reads) << "the loop was re-armed"; });

    sleep->wake();
    sleep->wake();
    m->start(); // already started: nothing more
    EXPECT_TRUE(m->isSampling());
    ASSERT_TRUE(waitTicks(*m, 1));
    EXPECT_EQ(m->current(), SpeedSample::zero()) << "a fresh loop starts from a new baseline";
    ticks.clear();
    QTest::qWait(200);
    // One loop at 10 ms per tick gives at most ~20 ticks; two loops would double it.
    EXPECT_LE(ticks.count(), 22);
    EXPECT_GT(m->current().downMbps, 0);
}
