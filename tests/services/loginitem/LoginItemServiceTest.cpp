#include "services/LoginItemService.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using corvane::LoginItemService;
using corvane::XdgAutostart;

namespace {

class LoginItemServiceTest : public ::testing::Test {
protected:
    QString home() const { return tmp.path() + "/config"; }
    QString entry() const { return home() + "/autostart/corvane.desktop"; }

    std::unique_ptr<LoginItemService> makeService()
    {
        auto s = std::make_unique<LoginItemService>(
            XdgAutostart(home(), {tmp.path() + "/xdg"}, "/opt/corvane/bin/corvane"));
        QObject::connect(s.get(), &LoginItemService::enabledChanged, [this] { ++enabledSignals; });
        QObject::connect(s.get(), &LoginItemService::lastErrorChanged, [this] { ++errorSignals; });
        return s;
    }

    QTemporaryDir tmp;
    int enabledSignals = 0;
    int errorSignals = 0;
};

} // namespace

TEST_F(LoginItemServiceTest, FollowsTheEntryAndNotifiesOnlyOnChange)
{
    const auto s = makeService();
    EXPECT_FALSE(s->enabled());
    s->setEnabled(true);
    s->setEnabled(true);
    s->refresh();
    EXPECT_TRUE(s->enabled());
    EXPECT_EQ(enabledSignals, 1);
    EXPECT_TRUE(makeService()->enabled()) << "a new instance starts from the file";

    QFile::remove(entry()); // the user removes it outside the program
    EXPECT_TRUE(s->enabled());
    s->refresh();
    EXPECT_FALSE(s->enabled());
    s->setEnabled(false); // absent already: still a success
    EXPECT_EQ(enabledSignals, 2);
    EXPECT_EQ(errorSignals, 0);
}

TEST_F(LoginItemServiceTest, FailureIsShownUntilALaterSuccess)
{
    QFile blocker(home());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    const auto s = makeService();
    s->setEnabled(true);
    EXPECT_FALSE(s->enabled()) << "the switch shows the state on disk, not the request";
    EXPECT_TRUE(s->lastError().value_or("").endsWith(": Not a directory"));
    s->setEnabled(true); // the same text again
    s->refresh();        // leaves lastError alone
    EXPECT_TRUE(s->lastError().has_value());
    EXPECT_EQ(errorSignals, 1);

    blocker.remove();
    s->setEnabled(true);
    EXPECT_TRUE(s->enabled());
    EXPECT_EQ(s->lastError(), std::nullopt);
    EXPECT_EQ(errorSignals, 2);

    // An entry that cannot be removed, and is no valid entry either, ends off but says why.
    QFile::remove(entry());
    QDir().mkpath(entry());
    s->setEnabled(false);
    EXPECT_FALSE(s->enabled());
    EXPECT_TRUE(s->lastError().value_or("").endsWith(": Is a directory"));
}
