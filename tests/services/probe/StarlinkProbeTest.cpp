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

using namespace corvane;
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

    // Accepts one connection: 0 once the peer closed having sent nothing.
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

    // Fills the accept queue; Linux then drops new SYNs, so a connect stays pending.
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

// Lets queued answers and deferred deletions run, so a second answer would be counted.
void settle(std::chrono::milliseconds wait)
{
    QEventLoop loop;
    QTimer::singleShot(wait, &loop, &QEventLoop::quit);
    loop.exec();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

// Each answer comes once, later, with the socket already closed; the listener never
// receives a byte. A cancel answers false at once; a gone context hears nothing.
TEST(StarlinkProbe, AnswerFollowsHowTheConnectEnds)
{
    Listener open(8), refusing(0, false), full(0);
    ASSERT_TRUE(full.jam());
    settle(10ms); // the event dispatcher opens what it keeps open
    const struct {
        const char* what;
        const Listener& at;
        std::chrono::milliseconds timeout;
        bool reachable;
        std::chrono::milliseconds atLeast, below;
        bool cancel = false, dropContext = false;
    } rows[] = {{"accepting", open, 5s, true, 0ms, 5s},
                {"refusing", refusing, 5s, false, 0ms, 2s},
                {"full backlog", full, 150ms, false, 140ms, 3s},
                {"cancelled", full, 100ms, false, 0ms, 50ms, true},
                {"context gone", open, 5s, false, 0ms, 5s, false, true}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        const int fdsBefore = openFds();
        auto context = std::make_unique<QObject>();
        std::vector<bool> answers;
        int extraFds = -1;
        QElapsedTimer clock;
        clock.start();
        ProbeHandle h =
            StarlinkDishProbe(r.at.target(), r.timeout).reachable(context.get(), [&](bool ok) {
                answers.push_back(ok);
                extraFds = openFds() - fdsBefore;
            });
        EXPECT_TRUE(answers.empty()) << "answered inside the call";
        if (r.cancel)
            h.cancel();
        if (r.dropContext)
            context.reset();
        for (int i = 0; i < 1000 && answers.empty() && !r.dropContext; ++i)
            settle(10ms);
        EXPECT_GE(clock.elapsed(), r.atLeast.count());
        EXPECT_LT(clock.elapsed(), r.below.count() + (r.dropContext ? 200 : 0));
        settle(r.cancel ? 200ms : 20ms);
        EXPECT_EQ(answers, r.dropContext ? std::vector<bool>{} : std::vector<bool>{r.reachable});
        EXPECT_EQ(r.dropContext ? openFds() - fdsBefore : extraFds, 0);
        if (&r.at == &open) {
            EXPECT_EQ(open.drainOne(), 0);
        }
    }
}
