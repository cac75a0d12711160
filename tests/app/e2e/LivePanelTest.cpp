#include "app/SharedModel.h"
#include "model/AppViewModel.h"
#include "platform/sysfs/SystemLinks.h"
#include "services/LoginItemService.h"
#include "support/LoopbackHttp.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace corvane;

// The model on the machine's real counters, routes, interfaces, Wi-Fi and autostart state,
// with both outbound destinations pointed at loopback servers of the test's own.
TEST(LivePanel, OpeningFillsEveryRowFromTheRealSystem)
{
    qunsetenv("CORVANE_DEMO");
    QTemporaryDir dir;
    corvane::testing::LoopbackHttp echo("198.51.100.23\n");
    QTcpServer dish;
    ASSERT_TRUE(dish.listen(QHostAddress::LocalHost));

    SystemOptions options;
    options.preferencesPath = dir.filePath(QStringLiteral("corvane.conf"));
    options.configHome = dir.filePath(QStringLiteral("config"));
    options.publicIP.endpoint = echo.url();
    options.dish = {QStringLiteral("127.0.0.1"), dish.serverPort()};
    QSettings(options.preferencesPath, QSettings::IniFormat)
        .setValue("interfaceOverride", QStringLiteral("lo"));

    AppViewModel model(makeSystemServices(options));
    model.start();
    QSignalSpy ticks(&model, &AppViewModel::tickApplied);
    ASSERT_TRUE(ticks.wait(5000));
    EXPECT_EQ(model.interfaceName(), QStringLiteral("lo"));
    EXPECT_TRUE(model.overrideHonored());

    QSignalSpy done(&model, &AppViewModel::panelRefreshFinished);
    model.panelOpened();
    EXPECT_EQ(model.localIP(), QStringLiteral("127.0.0.1"));
    QStringList up;
    for (const std::string& name : SystemLinks::upInterfaces())
        up.append(QString::fromStdString(name));
    EXPECT_EQ(model.interfaces(), up);
    EXPECT_FALSE(model.interfaces().contains(QStringLiteral("lo")));
    EXPECT_FALSE(model.loginItem().enabled());

    ASSERT_TRUE(done.wait(10000));
    EXPECT_EQ(model.publicIP(), QStringLiteral("198.51.100.23"));
    EXPECT_EQ(model.starlinkReachable(), true);
    EXPECT_EQ(echo.requests, 1);
    model.cancelPanelRefresh();
    model.panelClosed();
}
