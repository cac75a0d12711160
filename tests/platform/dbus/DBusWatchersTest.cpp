#include "platform/dbus/BusNameOwner.h"
#include "platform/dbus/DBusPowerState.h"
#include "platform/dbus/DBusSleepEvents.h"
#include "platform/dbus/SystemWatchers.h"
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

void emitFrom(QDBusConnection from, const Emitter& e, const QVariantList& args)
{
    QDBusMessage m = QDBusMessage::createSignal(e.path, e.interface, e.member);
    m.setArguments(args);
    from.send(m);
}

// A power-profiles daemon on its own connection: answers Properties.Get for ActiveProfile.
struct FakeProfiles : QDBusVirtualObject {
    QDBusConnection bus;
    QString interface, path, profile;
    int reads = 0;
    FakeProfiles(PrivateBus& on, const QString& service, const QString& objectPath,
                 const QString& initial)
        : bus(on.connect(uniqueName())), interface(service), path(objectPath), profile(initial)
    {
        bus.registerVirtualObject(path, this);
        EXPECT_TRUE(bus.registerService(service));
    }
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& m, const QDBusConnection& c) override
    {
        if (m.member() != QLatin1String("Get") || m.arguments().value(0) != interface)
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
                 {{}, path, "org.freedesktop.DBus.Properties", "PropertiesChanged"},
                 {iface.isEmpty() ? interface : iface,
                  QVariant::fromValue(invalidate ? QVariantMap() : changed),
                  invalidate ? QStringList{"ActiveProfile"} : QStringList()});
    }
};

class DBusWatchTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(systemBus.isRunning() && sessionBus.isRunning()); }

    QDBusConnection claim(PrivateBus& bus, const QString& service)
    {
        QDBusConnection c = bus.connect(uniqueName());
        EXPECT_TRUE(c.registerService(service));
        return c;
    }
    void follow(SleepEvents* events)
    {
        QObject::connect(events, &SleepEvents::displaysSlept, [this] { log << "slept"; });
        QObject::connect(events, &SleepEvents::displaysWoke, [this] { log << "woke"; });
    }
    void watchSleep()
    {
        sleep = std::make_unique<DBusSleepEvents>(system, session);
        follow(sleep.get());
    }
    void watchPower()
    {
        power = std::make_unique<DBusPowerState>(system);
        QObject::connect(power.get(), &PowerState::lowPowerModeChanged,
                         [this](bool on) { log << (on ? "low" : "normal"); });
    }

    PrivateBus systemBus;
    PrivateBus sessionBus;
    QDBusConnection system = systemBus.connect(uniqueName());
    QDBusConnection session = sessionBus.connect(uniqueName());
    Log log;
    std::unique_ptr<DBusSleepEvents> sleep;
    std::unique_ptr<DBusPowerState> power;
};

TEST_F(DBusWatchTest, EachSourceSleepsAndWakesAndOverlapsMerge)
{
    watchSleep();
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

TEST_F(DBusWatchTest, SignalsBeforeTheOwnerIsKnownWaitForTheAnswer)
{
    const QDBusConnection login = claim(systemBus, logind.service);
    BusNameOwner owner(system, logind.service);
    Log ran;
    // No event loop has run yet, so the lookup cannot have been answered.
    owner.ifOwner(login.baseService(), [&] { ran << "owner"; });
    owner.ifOwner(systemBus.connect(uniqueName()).baseService(), [&] { ran << "other"; });
    EXPECT_TRUE(settlesTo(ran, {"owner"}));
}

TEST_F(DBusWatchTest, SleepTakesOnlyTheOwnerAndFollowsRestarts)
{
    const QDBusConnection impostor = sessionBus.connect(uniqueName());
    QDBusConnection first = claim(sessionBus, fdoLocker.service);
    watchSleep();
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

class PowerStateTest : public DBusWatchTest,
                       public ::testing::WithParamInterface<std::pair<const char*, const char*>> {};

TEST_P(PowerStateTest, FollowsTheDaemonsProfile)
{
    const QString service = GetParam().first, path = GetParam().second;
    auto daemon = std::make_unique<FakeProfiles>(systemBus, service, path, "power-saver");
    watchPower();
    EXPECT_FALSE(power->lowPowerMode()); // read asynchronously
    EXPECT_TRUE(settlesTo(log, {"low"}));
    daemon->announce("balanced");
    EXPECT_TRUE(settlesTo(log, {"low", "normal"}));
    const QDBusConnection impostor = systemBus.connect(uniqueName());
    daemon->announce("power-saver", false, &impostor);
    daemon->announce("power-saver", false, &daemon->bus, "org.example.Other");
    EXPECT_TRUE(settlesTo(log, {"low", "normal"}));
    daemon->announce("power-saver", true);
    EXPECT_TRUE(settlesTo(log, {"low", "normal", "low"}));
    daemon->bus.unregisterService(service);
    EXPECT_TRUE(settlesTo(log, {"low", "normal", "low", "normal"}));
    daemon = std::make_unique<FakeProfiles>(systemBus, service, path, "power-saver");
    EXPECT_TRUE(settlesTo(log, {"low", "normal", "low", "normal", "low"}));
}

INSTANTIATE_TEST_SUITE_P(BothNames, PowerStateTest,
                         ::testing::Values(std::pair{"net.hadess.PowerProfiles",
                                                     "/net/hadess/PowerProfiles"},
                                           std::pair{"org.freedesktop.UPower.PowerProfiles",
                                                     "/org/freedesktop/UPower/PowerProfiles"}));

TEST_F(DBusWatchTest, NewerProfilesNameWinsWhenBothAnswer)
{
    FakeProfiles legacy(systemBus, "net.hadess.PowerProfiles", "/net/hadess/PowerProfiles",
                        "power-saver");
    FakeProfiles newer(systemBus, "org.freedesktop.UPower.PowerProfiles",
                       "/org/freedesktop/UPower/PowerProfiles", "balanced");
    watchPower();
    EXPECT_TRUE(QTest::qWaitFor([&] { return legacy.reads && newer.reads; }, 5000));
    QTest::qWait(150);
    EXPECT_FALSE(power->lowPowerMode());
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
    watchSleep();
    watchPower();
    EXPECT_TRUE(settlesTo(log, {}));
    EXPECT_FALSE(power->lowPowerMode());
    qInstallMessageHandler(previous);
    EXPECT_EQ(printed, Log());
}

// CTest runs each test in its own process, so the process's default connections are fresh.
TEST_F(DBusWatchTest, FactoriesUseSystemAndSessionBuses)
{
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", systemBus.address().toUtf8());
    qputenv("DBUS_SESSION_BUS_ADDRESS", sessionBus.address().toUtf8());
    FakeProfiles daemon(systemBus, "net.hadess.PowerProfiles", "/net/hadess/PowerProfiles",
                        "power-saver");
    const QDBusConnection login = claim(systemBus, logind.service);
    const QDBusConnection gnome = claim(sessionBus, gnomeLocker.service);
    const auto events = makeSystemSleepEvents();
    const auto powerState = makeSystemPowerState();
    follow(events.get());
    EXPECT_TRUE(QTest::qWaitFor([&] { return powerState->lowPowerMode(); }, 5000));
    emitFrom(login, logind, {true});
    emitFrom(login, logind, {false});
    EXPECT_TRUE(settlesTo(log, {"slept", "woke"}));
    emitFrom(gnome, gnomeLocker, {true});
    EXPECT_TRUE(settlesTo(log, {"slept", "woke", "slept"}));
}

} // namespace
} // namespace corvane
