#include "measure/RingBuffer.h"

#include <gtest/gtest.h>

using corvane::RingBuffer;
using corvane::RingStats;
using corvane::SpeedSample;
using Samples = std::vector<SpeedSample>;

namespace {

SpeedSample s(double d, double u = 0)
{
    return {d, u};
}

// Appends `appended` samples 1, 2, ... to a ring of three, optionally empties it and adds 99.
TEST(RingBuffer, KeepsTheNewestInOrderAndForgetsAllOnReset)
{
    const struct {
        int appended;
        bool reset;
        Samples expected;
    } cases[] = {
        {0, false, {}},     {2, false, {s(1), s(2)}}, {4, false, {s(2), s(3), s(4)}},
        {2, true, {s(99)}}, // a partly filled ring leaves no old sample behind
        {4, true, {s(99)}},
    };
    for (const auto& c : cases) {
        RingBuffer ring(3);
        for (int i = 1; i <= c.appended; ++i)
            ring.append(s(i), 10.0 * i);
        if (c.reset) {
            ring.removeAll();
            ring.append(s(99), 990);
        }
        EXPECT_EQ(ring.ordered(), c.expected) << c.appended << (c.reset ? " reset" : "");
        std::vector<double> times; // each sample keeps its own time
        for (const SpeedSample& e : c.expected)
            times.push_back(e.downMbps * 10);
        EXPECT_EQ(ring.orderedTimes(), times);
        EXPECT_EQ(ring.count(), int(c.expected.size()));
        EXPECT_EQ(ring.capacity(), 3);
    }
}

TEST(RingStats, PeaksAndMeans)
{
    const RingStats st(Samples{s(10, 1), s(20, 3)});
    EXPECT_EQ(st.peakDown, 20);
    EXPECT_EQ(st.peakUp, 3);
    EXPECT_EQ(st.avgDown, 15);
    EXPECT_EQ(st.avgUp, 2);
    EXPECT_EQ(RingStats(Samples{}), RingStats());
}

} // namespace
