#include "app/e2e/AppProcess.h"
#include "support/FakeStatusNotifierWatcher.h"
#include "support/PrivateBus.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <arpa/inet.h>
#include <atomic>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace corvane::testing;

namespace {

// Streams bytes through a loopback TCP connection until stopped.
class LoopbackTraffic {
public:
    LoopbackTraffic()
    {
        thread_ = std::thread([this] { run(); });
    }
    ~LoopbackTraffic()
    {
        stop_ = true;
        thread_.join();
    }

private:
    void run()
    {
        const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        listen(listener, 1);
        getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
        const int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        connect(client, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        const int server = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        std::vector<char> buf(64 * 1024, 'x');
        while (!stop_) {
            if (send(client, buf.data(), buf.size(), MSG_NOSIGNAL) <= 0)
                break;
            if (recv(server, buf.data(), buf.size(), 0) <= 0)
                break;
            usleep(2000); // a few tens of MB/s: plainly visible, no strain
        }
        close(client);
        close(server);
        close(listener);
    }

    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace

TEST(TrayEndToEnd, PinnedLoopbackTrafficShowsUpInTheItemsLabel)
{
    PrivateBus session;
    PrivateBus system; // keeps the app off the machine's system bus
    ASSERT_TRUE(session.isRunning() && system.isRunning());
    FakeStatusNotifierWatcher watcher(session.address());
    ASSERT_TRUE(watcher.start());

    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("corvane")));
    QFile conf(dir.filePath(QStringLiteral("corvane/corvane.conf")));
    ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
    conf.write("[General]\ninterfaceOverride=lo\nbarStyle=wide\n");
    conf.close();

    QProcessEnvironment env = appEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), session.address());
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), system.address());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());

    QSignalSpy registered(&watcher, &FakeStatusNotifierWatcher::itemRegistered);
    QProcess app;
    app.setProcessEnvironment(env);
    app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    app.start(QStringLiteral(CORVANE_APP_PATH), {});
    ASSERT_TRUE(app.waitForStarted());
    ASSERT_TRUE(registered.wait(15000)) << "the app never registered its item";
    const QString service = registered.first().first().toString();

    LoopbackTraffic traffic;
    QString label;
    const bool moving = QTest::qWaitFor(
        [&] {
            label = watcher.itemProperty(service, QStringLiteral("XAyatanaLabel")).toString();
            return label.contains(u"Mb") || label.contains(u"Gb");
        },
        20000);
    EXPECT_TRUE(moving) << "last label: " << label.toStdString();
    EXPECT_EQ(watcher.itemProperty(service, QStringLiteral("Title")).toString(), label);

    app.terminate();
    if (!app.waitForFinished(5000))
        app.kill();
    app.waitForFinished();
}
