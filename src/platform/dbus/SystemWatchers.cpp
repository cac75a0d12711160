#include "platform/dbus/SystemWatchers.h"

#include "platform/dbus/DBusPowerState.h"
#include "platform/dbus/DBusSleepEvents.h"

namespace corvane {

std::unique_ptr<SleepEvents> makeSystemSleepEvents()
{
    return std::make_unique<DBusSleepEvents>();
}

std::unique_ptr<PowerState> makeSystemPowerState()
{
    return std::make_unique<DBusPowerState>();
}

} // namespace corvane
