#pragma once

namespace corvane {

// One reading: download and upload rate in megabits (10^6 bits) per second.
struct SpeedSample {
    double downMbps = 0;
    double upMbps = 0;

    static constexpr SpeedSample zero() { return {}; }
    friend constexpr bool operator==(const SpeedSample&, const SpeedSample&) = default;
};

} // namespace corvane
