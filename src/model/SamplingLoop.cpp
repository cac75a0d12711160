#include "model/SamplingLoop.h"

#include "model/SamplerThread.h"
#include "platform/SystemEvents.h"

#include <algorithm>

namespace corvane {

SamplingLoop::SamplingLoop(std::unique_ptr<NetSampler> sampler,
                           std::unique_ptr<SleepEvents> sleepEvents,
                           std::unique_ptr<PowerState> powerState, double waitScale,
                           QObject* parent)
    : QObject(parent), sleepEvents_(std::move(sleepEvents)), powerState_(std::move(powerState)),
      thread_(std::make_unique<SamplerThread>(std::move(sampler))), waitScale_(waitScale)
{}

SamplingLoop::~SamplingLoop() = default;

double SamplingLoop::cadenceFor(bool panelOpen, qint64 idleTicks, bool lowPower)
{
    if (panelOpen)
        return 2;
    if (idleTicks < 10)
        return lowPower ? 3 : 2;
    return lowPower ? 6 : 4;
}

double SamplingLoop::cadence() const
{
    const bool lowPower = powerState_ && powerState_->lowPowerMode();
    return cadenceFor(panelOpen_, idleTicks_, lowPower);
}

void SamplingLoop::start()
{
    if (started_)
        return;
    started_ = true;
    resume();
    if (!sleepEvents_)
        return;
    connect(sleepEvents_.get(), &SleepEvents::displaysSlept, this, [this] { pause(); });
    connect(sleepEvents_.get(), &SleepEvents::displaysWoke, this, [this] { resume(); });
}

void SamplingLoop::resume()
{
    pause();
    if (!thread_->isRunning())
        return; // already reported: no rates
    sampling_ = true;
    thread_->post([override = override_](NetSampler& s) {
        s.setOverride(override);
        s.resetBaseline();
    });
    thread_->sampleAfter(0, this, [this](const NetSampler::Tick& t) { onTick(t); });
}

void SamplingLoop::pause()
{
    sampling_ = false;
    thread_->cancelPending(); // a tick already on its way is dropped too
}

void SamplingLoop::setOverride(const std::optional<std::string>& name)
{
    override_ = name;
    if (started_) // before that, the first resume() hands it over
        thread_->post([name](NetSampler& s) { s.setOverride(name); });
}

void SamplingLoop::resetBaseline()
{
    thread_->post([](NetSampler& s) { s.resetBaseline(); });
}

void SamplingLoop::onTick(const NetSampler::Tick& tick)
{
    const bool quiet = tick.sample.downMbps < quietMbps && tick.sample.upMbps < quietMbps;
    idleTicks_ = quiet ? std::min(idleTicks_ + 1, idleTicksCap) : 0;
    Q_EMIT ticked(tick);
    thread_->sampleAfter(cadence() * waitScale_, this,
                         [this](const NetSampler::Tick& t) { onTick(t); });
}

} // namespace corvane
