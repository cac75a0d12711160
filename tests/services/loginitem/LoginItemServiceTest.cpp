#include "services/LoginItemService.h"

#include <gtest/gtest.h>

using namespace corvane;

namespace {

// An autostart switch whose next failure the test chooses.
struct FakeAutostart final : Autostart {
    bool on = false;
    std::optional<QString> failure;
    bool isEnabled() const override { return on; }
    std::optional<QString> install() override { return set(true); }
    std::optional<QString> uninstall() override { return set(false); }
    std::optional<QString> set(bool value)
    {
        on = failure ? on : value;
        return failure;
    }
};

} // namespace

// The switch shows the state on disk, not the request; a failure's reason stays until a
// later success; each property notifies only on change.
TEST(LoginItemService, FollowsTheEntryAndReportsFailuresUntilASuccess)
{
    auto* fake = new FakeAutostart;
    LoginItemService s{std::unique_ptr<Autostart>(fake)};
    int enabledSignals = 0, errorSignals = 0;
    QObject::connect(&s, &LoginItemService::enabledChanged, [&] { ++enabledSignals; });
    QObject::connect(&s, &LoginItemService::lastErrorChanged, [&] { ++errorSignals; });
    const auto state = [&] {
        return std::tuple(s.enabled(), s.lastError(), enabledSignals, errorSignals);
    };
    fake->failure = QStringLiteral("x: Not a directory");
    s.setEnabled(true);
    s.setEnabled(true); // the same reason again
    EXPECT_EQ(state(), std::tuple(false, fake->failure, 0, 1));
    fake->failure.reset();
    s.setEnabled(true);
    s.setEnabled(true);
    EXPECT_EQ(state(), std::tuple(true, std::nullopt, 1, 2));
    fake->on = false; // removed outside, then switched off
    s.setEnabled(false);
    EXPECT_EQ(state(), std::tuple(false, std::nullopt, 2, 2));
}
