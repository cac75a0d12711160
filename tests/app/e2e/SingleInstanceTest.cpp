#include "app/SingleInstance.h"

#include "app/AppId.h"
#include "app/e2e/AppProcess.h"
#include "support/PrivateBus.h"

#include <QDBusConnectionInterface>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using corvane::SingleInstance;
using namespace corvane::testing;

// The first instance lives in the test; the second is the real binary started against the
// same private session bus, as from the menu.
TEST(SingleInstance, SecondStartOpensTheFirstOnesPanelAndExitsZero)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    auto first = std::make_unique<SingleInstance>(bus.connect(QStringLiteral("first")));
    ASSERT_EQ(first->claim(), SingleInstance::Role::primary);
    QSignalSpy activated(first.get(), &SingleInstance::activateRequested);

    QTemporaryDir dir;
    QProcessEnvironment env = appEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
    env.insert(QStringLiteral("CORVANE_DEMO"),
               QStringLiteral("1")); // if it did start: no live data
    QProcess second;
    second.setProcessEnvironment(env);
    second.start(QStringLiteral(CORVANE_APP_PATH), {});
    EXPECT_TRUE(activated.wait(15000)) << "the running instance was not asked to open";
    if (!second.waitForFinished(15000)) {
        second.kill();
        second.waitForFinished();
        FAIL() << "the second start kept running";
    }
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(second.readAllStandardOutput(),
              "Corvane is already running; its panel was opened.\n");
    EXPECT_EQ(activated.size(), 1);

    // Quitting gives the name back, so the next start is the first again.
    first.reset();
    SingleInstance next(bus.connect(QStringLiteral("next")));
    EXPECT_EQ(next.claim(), SingleInstance::Role::primary);
    EXPECT_TRUE(bus.connect(QStringLiteral("probe"))
                    .interface()
                    ->isServiceRegistered(QLatin1String(corvane::appId)));

    SingleInstance noBus(QDBusConnection(QStringLiteral("never connected")));
    EXPECT_EQ(noBus.claim(), SingleInstance::Role::standalone);
}
