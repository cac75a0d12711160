#include "platform/netlink/SystemNetSampler.h"

#include "platform/BootClock.h"
#include "platform/netlink/LinuxNetSource.h"

namespace corvane {

std::unique_ptr<NetSampler> makeSystemNetSampler()
{
    return std::make_unique<NetSampler>(std::make_unique<LinuxNetSource>(),
                                        std::make_unique<BootClock>());
}

} // namespace corvane
