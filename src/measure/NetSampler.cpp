#include "measure/NetSampler.h"

namespace corvane {

NetSampler::NetSampler(std::unique_ptr<NetSource> source, std::unique_ptr<SampleClock> clock)
    : source_(std::move(source)), clock_(std::move(clock))
{}

void NetSampler::setOverride(const std::optional<std::string>& name)
{
    override_ = name;
    overrideIndex_ = name ? source_->indexOf(*name) : 0;
    cachedName_.reset();
}

void NetSampler::resetBaseline()
{
    lastIn_.reset();
    lastOut_.reset();
    lastTime_.reset();
}

NetSampler::Tick NetSampler::sample()
{
    const std::chrono::nanoseconds now = clock_->now();
    PrimaryRoute primary = source_->primaryInterface();

    if (override_ && overrideIndex_ == 0)
        overrideIndex_ = source_->indexOf(*override_);
    const bool honoured = override_ && overrideIndex_ != 0;
    const std::optional<std::string>& target = honoured ? override_ : primary.name;

    if (target) {
        if (!cachedName_ || *cachedName_ != *target) {
            cachedName_ = *target;
            ifIndex_ = honoured ? overrideIndex_ : source_->indexOf(*target);
            lastIn_.reset();
            lastOut_.reset();
        }
    } else if (cachedName_) {
        cachedName_.reset();
        ifIndex_ = 0;
        lastIn_.reset();
        lastOut_.reset();
    }

    Tick tick;
    tick.interfaceName = target;
    tick.router = std::move(primary.router);
    tick.primaryName = std::move(primary.name);
    tick.overrideHonored = honoured;

    const std::optional<LinkCounters> counters =
        ifIndex_ != 0 ? source_->readCounters(ifIndex_) : std::nullopt;
    if (counters) {
        tick.linkMbps = static_cast<double>(counters->linkBitsPerSecond) / 1'000'000.0;
        if (lastIn_ && lastOut_ && lastTime_) {
            const double dt = std::chrono::duration<double>(now - *lastTime_).count();
            if (dt > minIntervalSeconds) {
                // A counter that went backwards (reset, wrap, re-created device) gives 0.
                tick.deltaInBytes =
                    counters->rxBytes >= *lastIn_ ? counters->rxBytes - *lastIn_ : 0;
                tick.deltaOutBytes =
                    counters->txBytes >= *lastOut_ ? counters->txBytes - *lastOut_ : 0;
                tick.sample.downMbps = static_cast<double>(tick.deltaInBytes) * 8 / dt / 1'000'000;
                tick.sample.upMbps = static_cast<double>(tick.deltaOutBytes) * 8 / dt / 1'000'000;
            }
        }
        lastIn_ = counters->rxBytes;
        lastOut_ = counters->txBytes;
        lastTime_ = now;
    } else {
        if (honoured) {
            // Re-resolve the override next time and measure the primary meanwhile.
            overrideIndex_ = 0;
            cachedName_.reset();
        }
        lastIn_.reset();
        lastOut_.reset();
        lastTime_ = now;
    }
    return tick;
}

} // namespace corvane
