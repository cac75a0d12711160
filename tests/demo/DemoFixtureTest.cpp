#include "demo/DemoData.h"

#include <gtest/gtest.h>

TEST(DemoData, HistoryMatchesItsCheckValues)
{
    const auto s = corvane::DemoFixture::samples();
    ASSERT_EQ(s.size(), 60u);
    using corvane::SpeedSample;
    EXPECT_EQ(s[0], (SpeedSample{8.0, 1.2}));
    EXPECT_EQ(s[4], (SpeedSample{12.0, 1.6}));
    EXPECT_EQ(s[20], (SpeedSample{90.0, 4.9}));
    EXPECT_EQ(s[40], (SpeedSample{120.0, 6.0}));
    EXPECT_EQ(s[51], (SpeedSample{472.0, 21.4}));
    EXPECT_EQ(s[59], (SpeedSample{515.0, 22.6}));
    double maxDown = 0;
    double maxUp = 0;
    int maxUpAt = -1;
    for (int i = 0; i < 60; ++i) {
        maxDown = std::max(maxDown, s[i].downMbps);
        if (s[i].upMbps > maxUp) {
            maxUp = s[i].upMbps;
            maxUpAt = i;
        }
    }
    EXPECT_EQ(maxDown, 515.0);
    EXPECT_EQ(maxUp, 25.5);
    EXPECT_EQ(maxUpAt, 53);
    EXPECT_EQ(corvane::DemoFixture::samples(), s);
}
