#include "services/LoginItemService.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using corvane::LoginItemService;
using corvane::XdgAutostart;

// The switch shows the state on disk, not the request, and a failure's reason stays until
// a later success; each property notifies only on change.
TEST(LoginItemService, FollowsTheEntryAndReportsFailuresUntilASuccess)
{
    QTemporaryDir tmp;
    const QString home = tmp.path() + "/config";
    LoginItemService s(XdgAutostart(home, {tmp.path() + "/xdg"}, "/opt/corvane/bin/corvane"));
    int enabledSignals = 0, errorSignals = 0;
    QObject::connect(&s, &LoginItemService::enabledChanged, [&] { ++enabledSignals; });
    QObject::connect(&s, &LoginItemService::lastErrorChanged, [&] { ++errorSignals; });

    QFile blocker(home);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    s.setEnabled(true);
    s.setEnabled(true); // the same reason again
    EXPECT_FALSE(s.enabled());
    EXPECT_TRUE(s.lastError().value_or("").endsWith(": Not a directory"));
    EXPECT_EQ(errorSignals, 1);

    blocker.remove();
    s.setEnabled(true);
    s.setEnabled(true);
    EXPECT_TRUE(s.enabled());
    EXPECT_EQ(s.lastError(), std::nullopt);
    EXPECT_EQ(errorSignals, 2);
    EXPECT_EQ(enabledSignals, 1);

    QFile::remove(home +
                  "/autostart/io.github.corvane.Corvane.desktop"); // removed outside the program
    s.refresh();
    EXPECT_FALSE(s.enabled());
    s.setEnabled(false); // absent already: still a success
    EXPECT_EQ(enabledSignals, 2);
    EXPECT_EQ(errorSignals, 2);
}
