#include "platform/dbus/DBusPowerState.h"
#include "platform/dbus/DBusSleepEvents.h"
#include "support/PrivateBus.h"

#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QTest>
#include <gtest/gtest.h>

namespace corvane {
namespace {

using testing::PrivateBus;
using Log = QStringList;

QString uniqueName()
{
    static int n = 0;
    return QStringLiteral("dbuswatch-%1").arg(++n);
}

// Waits for `log` to reach `expected`'s length, then a little longer so a stray extra shows.
bool settlesTo(const Log& log, const Log& expected)
{
    (void)QTest::qWaitFor([&] { return log.size() >= expected.size(); }, 5000);
    QTest::qWait(150);
    return log == expected;
}

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

QDBusConnection claim(PrivateBus& bus, const QString& service)
{
    QDBusConnection c = bus.connect(uniqueName());
    EXPECT_TRUE(c.registerService(service));
    return c;
}

// A power-profiles daemon on its own connection: answers Properties.Get for ActiveProfile.
struct FakeProfiles : QDBusVirtualObject {
    QDBusConnection bus;
    Emitter name;
    QString profile;
    int reads = 0;
    FakeProfiles(PrivateBus& on, const Emitter& e, const QString& initial)
        : bus(on.connect(uniqueName())), name(e), profile(initial)
    {
        bus.registerVirtualObject(name.path, this);
        EXPECT_TRUE(bus.registerService(name.service));
    }
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& m, const QDBusConnection& c) override
    {
        if (m.member() != QLatin1String("Get") || m.arguments().value(0) != name.service)
            return false;
        ++reads;
        QDBusConnection(c).send(m.createReply(QVariant::fromValue(QDBusVariant(profile))));
        return true;
    }
    // PropertiesChanged as sent by `from`, for `iface`, with the new value or only invalidated.
    void announce(const QString& value, bool invalidate = false,
                  const QDBusConnection* from = nullptr, const QString& iface = {})
    {
        profile = value;
        const QVariantMap changed{{QStringLiteral("ActiveProfile"), value}};
        emitFrom(from ? *from : bus,
                 {{}, name.path, "org.freedesktop.DBus.Properties", "PropertiesChanged"},
                 {iface.isEmpty() ? name.service : iface,
                  QVariant::fromValue(invalidate ? QVariantMap() : changed),
                  invalidate ? QStringList{"ActiveProfile"} : QStringList()});
    }
};

class DBusWatchTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(systemBus.isRunning() && sessionBus.isRunning()); }
    void watch(SleepEvents* events, PowerState* power)
    {
        if (events) {
            QObject::connect(events, &SleepEvents::displaysSlept, [this] { log << "slept"; });
            QObject::connect(events, &SleepEvents::displaysWoke, [this] { log << "woke"; });
        }
        if (power)
            QObject::connect(power, &PowerState::lowPowerModeChanged,
                             [this](bool on) { log << (on ? "low" : "normal"); });
    }

    PrivateBus systemBus;
    PrivateBus sessionBus;
    QDBusConnection system = systemBus.connect(uniqueName());
    QDBusConnection session = sessionBus.connect(uniqueName());
    Log log;
};

TEST_F(DBusWatchTest, EachSourceSleepsAndWakesAndOverlapsMerge)
{
    DBusSleepEvents sleep(system, session);
    watch(&sleep, nullptr);
    const QDBusConnection login = claim(systemBus, logind.service);
    const QDBusConnection fdo = claim(sessionBus, fdoLocker.service);
    const QDBusConnection gnome = claim(sessionBus, gnomeLocker.service);
    for (const auto& [from, e] :
         {std::pair{login, logind}, std::pair{fdo, fdoLocker}, std::pair{gnome, gnomeLocker}}) {
        log.clear();
        emitFrom(from, e, {true});
        emitFrom(from, e, {false});
        EXPECT_TRUE(settlesTo(log, {"slept", "woke"})) << e.service.toStdString();
    }
    log.clear();
    emitFrom(gnome, gnomeLocker, {true});
    EXPECT_TRUE(settlesTo(log, {"slept"}));
    emitFrom(login, logind, {true});
    emitFrom(login, logind, {false}); // resumed, still locked
    EXPECT_TRUE(settlesTo(log, {"slept"}));
    emitFrom(gnome, gnomeLocker, {false});
    EXPECT_TRUE(settlesTo(log, {"slept", "woke"}));
}

