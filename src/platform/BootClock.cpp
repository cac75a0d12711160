#include "platform/BootClock.h"

#include <ctime>

namespace corvane {

std::chrono::nanoseconds BootClock::now()
{
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

} // namespace corvane
