#include "demo/DemoData.h"
#include "model/model/ModelFixture.h"

#include <QSettings>

using namespace corvane;
using DemoTest = corvane::testing::ModelTest;

// The model main makes in demo mode: seeded (what it shows is held to the documentation's
// renders by the real-binary test), never sampling, never asking the network, and never
// writing the user's preferences.
TEST_F(DemoTest, DemoModelIsSeededAndNeverReachesOut)
{
    QSettings(prefsPath(), QSettings::IniFormat).setValue("barStyle", QStringLiteral("wide"));
    auto m = makeDemoModel();
    EXPECT_EQ(m->barStyle(), BarStyle::stacked);
    EXPECT_EQ(m->ring().ordered(), DemoFixture::samples());
    m->panelOpened();
    ASSERT_TRUE(waitRefresh(*m));
    EXPECT_EQ(echo.requests, 0);
    EXPECT_EQ(m->publicIP(), QStringLiteral("203.0.113.17"));
    EXPECT_FALSE(m->isSampling());
    EXPECT_EQ(QSettings(prefsPath(), QSettings::IniFormat).value("barStyle"), "wide");
}
