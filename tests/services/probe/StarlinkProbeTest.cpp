#include "services/StarlinkProbe.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <optional>
#include <poll.h>
#include <unistd.h>
#include <vector>

using corvane::StarlinkProbe;
using namespace std::chrono_literals;

namespace {

struct Fd {
    int fd;
    explicit Fd(int f) : fd(f) {}
    Fd(Fd&& o) noexcept : fd(std::exchange(o.fd, -1)) {}
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// A loopback listener on an ephemeral port; unlistened, the port refuses connects.
class Listener {
public:
    Listener(const char* host, int backlog, bool listen = true)
        : host_(host), sock_(::socket(family(), SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        auto [addr, len] = address(0);
        if (::bind(sock_.fd, reinterpret_cast<sockaddr*>(&addr), len) == 0 &&
            (!listen || ::listen(sock_.fd, backlog) == 0) &&
            ::getsockname(sock_.fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
            port_ = ntohs(reinterpret_cast<sockaddr_in*>(&addr)->sin_port); // same offset in v6
    }

    bool ok() const { return port_ != 0; }
    StarlinkProbe::Target target() const { return {QString::fromLatin1(host_), port_}; }

    // Accepts one connection and reads it to EOF: the byte count, or none if nothing
    // arrived or the peer never closed.
    std::optional<size_t> drainOne()
    {
        if (!readable(sock_.fd))
            return std::nullopt;
        Fd conn(::accept4(sock_.fd, nullptr, nullptr, SOCK_CLOEXEC));
        size_t total = 0;
        char buf[256];
        for (ssize_t n; readable(conn.fd) && (n = ::recv(conn.fd, buf, sizeof buf, 0)) >= 0;) {
            if (n == 0)
                return total;
            total += size_t(n);
        }
        return std::nullopt;
    }

    // Fills the accept queue with connections nobody accepts; Linux then drops new
    // SYNs, so a connect stays pending. True once a connect was seen to hang.
    bool jam()
    {
        for (int i = 0; i < 16; ++i) {
            Fd& c = fillers_.emplace_back(::socket(family(), SOCK_STREAM | SOCK_NONBLOCK, 0));
            auto [addr, len] = address(port_);
            ::connect(c.fd, reinterpret_cast<sockaddr*>(&addr), len);
            pollfd p{c.fd, POLLOUT, 0};
            if (::poll(&p, 1, 200) == 0)
                return true;
        }
        return false;
    }

private:
    int family() const { return QByteArray(host_).contains(':') ? AF_INET6 : AF_INET; }
    std::pair<sockaddr_storage, socklen_t> address(uint16_t port) const
    {
        sockaddr_storage ss{};
        if (family() == AF_INET) {
            auto* a = reinterpret_cast<sockaddr_in*>(&ss);
            *a = {AF_INET, htons(port), {}, {}};
            ::inet_pton(AF_INET, host_, &a->sin_addr);
            return {ss, sizeof *a};
        }
        auto* a = reinterpret_cast<sockaddr_in6*>(&ss);
        *a = {AF_INET6, htons(port), 0, {}, 0};
        ::inet_pton(AF_INET6, host_, &a->sin6_addr);
        return {ss, sizeof *a};
    }
    static bool readable(int fd)
    {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, 2000) == 1;
    }

    const char* host_;
    Fd sock_;
    uint16_t port_ = 0;
    std::vector<Fd> fillers_;
};

int openFds()
{
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::System | QDir::NoDotAndDotDot)
                   .size());
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
    QTimer::singleShot(10s, &loop, &QEventLoop::quit);
    loop.exec();
    settle();
    return out;
}

class StarlinkProbeTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        if (!Listener(GetParam(), 1).ok())
            GTEST_SKIP() << "no loopback for " << GetParam();
    }
};

} // namespace

TEST_P(StarlinkProbeTest, AcceptingListenerIsReachableAndReceivesNothing)
{
    Listener l(GetParam(), 8);
    const Outcome o = probe(l.target(), 5s);
    EXPECT_EQ(o.calls, 1);
    EXPECT_TRUE(o.value);
    EXPECT_EQ(o.extraFdsAtAnswer, 0) << "the socket is closed before the answer";
    EXPECT_EQ(l.drainOne(), std::optional<size_t>(0));
}

TEST_P(StarlinkProbeTest, ClosedPortAnswersFalseWithoutWaitingForTheTimer)
{
    Listener closed(GetParam(), 0, /*listen=*/false);
    const Outcome o = probe(closed.target(), 5s);
    EXPECT_EQ(o.calls, 1);
    EXPECT_FALSE(o.value);
    EXPECT_LT(o.elapsed, 2s);
}

