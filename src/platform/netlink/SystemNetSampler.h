#pragma once

#include "measure/NetSampler.h"

#include <memory>

namespace corvane {

// The sampler the application uses: rtnetlink counters and a clock that counts through
// suspend.
std::unique_ptr<NetSampler> makeSystemNetSampler();

} // namespace corvane
