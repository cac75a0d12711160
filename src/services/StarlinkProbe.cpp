#include "services/StarlinkProbe.h"

#include <QMetaObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace corvane {

namespace detail {

// One connect attempt racing one timer. Lives on the thread that started it; every
// path ends in finish() or abandon(), which close the socket and schedule deletion.
// The object is never deleted synchronously, so a callback that tears down its
// caller cannot pull the job out from under the notifier or timer that called it.
class ProbeJob final : public QObject {
public:
    ProbeJob(QObject* context, std::function<void(bool)> done) : done_(std::move(done))
    {
        if (context)
            connect(context, &QObject::destroyed, this, &ProbeJob::abandon);
    }

    ~ProbeJob() override
    {
        notifier_.reset();
        if (fd_ >= 0)
            ::close(fd_);
    }

    void start(const StarlinkProbe::Target& target, std::chrono::milliseconds timeout)
    {
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);
        connect(&timer_, &QTimer::timeout, this, [this] { finish(false); });
        timer_.start(timeout);

        sockaddr_storage addr{};
        socklen_t addrLen = 0;
        if (!toSockaddr(target, addr, addrLen)) {
            finishLater(false);
            return;
        }
        fd_ = ::socket(addr.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
        if (fd_ < 0) {
            finishLater(false);
            return;
        }
        if (::connect(fd_, reinterpret_cast<const sockaddr*>(&addr), addrLen) == 0) {
            finishLater(true);
            return;
        }
        // An interrupted non-blocking connect carries on in the background, like one
        // in progress; anything else is a final answer.
        if (errno != EINPROGRESS && errno != EINTR) {
            finishLater(false);
            return;
        }
        notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Write);
        connect(notifier_.get(), &QSocketNotifier::activated, this, &ProbeJob::onWritable);
    }

    // The first decision wins; later ones (a timer racing the connect, a cancel after
    // the answer) are ignored.
    void finish(bool reachable)
    {
        if (decided_)
            return;
        decided_ = true;
        timer_.stop();
        closeSocket();
        deleteLater();
        auto done = std::move(done_);
        done_ = nullptr;
        if (done)
            done(reachable);
    }

    // The receiver is gone: stop without answering.
    void abandon()
    {
        if (decided_)
            return;
        decided_ = true;
        timer_.stop();
        closeSocket();
        done_ = nullptr;
        deleteLater();
    }

private:
    static bool toSockaddr(const StarlinkProbe::Target& target, sockaddr_storage& addr,
                           socklen_t& len)
    {
        const QByteArray host = target.host.toLatin1();
        auto* v4 = reinterpret_cast<sockaddr_in*>(&addr);
        if (::inet_pton(AF_INET, host.constData(), &v4->sin_addr) == 1) {
            v4->sin_family = AF_INET;
            v4->sin_port = htons(target.port);
            len = sizeof(sockaddr_in);
            return true;
        }
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&addr);
        if (::inet_pton(AF_INET6, host.constData(), &v6->sin6_addr) == 1) {
            v6->sin6_family = AF_INET6;
            v6->sin6_port = htons(target.port);
            len = sizeof(sockaddr_in6);
            return true;
        }
        return false;
    }

    // Answers found while starting are still delivered from the event loop, so the
    // caller never sees its callback run inside reachable().
    void finishLater(bool reachable)
    {
        QMetaObject::invokeMethod(
            this, [this, reachable] { finish(reachable); }, Qt::QueuedConnection);
    }

    void onWritable()
    {
        if (decided_ || fd_ < 0)
            return;
        int err = 0;
        socklen_t errLen = sizeof err;
        if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &errLen) < 0)
            err = errno;
        if (err != 0) {
            finish(false);
            return;
        }
        // Writable with no pending error normally means connected; confirm it, so that
        // a wake-up while the handshake is still running keeps waiting.
        sockaddr_storage peer{};
        socklen_t peerLen = sizeof peer;
        if (::getpeername(fd_, reinterpret_cast<sockaddr*>(&peer), &peerLen) == 0)
            finish(true);
        else if (errno != ENOTCONN)
            finish(false);
    }

    void closeSocket()
    {
        if (notifier_) {
            // This may run inside the notifier's own signal: disable it now, delete it later.
            notifier_->setEnabled(false);
            notifier_.release()->deleteLater();
        }
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

    std::function<void(bool)> done_;
    QTimer timer_;
    std::unique_ptr<QSocketNotifier> notifier_;
    int fd_ = -1;
    bool decided_ = false;
};

} // namespace detail

namespace {
QString dishHostText()
{
    return QString::fromLatin1(StarlinkProbe::dishHost.data(),
                               qsizetype(StarlinkProbe::dishHost.size()));
}
} // namespace

StarlinkProbe::Target StarlinkProbe::dish()
{
    return {dishHostText(), dishPort};
}

const QUrl& StarlinkProbe::dishyURL()
{
    static const QUrl url(QStringLiteral("http://") + dishHostText());
    return url;
}

ProbeHandle StarlinkProbe::reachable(QObject* context, std::function<void(bool)> done,
                                     const Target& target, std::chrono::milliseconds timeout)
{
    auto* job = new detail::ProbeJob(context, std::move(done));
    job->start(target, timeout);
    return ProbeHandle([job = QPointer<detail::ProbeJob>(job)] {
        if (job)
            job->finish(false);
    });
}

} // namespace corvane
