#include "services/StarlinkProbe.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <arpa/inet.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>
#include <vector>

using corvane::StarlinkProbe;
using namespace std::chrono_literals;

namespace {

bool readable(int fd)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 2000) == 1;
}

// A listener on an ephemeral 127.0.0.1 port; unlistened, the port refuses connects.
struct Listener {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    std::vector<int> fillers;

    explicit Listener(int backlog, bool listen = true)
    {
        socklen_t len = sizeof addr;
        ::bind(fd, reinterpret_cast<sockaddr*>(&addr), len);
        if (listen)
            ::listen(fd, backlog);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    }
    ~Listener()
    {
        for (int f : fillers)
            ::close(f);
        ::close(fd);
    }
    StarlinkProbe::Target target() const { return {"127.0.0.1", ntohs(addr.sin_port)}; }

    // Accepts one connection and reads from it: 0 once the peer closed having sent nothing,
    // -1 when nothing came or the peer never closed.
    ssize_t drainOne()
    {
        if (!readable(fd))
            return -1;
        const int conn = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
        char buf[256];
        const ssize_t n = readable(conn) ? ::recv(conn, buf, sizeof buf, 0) : -1;
        ::close(conn);
        return n;
    }

    // Fills the accept queue with connections nobody accepts; Linux then drops new
    // SYNs, so a connect stays pending. True once a connect was seen to hang.
    bool jam()
    {
        for (int i = 0; i < 16; ++i) {
            const int c = fillers.emplace_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
            ::connect(c, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
            pollfd p{c, POLLOUT, 0};
            if (::poll(&p, 1, 200) == 0)
                return true;
        }
        return false;
    }
};

int openFds()
{
    return int(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

struct Outcome {
    int calls = 0;
    bool value = false;
    std::chrono::milliseconds elapsed{};
    int extraFdsAtAnswer = -1; // descriptors open at the answer beyond those before the call
};

// Runs one probe to its answer (10 s safety limit), then lets anything still queued run
// so that a second answer would be counted.
Outcome probe(const StarlinkProbe::Target& target, std::chrono::milliseconds timeout)
{
    Outcome out;
    QEventLoop loop;
    const int fdsBefore = openFds();
    QElapsedTimer clock;
    clock.start();
    StarlinkProbe::reachable(
        &loop,
        [&](bool ok) {
            out = {out.calls + 1, ok, std::chrono::milliseconds(clock.elapsed()),
                   openFds() - fdsBefore};
            loop.quit();
        },
        target, timeout);
    EXPECT_EQ(out.calls, 0) << "answered inside the call";
    QTimer::singleShot(10s, &loop, &QEventLoop::quit);
    loop.exec();
    settle();
    return out;
}

} // namespace

// Each answer comes once, later, with the socket already closed; the listener never
// receives a byte.
TEST(StarlinkProbe, AnswerFollowsHowTheConnectEnds)
{
    Listener open(8), refusing(0, false), full(0);
    ASSERT_TRUE(full.jam());
    const struct {
        const char* what;
        const Listener& at;
        std::chrono::milliseconds timeout;
        bool reachable;
        std::chrono::milliseconds atLeast, below;
    } rows[] = {{"accepting", open, 5s, true, 0ms, 5s},
                {"refusing", refusing, 5s, false, 0ms, 2s},
                {"full backlog", full, 150ms, false, 140ms, 3s}};
    for (const auto& r : rows) {
        const Outcome o = probe(r.at.target(), r.timeout);
        EXPECT_EQ(o.calls, 1) << r.what;
        EXPECT_EQ(o.value, r.reachable) << r.what;
        EXPECT_EQ(o.extraFdsAtAnswer, 0) << r.what;
        EXPECT_GE(o.elapsed, r.atLeast) << r.what;
        EXPECT_LT(o.elapsed, r.below) << r.what;
    }
    EXPECT_EQ(open.drainOne(), 0);

    // Cancelling answers false at once, and the timer never answers again.
    QObject context;
    std::vector<bool> answers;
    StarlinkProbe::reachable(
        &context, [&](bool ok) { answers.push_back(ok); }, full.target(), 100ms)
        .cancel();
    EXPECT_EQ(answers, std::vector<bool>{false});
    QTimer::singleShot(200ms, [] {});
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    settle();
    EXPECT_EQ(answers, std::vector<bool>{false});
}

// A probe whose context goes first never answers, and its socket is closed all the same.
TEST(StarlinkProbe, ContextDestroyedFirstDropsTheAnswer)
{
    Listener open(8);
    probe(open.target(), 5s); // let the event dispatcher open what it keeps open
    open.drainOne();
    const int before = openFds();
    auto context = std::make_unique<QObject>();
    int calls = 0;
    StarlinkProbe::reachable(
        context.get(), [&](bool) { ++calls; }, open.target(), 5s);
    context.reset();
    QTimer::singleShot(100ms, [] {});
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    settle();
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(openFds(), before);
}
