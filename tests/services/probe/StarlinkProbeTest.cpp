#include "services/StarlinkProbe.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>
#include <vector>

using namespace corvane;
using namespace std::chrono_literals;

namespace {

int openFds()
{
    return int(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

} // namespace

// Each answer comes once, later, with the socket already closed; the listener never
// receives a byte. A cancel answers false at once; a gone context hears nothing.
TEST(StarlinkProbe, AnswerFollowsHowTheConnectEnds)
{
    // Accepting (later: the probe's connect waits in the queue); bound but not listening, so
    // connects are refused; and with its queue full, so Linux drops new SYNs and a connect
    // stays pending.
    QTcpServer open, full;
    QTcpSocket refusing;
    full.setListenBacklogSize(0);
    ASSERT_TRUE(open.listen(QHostAddress::LocalHost) && full.listen(QHostAddress::LocalHost) &&
                refusing.bind(QHostAddress::LocalHost));
    open.pauseAccepting();
    full.pauseAccepting();
    bool jammed = false;
    for (int i = 0; i < 16 && !jammed; ++i) {
        auto* filler = new QTcpSocket(&full);
        filler->connectToHost(QHostAddress::LocalHost, full.serverPort());
        jammed = !filler->waitForConnected(200);
    }
    ASSERT_TRUE(jammed);
    QTest::qWait(10); // the event dispatcher opens what it keeps open
    const struct {
        const char* what;
        quint16 port;
        std::chrono::milliseconds timeout;
        bool reachable;
        std::chrono::milliseconds atLeast, below;
        bool cancel = false, dropContext = false;
    } rows[] = {{"accepting", open.serverPort(), 5s, true, 0ms, 5s},
                {"refusing", refusing.localPort(), 5s, false, 0ms, 2s},
                {"full backlog", full.serverPort(), 150ms, false, 140ms, 3s},
                {"cancelled", full.serverPort(), 100ms, false, 0ms, 50ms, true},
                {"context gone", open.serverPort(), 5s, false, 0ms, 5s, false, true}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        const int fdsBefore = openFds();
        auto context = std::make_unique<QObject>();
        std::vector<bool> answers;
        int extraFds = -1;
        QElapsedTimer clock;
        clock.start();
        ProbeHandle h = StarlinkDishProbe({"127.0.0.1", r.port}, r.timeout)
                            .reachable(context.get(), [&](bool ok) {
                                answers.push_back(ok);
                                extraFds = openFds() - fdsBefore;
                            });
        EXPECT_TRUE(answers.empty()) << "answered inside the call";
        if (r.cancel)
            h.cancel();
        if (r.dropContext)
            context.reset();
        EXPECT_TRUE(r.dropContext || QTest::qWaitFor([&] { return !answers.empty(); }, 10000));
        EXPECT_GE(clock.elapsed(), r.atLeast.count());
        EXPECT_LT(clock.elapsed(), r.below.count() + (r.dropContext ? 200 : 0));
        QTest::qWait(r.cancel ? 200 : 20); // a second answer or a deferred deletion would run
        EXPECT_EQ(answers, r.dropContext ? std::vector<bool>{} : std::vector<bool>{r.reachable});
        EXPECT_EQ(r.dropContext ? openFds() - fdsBefore : extraFds, 0);
        if (r.port == open.serverPort()) { // connected, closed, and never sent a byte
            ASSERT_TRUE(open.hasPendingConnections() || open.waitForNewConnection(2000));
            const std::unique_ptr<QTcpSocket> peer(open.nextPendingConnection());
            EXPECT_TRUE(peer->state() == QAbstractSocket::UnconnectedState ||
                        peer->waitForDisconnected(2000));
            EXPECT_TRUE(peer->readAll().isEmpty());
            open.pauseAccepting(); // waiting for the connection took it up again
        }
    }
}
