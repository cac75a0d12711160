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
    const struct {
        const char* step;
        std::optional<QString> failure;
        bool enable;
        bool on; // changed behind the service's back before the step
        bool enabled;
        std::optional<QString> error;
        int enabledSignals, errorSignals;
    } steps[] = {
        {"refused", "x: Not a directory", true, false, false, "x: Not a directory", 0, 1},
        {"same reason", "x: Not a directory", true, false, false, "x: Not a directory", 0, 1},
        {"success", {}, true, false, true, {}, 1, 2},
        {"again", {}, true, true, true, {}, 1, 2},
        {"removed outside, then off", {}, false, false, false, {}, 2, 2}};
    for (const auto& r : steps) {
        SCOPED_TRACE(r.step);
        fake->failure = r.failure;
        fake->on = r.on;
        s.setEnabled(r.enable);
        EXPECT_EQ(s.enabled(), r.enabled);
        EXPECT_EQ(s.lastError(), r.error);
        EXPECT_EQ(enabledSignals, r.enabledSignals);
        EXPECT_EQ(errorSignals, r.errorSignals);
    }
}
