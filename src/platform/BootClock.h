#pragma once

#include "measure/NetSource.h"

namespace corvane {

// CLOCK_BOOTTIME: keeps counting through suspend, unlike CLOCK_MONOTONIC.
class BootClock final : public SampleClock {
public:
    std::chrono::nanoseconds now() override;
};

} // namespace corvane
