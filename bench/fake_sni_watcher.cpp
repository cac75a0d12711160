// A stand-alone StatusNotifierWatcher for app_idle.sh, which runs the app as a process of its own.
// Usage: fake_sni_watcher [BUS_ADDRESS]  (default: $DBUS_SESSION_BUS_ADDRESS)
// Prints "ready" once it owns the name, then "registered SERVICE" per registration.
#include "support/FakeStatusNotifierWatcher.h"

#include <QCoreApplication>
#include <cstdio>

using corvane::testing::FakeStatusNotifierWatcher;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    FakeStatusNotifierWatcher watcher(
        args.size() > 1 ? args[1] : qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"));
    QObject::connect(&watcher, &FakeStatusNotifierWatcher::itemRegistered, [](const QString& s) {
        std::printf("registered %s\n", qPrintable(s));
        std::fflush(stdout);
    });
    if (!watcher.start()) {
        std::fprintf(stderr, "fake_sni_watcher: cannot own the watcher name\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}
