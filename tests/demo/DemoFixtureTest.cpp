#include "demo/DemoFixture.h"

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
