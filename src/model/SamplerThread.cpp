#include "model/SamplerThread.h"

#include <QLoggingCategory>
#include <QMetaObject>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace corvane {

namespace {
Q_LOGGING_CATEGORY(lcSampler, "corvane.sampler", QtWarningMsg)
} // namespace

SamplerThread::SamplerThread(std::unique_ptr<NetSampler> sampler) : sampler_(std::move(sampler))
{
    // Without either descriptor the loop would wait on nothing for ever (and the destructor
    // with it): no thread, no rates.
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) {
        qCWarning(lcSampler, "no rates: eventfd failed: %s", std::strerror(errno));
        return;
    }
    timerFd_ = timerfd_create(CLOCK_BOOTTIME, TFD_CLOEXEC | TFD_NONBLOCK);
    if (timerFd_ < 0) {
        qCWarning(lcSampler, "no rates: timerfd_create failed: %s", std::strerror(errno));
        return;
    }
    running_ = true;
    thread_ = std::thread([this] { run(); });
}

SamplerThread::~SamplerThread()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    // A loop that already ended has returned: joining it does not wait.
    if (thread_.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(wakeFd_, &one, sizeof one);
        thread_.join();
    }
    if (wakeFd_ >= 0)
        close(wakeFd_);
    if (timerFd_ >= 0)
        close(timerFd_);
}

void SamplerThread::post(std::function<void(NetSampler&)> op)
{
    if (!running_)
        return;
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(op));
    }
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(wakeFd_, &one, sizeof one);
}

void SamplerThread::sampleAfter(double seconds, QObject* context, TickHandler done)
{
    if (!running_)
        return;
    QPointer<QObject> guard(context);
    // Shared, not read through `this`: the context may outlive the thread.
    auto op = [guard, done = std::move(done), current = generation_,
               gen = generation_->load()](NetSampler& s) {
        NetSampler::Tick tick = s.sample();
        if (!guard)
            return;
        QMetaObject::invokeMethod(
            guard.data(),
            [guard, done, current, gen, tick = std::move(tick)] {
                if (guard && gen == current->load())
                    done(tick);
            },
            Qt::QueuedConnection);
    };
    if (seconds <= 0) {
        disarm();
        post(std::move(op));
        return;
    }
    {
        std::lock_guard lock(mutex_);
        pendingSample_ = std::move(op);
    }
    armTimer(seconds);
}

void SamplerThread::cancelPending()
{
    ++*generation_;
    disarm();
}

void SamplerThread::disarm()
{
    armTimer(0);
    std::lock_guard lock(mutex_);
    pendingSample_ = nullptr;
}

void SamplerThread::armTimer(double seconds)
{
    if (timerFd_ < 0)
        return;
    itimerspec when{};
    if (seconds > 0) {
        double whole = 0;
        const double frac = std::modf(seconds, &whole);
        when.it_value.tv_sec = static_cast<time_t>(whole);
        when.it_value.tv_nsec = static_cast<long>(frac * 1e9);
        if (when.it_value.tv_sec == 0 && when.it_value.tv_nsec == 0)
            when.it_value.tv_nsec = 1;
    }
    timerfd_settime(timerFd_, 0, &when, nullptr);
}

void SamplerThread::run()
{
    // The kernel's change notifications wake this loop too, so that a sample never has to
    // check for them itself.
    pollfd fds[3] = {{wakeFd_, POLLIN, 0},
                     {timerFd_, POLLIN, 0},
                     {sampler_ ? sampler_->watchChanges() : -1, POLLIN, 0}};
    for (;;) {
        if (poll(fds, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            qCWarning(lcSampler, "no more rates: waiting failed: %s", std::strerror(errno));
            running_ = false;
            return;
        }
        if (fds[2].revents != 0) // POLLERR too: the socket overflowed
            sampler_->takeChanges();
        uint64_t count = 0;
        if (fds[0].revents & POLLIN) [[maybe_unused]]
            ssize_t n = read(wakeFd_, &count, sizeof count);
        std::function<void(NetSampler&)> timed;
        if ((fds[1].revents & POLLIN) && read(timerFd_, &count, sizeof count) > 0) {
            std::lock_guard lock(mutex_);
            timed = std::move(pendingSample_);
            pendingSample_ = nullptr;
        }
        // Immediate operations first: they were posted before the timer's sample could
        // have been asked for again.
        for (;;) {
            std::function<void(NetSampler&)> op;
            {
                std::lock_guard lock(mutex_);
                if (stopping_)
                    return;
                if (queue_.empty())
                    break;
                op = std::move(queue_.front());
                queue_.pop_front();
            }
            op(*sampler_);
        }
        if (timed)
            timed(*sampler_);
    }
}

} // namespace corvane
