#include "demo/DemoData.h"
#include "model/model/ModelFixture.h"

#include <QSettings>

using namespace corvane;
using DemoTest = corvane::testing::ModelTest;

// The model main makes in demo mode: seeded, never sampling, every answer made up.
TEST_F(DemoTest, DemoModelIsSeededAndNeverReachesOut)
{
    QSettings(prefsPath(), QSettings::IniFormat).setValue("barStyle", QStringLiteral("wide"));
    qputenv("CORVANE_DEMO", "1");
    auto m = makeModel();
    EXPECT_FALSE(m->isSampling());
    EXPECT_EQ(m->barStyle(), BarStyle::stacked);
    EXPECT_EQ(QSettings(prefsPath(), QSettings::IniFormat).value("barStyle"), "wide");
    EXPECT_EQ(m->ring().ordered(), DemoFixture::samples());
    EXPECT_EQ(m->ring().count(), 60);
    EXPECT_EQ(m->label(), AppViewModel::format({512.3, 24.6}, RateUnits::bits));
    EXPECT_EQ(m->interfaces(), QStringList{QStringLiteral("wlp2s0")});
    EXPECT_EQ(m->localIP(), QStringLiteral("10.0.1.42"));
    EXPECT_EQ(m->kindOf(QStringLiteral("wlp2s0")), LinkKind::wifi);
    EXPECT_EQ(m->wifi().ssid(), QStringLiteral("HomeNet-5G"));
    EXPECT_EQ(m->wifi().radio(), (WiFiMonitor::Radio{-54, -91, 1200, "5 GHz", 44, "Wi-Fi 6"}));

    m->panelOpened();
    ASSERT_TRUE(waitRefresh(*m));
    EXPECT_EQ(echo.requests, 0);
    EXPECT_EQ(m->publicIP(), QStringLiteral("203.0.113.17"));
    EXPECT_EQ(m->starlinkReachable(), true);
    EXPECT_FALSE(m->isSampling());
}
