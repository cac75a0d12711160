#include "measure/NetSampler.h"

namespace corvane {

NetSampler::NetSampler(std::unique_ptr<NetSource> source, std::unique_ptr<SampleClock> clock)
    : source_(std::move(source)), clock_(std::move(clock))
{}

void NetSampler::setOverride(const std::optional<std::string>& name)
{
    override_ = name;
    overrideIndex_ = 0;
    if (override_)
        resolveOverride();
}

void NetSampler::resolveOverride()
{
    overrideEpoch_ = source_->linkEpoch();
    overrideIndex_ = source_->indexOf(*override_);
}

void NetSampler::resetBaseline()
{
    lastIn_.reset();
    lastOut_.reset();
    lastTime_.reset();
}

uint32_t NetSampler::choose(PrimaryRoute primary, Tick& tick) const
{
    const bool honoured = override_ && overrideIndex_ != 0;
    tick.interfaceName = honoured ? override_ : primary.name;
    tick.router = std::move(primary.router);
    tick.primaryName = std::move(primary.name);
    tick.overrideHonored = honoured;
    return honoured ? overrideIndex_ : primary.index;
}

void NetSampler::follow(uint32_t index)
{
    if (index == ifIndex_)
        return;
    ifIndex_ = index;
    lastIn_.reset();
    lastOut_.reset();
}

std::optional<LinkCounters> NetSampler::read(Tick& tick)
{
    if (ifIndex_ == 0)
        return std::nullopt;
    if (std::optional<LinkCounters> counters = source_->readCounters(ifIndex_))
        return counters;
    // Whatever the reason, the device may have been re-created under the same name (VPN
    // reconnect, PPP redial, re-plug) with news of it not seen yet: look again. A pin that
    // is gone still names this tick; the next one falls back to the primary.
    uint32_t again = 0;
    Tick retry;
    if (tick.overrideHonored) {
        resolveOverride();
        again = overrideIndex_;
    } else {
        again = choose(source_->primaryInterface(), retry);
    }
    if (again == 0 || again == ifIndex_)
        return std::nullopt;
    if (!tick.overrideHonored)
        tick = std::move(retry);
    follow(again);
    return source_->readCounters(ifIndex_);
}

NetSampler::Tick NetSampler::sample()
{
    const std::chrono::nanoseconds now = clock_->now();
    PrimaryRoute primary = source_->primaryInterface();
    // An unknown override costs a lookup only when the links have changed. A pin whose name
    // has gone still names this tick, as when its reading fails, and is given up after it.
    bool pinGone = false;
    if (override_ && source_->linkEpoch() != overrideEpoch_) {
        const uint32_t previous = overrideIndex_;
        resolveOverride();
        pinGone = overrideIndex_ == 0 && previous != 0;
        if (pinGone)
            overrideIndex_ = previous;
    }

    Tick tick;
    follow(choose(std::move(primary), tick));
    const std::optional<LinkCounters> counters = read(tick);
    if (pinGone)
        overrideIndex_ = 0; // renamed away, say: the name is what the user pinned

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
        lastIn_.reset();
        lastOut_.reset();
        lastTime_ = now;
    }
    return tick;
}

} // namespace corvane
