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

    void setOverride(const std::optional<std::string>& name);
    void resetBaseline();
    Tick sample();

private:
    std::unique_ptr<NetSource> source_;
    std::unique_ptr<SampleClock> clock_;

    std::optional<std::string> cachedName_;
    // Linux interface indexes are 32-bit; keep all of them.
    uint32_t ifIndex_ = 0;
    std::optional<uint64_t> lastIn_;
    std::optional<uint64_t> lastOut_;
    std::optional<std::chrono::nanoseconds> lastTime_;
    std::optional<std::string> override_;
    uint32_t overrideIndex_ = 0;
};

} // namespace corvane
