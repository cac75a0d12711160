#pragma once

#include "measure/NetSource.h"
#include "measure/SpeedSample.h"

#include <memory>

namespace corvane {

// Turns cumulative byte counters into rates. Not thread-safe: the owner runs its
// operations one at a time (the model does so on a dedicated thread).
class NetSampler {
public:
    struct Tick {
        SpeedSample sample;
        uint64_t deltaInBytes = 0;
        uint64_t deltaOutBytes = 0;
        std::optional<std::string> interfaceName;
        std::optional<std::string> router;
        double linkMbps = 0;
        std::optional<std::string> primaryName;
        bool overrideHonored = false;

        friend bool operator==(const Tick&, const Tick&) = default;
    };

    // Intervals this short or shorter report nothing; the baseline still moves.
    static constexpr double minIntervalSeconds = 0.05;

    NetSampler(std::unique_ptr<NetSource> source, std::unique_ptr<SampleClock> clock);

    // Pinning the device already measured keeps its baseline; any other starts a new one.
    void setOverride(const std::optional<std::string>& name);
    void resetBaseline();
    Tick sample();

    // Kernel change notifications for the owner's poll loop (NetSource::watchChanges()).
    int watchChanges() { return source_->watchChanges(); }
    void takeChanges() { source_->takeChanges(); }

private:
    void resolveOverride();
    // Fills the tick's names from `primary` and the override; the index to measure.
    uint32_t choose(PrimaryRoute primary, Tick& tick) const;
    void follow(uint32_t index);
    // The counters of the device followed, looking it up again when reading it fails.
    std::optional<LinkCounters> read(Tick& tick);

    std::unique_ptr<NetSource> source_;
    std::unique_ptr<SampleClock> clock_;

    // The device the baseline belongs to, by index (0: none): a device re-created under
    // the same name is another device.
    uint32_t ifIndex_ = 0;
    std::optional<uint64_t> lastIn_;
    std::optional<uint64_t> lastOut_;
    std::optional<std::chrono::nanoseconds> lastTime_;
    std::optional<std::string> override_;
    uint32_t overrideIndex_ = 0;
    uint64_t overrideEpoch_ = 0; // the source's link epoch when override_ was looked up
};

} // namespace corvane