// The impostor speaks before the owner lookup can have been answered.
TEST_F(DBusWatchTest, SleepTakesOnlyTheOwnerAndFollowsRestarts)
{
    const QDBusConnection impostor = sessionBus.connect(uniqueName());
    QDBusConnection first = claim(sessionBus, fdoLocker.service);
    DBusSleepEvents sleep(system, session);
    watch(&sleep, nullptr);
    emitFrom(impostor, fdoLocker, {true});
    EXPECT_TRUE(settlesTo(log, {}));
    emitFrom(first, fdoLocker, {true});
    EXPECT_TRUE(settlesTo(log, {"slept"}));
    // A locker that goes away while active cannot report the end any more.
    first.unregisterService(fdoLocker.service);
    EXPECT_TRUE(settlesTo(log, {"slept", "woke"}));
    const QDBusConnection second = claim(sessionBus, fdoLocker.service);
    emitFrom(first, fdoLocker, {true}); // the old instance no longer counts
    emitFrom(second, fdoLocker, {true});
    EXPECT_TRUE(settlesTo(log, {"slept", "woke", "slept"}));
}

class PowerStateTest : public DBusWatchTest, public ::testing::WithParamInterface<Emitter> {};

TEST_P(PowerStateTest, FollowsTheDaemonsProfile)
{
    auto daemon = std::make_unique<FakeProfiles>(systemBus, GetParam(), "power-saver");
    DBusPowerState power(system);
    watch(nullptr, &power);
    EXPECT_FALSE(power.lowPowerMode()); // read asynchronously
    EXPECT_TRUE(settlesTo(log, {"low"}));
    daemon->announce("balanced");
    EXPECT_TRUE(settlesTo(log, {"low", "normal"}));
    const QDBusConnection impostor = systemBus.connect(uniqueName());
    daemon->announce("power-saver", false, &impostor);
    daemon->announce("power-saver", false, &daemon->bus, "org.example.Other");
    EXPECT_TRUE(settlesTo(log, {"low", "normal"}));
    daemon->announce("power-saver", true);
    EXPECT_TRUE(settlesTo(log, {"low", "normal", "low"}));
    daemon->bus.unregisterService(GetParam().service);
    EXPECT_TRUE(settlesTo(log, {"low", "normal", "low", "normal"}));
    daemon = std::make_unique<FakeProfiles>(systemBus, GetParam(), "power-saver");
    EXPECT_TRUE(settlesTo(log, {"low", "normal", "low", "normal", "low"}));
}

INSTANTIATE_TEST_SUITE_P(BothNames, PowerStateTest,
                         ::testing::Values(legacyProfiles, newerProfiles));

TEST_F(DBusWatchTest, NewerProfilesNameWinsWhenBothAnswer)
{
    FakeProfiles legacy(systemBus, legacyProfiles, "power-saver");
    FakeProfiles newer(systemBus, newerProfiles, "balanced");
    DBusPowerState power(system);
    EXPECT_TRUE(QTest::qWaitFor([&] { return legacy.reads && newer.reads; }, 5000));
    QTest::qWait(150);
    EXPECT_FALSE(power.lowPowerMode());
}

TEST_F(DBusWatchTest, DisconnectedBusesStayQuietAndSilent)
{
    static Log printed;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& m) { printed << m; });
    const QString nowhere = QStringLiteral("unix:path=/proc/self/status/bus");
    system = QDBusConnection::connectToBus(nowhere, uniqueName());
    session = QDBusConnection::connectToBus(nowhere, uniqueName());
    ASSERT_FALSE(system.isConnected());
    DBusSleepEvents sleep(system, session);
    DBusPowerState power(system);
    watch(&sleep, &power);
    EXPECT_TRUE(settlesTo(log, {}));
    EXPECT_FALSE(power.lowPowerMode());
    qInstallMessageHandler(previous);
    EXPECT_EQ(printed, Log());
}

} // namespace
} // namespace corvane
