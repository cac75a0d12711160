#pragma once

#include "measure/NetSampler.h"

#include <QObject>
#include <memory>
#include <optional>
#include <string>

namespace corvane {

class PowerState;
class SamplerThread;
class SleepEvents;

// The loop that samples the measured interface: its thread, its cadence (slower when idle
// or saving power, 2 s while the panel is open) and its pause while the displays sleep.
// Main thread only; ticks arrive through ticked().
class SamplingLoop : public QObject {
    Q_OBJECT

public:
    static constexpr double quietMbps = 0.5;
    static constexpr qint64 idleTicksCap = 1000;

    // `sleepEvents` and `powerState` may be null. `waitScale` scales every wait (tests).
    SamplingLoop(std::unique_ptr<NetSampler> sampler, std::unique_ptr<SleepEvents> sleepEvents,
                 std::unique_ptr<PowerState> powerState, double waitScale = 1.0,
                 QObject* parent = nullptr);
    ~SamplingLoop() override;

    // The wait after a tick, in seconds.
    static double cadenceFor(bool panelOpen, qint64 idleTicks, bool lowPower);
    double cadence() const;

    // Samples now and then on the cadence, and follows display sleep; later calls do nothing.
    void start();
    bool isSampling() const { return sampling_; }

    // The interface to measure instead of the primary one, kept across sleep and wake.
    void setOverride(const std::optional<std::string>& name);
    // The next tick starts a new baseline: it reports no traffic.
    void resetBaseline();
    void setPanelOpen(bool open) { panelOpen_ = open; }
    qint64 idleTicks() const { return idleTicks_; }

Q_SIGNALS:
    void ticked(const corvane::NetSampler::Tick& tick);

private:
    void resume();
    void pause();
    void onTick(const NetSampler::Tick& tick);

    std::unique_ptr<SleepEvents> sleepEvents_;
    std::unique_ptr<PowerState> powerState_;
    std::unique_ptr<SamplerThread> thread_;
    double waitScale_;
    std::optional<std::string> override_;
    bool panelOpen_ = false;
    qint64 idleTicks_ = 0;
    bool started_ = false;
    bool sampling_ = false;
};

} // namespace corvane
