#pragma once

#include "platform/SystemEvents.h"

#include <memory>

namespace corvane {

// The watchers the application uses, on the process's system and session buses. Call after
// the QCoreApplication exists. Without buses they simply stay quiet (and low power off).
std::unique_ptr<SleepEvents> makeSystemSleepEvents();
std::unique_ptr<PowerState> makeSystemPowerState();

} // namespace corvane
