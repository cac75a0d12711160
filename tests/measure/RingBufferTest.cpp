#include "measure/RingBuffer.h"

#include <gtest/gtest.h>

using corvane::RingBuffer;
using corvane::RingStats;
using corvane::SpeedSample;

namespace {
SpeedSample s(double d, double u = 0)
{
    return {d, u};
}
} // namespace

TEST(RingBuffer, FillsInOrderThenOverwritesOldest)
{
    RingBuffer ring(60);
    EXPECT_EQ(ring.count(), 0);
    EXPECT_TRUE(ring.ordered().empty());

    ring.append(s(1));
    ring.append(s(2));
    ring.append(s(3));
    EXPECT_EQ(ring.ordered(), (std::vector{s(1), s(2), s(3)}));

    RingBuffer full(60);
    for (int i = 1; i <= 61; ++i)
        full.append(s(i));
    EXPECT_EQ(full.count(), 60);
    EXPECT_EQ(full.head(), 1);
    const auto ordered = full.ordered();
    ASSERT_EQ(ordered.size(), 60u);
    EXPECT_EQ(ordered.front(), s(2));
    EXPECT_EQ(ordered.back(), s(61));
}

TEST(RingBuffer, RemoveAllForgetsStaleSlots)
{
    RingBuffer ring(60);
    for (int i = 0; i < 60; ++i)
        ring.append(s(i + 100));
    ring.removeAll();
    ring.append(s(7));
    EXPECT_EQ(ring.ordered(), (std::vector{s(7)}));
    EXPECT_EQ(ring.capacity(), 60);
}

TEST(RingBuffer, CopiesAreIndependent)
{
    RingBuffer a(3);
    a.append(s(1));
    RingBuffer b = a;
    b.append(s(2));
    EXPECT_EQ(a.count(), 1);
    EXPECT_EQ(b.count(), 2);
}

TEST(RingStats, PeaksAndMeans)
{
    const std::vector samples{s(10, 1), s(20, 3)};
    const RingStats st(samples);
    EXPECT_EQ(st.peakDown, 20);
    EXPECT_EQ(st.peakUp, 3);
    EXPECT_EQ(st.avgDown, 15);
    EXPECT_EQ(st.avgUp, 2);
    EXPECT_EQ(RingStats(std::vector<SpeedSample>{}), RingStats());
    EXPECT_EQ(SpeedSample::zero(), s(0, 0));
}
