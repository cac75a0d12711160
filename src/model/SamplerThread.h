#pragma once

#include "measure/NetSampler.h"

#include <QObject>
#include <QPointer>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace corvane {

// Runs a NetSampler's operations one at a time on a thread of its own.
//
// The loop's wait lives here too, on a CLOCK_BOOTTIME timerfd (it keeps counting through
// suspend). The main thread arms it directly, so a quiet tick costs one wake-up of this
// thread (the timer) and one of the main thread (the result), nothing else. The sampler's
// kernel change notifications are watched in the same wait.
//
// When the loop cannot run (its descriptors could not be made, or its wait failed) it says
// so once on the warning channel and drops everything posted from then on.
class SamplerThread {
public:
    using TickHandler = std::function<void(const NetSampler::Tick&)>;

    explicit SamplerThread(std::unique_ptr<NetSampler> sampler);
    ~SamplerThread();
    SamplerThread(const SamplerThread&) = delete;
    SamplerThread& operator=(const SamplerThread&) = delete;

    // Runs `op` on the sampler thread, after every operation posted before it.
    void post(std::function<void(NetSampler&)> op);

    // After `seconds` on the boot clock, runs sample() and hands the tick to `done` on
    // the thread of `context` (dropped if `context` is gone). Replaces an earlier pending
    // request; 0 seconds samples as soon as the operations before it have run.
    // Called on the thread of `context`, like cancelPending().
    void sampleAfter(double seconds, QObject* context, TickHandler done);
    // Drops the pending delayed sample, and any tick asked for earlier that is still on its
    // way: one read before the call never arrives after it.
    void cancelPending();

    bool isRunning() const { return running_.load(); }

private:
    void run();
    void armTimer(double seconds);
    void disarm();

    std::unique_ptr<NetSampler> sampler_;
    int wakeFd_ = -1;  // eventfd: new operations or shutdown
    int timerFd_ = -1; // timerfd on CLOCK_BOOTTIME: the loop's wait

    std::mutex mutex_;
    std::deque<std::function<void(NetSampler&)>> queue_;
    std::function<void(NetSampler&)> pendingSample_; // runs when the timer fires
    bool stopping_ = false;
    std::atomic<bool> running_{false};
    // Moved on by cancelPending(); a tick asked for under an older one is dropped.
    std::shared_ptr<std::atomic<uint64_t>> generation_ = std::make_shared<std::atomic<uint64_t>>(0);
    std::thread thread_;
};

} // namespace corvane
