#include "demo/DemoFixture.h"

#include "demo/DemoData.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace DemoFixture = corvane::DemoFixture;

namespace {

class DemoSwitches : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* n : {"CORVANE_DEMO", "CORVANE_DEMO_PRIVACY", "CORVANE_RENDER_LABEL",
                              "CORVANE_RENDER_PANEL"})
            unsetenv(n);
    }
    void TearDown() override { SetUp(); }
};

} // namespace

TEST_F(DemoSwitches, OnlyTheTextOneTurnsASwitchOn)
{
    EXPECT_FALSE(DemoFixture::isActive());
    for (const char* v : {"true", "yes", "1 ", " 1", "", "01", "2"}) {
        setenv("CORVANE_DEMO", v, 1);
        EXPECT_FALSE(DemoFixture::isActive()) << '"' << v << '"';
    }
    setenv("CORVANE_DEMO", "1", 1);
    EXPECT_TRUE(DemoFixture::isActive());

    setenv("CORVANE_DEMO_PRIVACY", "1", 1);
    EXPECT_TRUE(DemoFixture::privacy());
    setenv("CORVANE_DEMO_PRIVACY", "on", 1);
    EXPECT_FALSE(DemoFixture::privacy());
}

TEST_F(DemoSwitches, RenderPathsCountAsSetEvenWhenEmpty)
{
    EXPECT_EQ(DemoFixture::labelRenderPath(), std::nullopt);
    EXPECT_EQ(DemoFixture::renderPath(), std::nullopt);
    setenv("CORVANE_RENDER_LABEL", "", 1);
    setenv("CORVANE_RENDER_PANEL", "/tmp/p.png", 1);
    EXPECT_EQ(DemoFixture::labelRenderPath(), std::string());
    EXPECT_EQ(DemoFixture::renderPath(), std::string("/tmp/p.png"));
}

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
