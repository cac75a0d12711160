#include "platform/dbus/DBusPowerState.h"
#include "platform/dbus/DBusSleepEvents.h"
#include "support/PrivateBus.h"

#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

namespace corvane {
namespace {

using testing::PrivateBus;

struct Emitter {
    QString service, path, interface, member;
};
const Emitter logind{"org.freedesktop.login1", "/org/freedesktop/login1",
                     "org.freedesktop.login1.Manager", "PrepareForSleep"};
const Emitter fdoLocker{"org.freedesktop.ScreenSaver", "/ScreenSaver",
                        "org.freedesktop.ScreenSaver", "ActiveChanged"};
const Emitter gnomeLocker{"org.gnome.ScreenSaver", "/org/gnome/ScreenSaver",
                          "org.gnome.ScreenSaver", "ActiveChanged"};
const Emitter legacyProfiles{"net.hadess.PowerProfiles", "/net/hadess/PowerProfiles", {}, {}};
const Emitter newerProfiles{
    "org.freedesktop.UPower.PowerProfiles", "/org/freedesktop/UPower/PowerProfiles", {}, {}};

void emitFrom(QDBusConnection from, const Emitter& e, const QVariantList& args)
{
    QDBusMessage m = QDBusMessage::createSignal(e.path, e.interface, e.member);
    m.setArguments(args);
    from.send(m);
}

// A power-profiles daemon on its own connection: answers Properties.Get for ActiveProfile.
struct FakeProfiles : QDBusVirtualObject {
    QDBusConnection bus;
    Emitter name;
    QString profile;
    FakeProfiles(QDBusConnection on, const Emitter& e, const QString& initial)
        : bus(on), name(e), profile(initial)
    {
        bus.registerVirtualObject(name.path, this);
        EXPECT_TRUE(bus.registerService(name.service));
    }
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& m, const QDBusConnection& c) override
    {
        if (m.member() != QLatin1String("Get") || m.arguments().value(0) != name.service)
            return false;
        QDBusConnection(c).send(m.createReply(QVariant::fromValue(QDBusVariant(profile))));
        return true;
    }
    // PropertiesChanged as sent by `from` for `iface`, with the new value or only invalidated.
    void announce(const QString& value, bool invalidate = false,
                  std::optional<QDBusConnection> from = {}, const QString& iface = {})
    {
        profile = value;
        const QVariantMap changed{{QStringLiteral("ActiveProfile"), value}};
        emitFrom(from.value_or(bus),
                 {{}, name.path, "org.freedesktop.DBus.Properties", "PropertiesChanged"},
                 {iface.isEmpty() ? name.service : iface,
                  QVariant::fromValue(invalidate ? QVariantMap() : changed),
                  invalidate ? QStringList{"ActiveProfile"} : QStringList()});
    }
};

// Two private buses stand in for the system and the session bus. Each step's news are checked
// once everything sent so far has been delivered (a call on a connection is answered only after
// what it sent before), so a signal that must be ignored cannot slip past the check.
class DBusWatchTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(systemBus.isRunning() && sessionBus.isRunning()); }
    QDBusConnection connect(PrivateBus& bus)
    {
        all.push_back(bus.connect(QStringLiteral("dbuswatch-%1").arg(all.size())));
        return all.back();
    }
    QDBusConnection claim(PrivateBus& bus, const QString& service)
    {
        QDBusConnection c = connect(bus);
        EXPECT_TRUE(c.registerService(service));
        return c;
    }
    void flush()
    {
        for (QDBusConnection& c : all)
            c.call(QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "GetId"));
        QCoreApplication::processEvents();
    }
    void run(const std::vector<std::pair<std::function<void()>, QString>>& steps)
    {
        for (size_t i = 0; i < steps.size(); ++i) {
            steps[i].first();
            const QString& expected = steps[i].second;
            EXPECT_TRUE(QTest::qWaitFor([&] { return flush(), log.join(' ') == expected; }, 5000))
                << "step " << i << ": " << log.join(' ').toStdString();
            log.clear();
        }
    }

    PrivateBus systemBus;
    PrivateBus sessionBus;
    std::vector<QDBusConnection> all;
    QDBusConnection system = connect(systemBus);
    QDBusConnection session = connect(sessionBus);
    QStringList log;
};

// Any of logind and the two lockers puts the displays to sleep; only the owner of each name
// is heard, also before its lookup is answered, and an owner that goes takes its state along.
// Low power while the profile is "power-saver"; the newer daemon's name wins when both answer.
TEST_F(DBusWatchTest, SleepAndPowerSavingTakenOnlyFromTheOwnersThatCount)
{
    const QDBusConnection impostor = connect(sessionBus);
    QDBusConnection first = claim(sessionBus, fdoLocker.service);
    const QDBusConnection gnome = claim(sessionBus, gnomeLocker.service);
    const QDBusConnection login = claim(systemBus, logind.service);
    DBusSleepEvents sleep(system, session);
    DBusPowerState power(system);
    QObject::connect(&sleep, &SleepEvents::displaysSlept, [this] { log << "slept"; });
    QObject::connect(&sleep, &SleepEvents::displaysWoke, [this] { log << "woke"; });
    QObject::connect(&power, &PowerState::lowPowerModeChanged,
                     [this](bool on) { log << (on ? "low" : "normal"); });
    std::optional<QDBusConnection> second;
    const auto say = [](QDBusConnection from, const Emitter& e, bool on) {
        return [=] { emitFrom(from, e, {on}); };
    };
    // Straight after start-up, while the owners' lookups may still be out.
    run({{[&] { say(impostor, fdoLocker, true)(), say(gnome, gnomeLocker, true)(); }, "slept"},
         {say(gnome, gnomeLocker, false), "woke"},
         {say(first, fdoLocker, true), "slept"},
         {say(impostor, fdoLocker, false), ""},
         {say(login, logind, true), ""},
         {say(login, logind, false), ""}, // resumed, still locked
         {say(first, fdoLocker, false), "woke"},
         {say(login, logind, true), "slept"},
         {say(login, logind, false), "woke"}});
    run({{say(first, fdoLocker, true), "slept"},
         // A locker that goes away while active cannot report the end any more.
         {[&] { first.unregisterService(fdoLocker.service); }, "woke"},
         {[&] { second = claim(sessionBus, fdoLocker.service); }, ""},
         {say(first, fdoLocker, true), ""}, // the old instance no longer counts
         {[&] { emitFrom(*second, fdoLocker, {true}); }, "slept"}});
    const QDBusConnection systemImpostor = connect(systemBus);
    std::unique_ptr<FakeProfiles> newer;
    FakeProfiles legacy(connect(systemBus), legacyProfiles, "power-saver");
    EXPECT_FALSE(power.lowPowerMode()); // read asynchronously
    run({{[] {}, "low"},
         {[&] { legacy.announce("balanced"); }, "normal"},
         {[&] { legacy.announce("power-saver", false, systemImpostor); }, ""},
         {[&] { legacy.announce("power-saver", false, legacy.bus, "org.example.Other"); }, ""},
         {[&] { legacy.announce("power-saver", true); }, "low"},
         {[&] {
              newer = std::make_unique<FakeProfiles>(connect(systemBus), newerProfiles, "balanced");
          },
          "normal"},
         {[&] { newer->announce("power-saver"); }, "low"},
         {[&] { newer->announce("balanced"); }, "normal"},
         {[&] { newer->bus.unregisterService(newerProfiles.service); }, "low"},
         {[&] { legacy.bus.unregisterService(legacyProfiles.service); }, "normal"}});
}

} // namespace
} // namespace corvane
