#include "model/SamplingLoop.h"

#include "model/model/ModelFixture.h"

#include <QTest>

using namespace corvane;
using corvane::testing::FakeNet;
using corvane::testing::ModelTest;

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