TEST_P(StarlinkProbeTest, HandshakeThatNeverCompletesTimesOut)
{
    Listener l(GetParam(), 0);
    ASSERT_TRUE(l.jam());
    const Outcome o = probe(l.target(), 150ms);
    EXPECT_EQ(o.calls, 1);
    EXPECT_FALSE(o.value);
    EXPECT_EQ(o.extraFdsAtAnswer, 0);
    EXPECT_GE(o.elapsed, 140ms);
    EXPECT_LT(o.elapsed, 3s);
}

INSTANTIATE_TEST_SUITE_P(Loopback, StarlinkProbeTest, ::testing::Values("127.0.0.1", "::1"),
                         [](const auto& info) { return info.index ? "v6" : "v4"; });

TEST(StarlinkProbe, CancelAnswersFalseAtOnceAndOnlyOnce)
{
    Listener l("127.0.0.1", 0);
    ASSERT_TRUE(l.jam());
    QObject context;
    std::vector<bool> answers;
    auto h = StarlinkProbe::reachable(
        &context, [&](bool ok) { answers.push_back(ok); }, l.target(), 100ms);
    EXPECT_TRUE(h.pending());
    h.cancel();
    EXPECT_EQ(answers, std::vector<bool>{false});
    EXPECT_FALSE(h.pending());
    auto copy = h;
    copy.cancel();
    QTimer::singleShot(200ms, [] {});
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    settle();
    EXPECT_EQ(answers, std::vector<bool>{false}) << "the timer must not answer again";
}

TEST(StarlinkProbe, UnparsableHostIsFalseAndNeverAnswersInsideTheCall)
{
    for (const char* host : {"localhost", "127.0.0.1:80", ""}) {
        QObject context;
        int calls = 0;
        StarlinkProbe::reachable(
            &context, [&](bool) { ++calls; }, {host, 1}, 5s);
        EXPECT_EQ(calls, 0) << host;
        const Outcome o = probe({host, 1}, 5s);
        EXPECT_EQ(o.calls, 1) << host;
        EXPECT_FALSE(o.value) << host;
        EXPECT_LT(o.elapsed, 1s) << host;
    }
}

TEST(StarlinkProbe, DestroyedReceiverGetsNoAnswerAndTheSocketCloses)
{
    Listener l("127.0.0.1", 0);
    ASSERT_TRUE(l.jam());
    settle();
    const int before = openFds();
    int calls = 0;
    {
        QObject context;
        StarlinkProbe::reachable(
            &context, [&](bool) { ++calls; }, l.target(), 100ms);
        EXPECT_EQ(openFds(), before + 1);
    }
    EXPECT_EQ(openFds(), before);
    QTimer::singleShot(200ms, [] {});
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    settle();
    EXPECT_EQ(calls, 0);
}

// Every way a probe ends (connected, refused, cancelled, timed out) releases its
// descriptor, and nothing is ever written to the peer.
TEST(StarlinkProbe, NoDescriptorLeaksAcrossAThousandProbes)
{
    Listener open("127.0.0.1", 64), closed("127.0.0.1", 0, false), stuck("127.0.0.1", 0);
    ASSERT_TRUE(stuck.jam());
    probe(open.target(), 5s); // let the event dispatcher open what it keeps open
    open.drainOne();
    const int before = openFds();

    int wrong = 0;
    size_t received = 0;
    for (int i = 0; i < 1000; ++i) {
        if (i % 4 == 0) {
            wrong += !probe(open.target(), 5s).value;
            received += open.drainOne().value_or(1);
        } else if (i % 4 == 1) {
            wrong += probe(closed.target(), 5s).value;
        } else if (i % 4 == 2) {
            QObject context;
            bool answer = true;
            StarlinkProbe::reachable(
                &context, [&](bool ok) { answer = ok; }, stuck.target(), 5s)
                .cancel();
            wrong += answer;
        } else if (i % 40 == 3) {
            wrong += probe(stuck.target(), 1ms).value;
        }
    }
    settle();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(received, 0u);
    EXPECT_EQ(openFds(), before);
}

TEST(StarlinkProbe, DishPageIsThePlainHttpHost)
{
    EXPECT_EQ(StarlinkProbe::dishyURL().toString(), QStringLiteral("http://192.168.100.1"));
}
