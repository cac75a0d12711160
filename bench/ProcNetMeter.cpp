#include "ProcNetMeter.h"

#include <algorithm>
#include <climits>
#include <fstream>
#include <sstream>

namespace corvane::bench {

ProcNetMeter::Tick ProcNetMeter::sample()
{
    Tick tick;
    const auto now = std::chrono::steady_clock::now();

    std::ifstream routes("/proc/net/route");
    std::string line;
    std::getline(routes, line); // column titles
    unsigned bestMetric = UINT_MAX;
    while (std::getline(routes, line)) {
        std::istringstream fields(line);
        std::string iface, destination, gateway, flags, refcnt, use;
        unsigned metric = 0;
        fields >> iface >> destination >> gateway >> flags >> refcnt >> use >> metric;
        if (destination != "00000000" || metric >= bestMetric)
            continue;
        bestMetric = metric;
        tick.primaryName = iface;
        const unsigned long gw = std::stoul(gateway, nullptr, 16); // little-endian hex
        std::ostringstream text;
        text << (gw & 0xff) << '.' << ((gw >> 8) & 0xff) << '.' << ((gw >> 16) & 0xff) << '.'
             << ((gw >> 24) & 0xff);
        tick.router = gw ? text.str() : std::string();
    }
    tick.interfaceName = pinned_.empty() ? tick.primaryName : pinned_;

    std::ifstream dev("/proc/net/dev");
    std::getline(dev, line);
    std::getline(dev, line);
    while (std::getline(dev, line)) {
        std::replace(line.begin(), line.end(), ':', ' ');
        std::istringstream fields(line);
        std::string name;
        uint64_t v[9] = {};
        fields >> name;
        for (uint64_t& x : v)
            fields >> x;
        if (name != tick.interfaceName)
            continue;
        tick.rxBytes = v[0];
        tick.txBytes = v[8];
    }

    const double dt = std::chrono::duration<double>(now - lastTime_).count();
    if (lastTime_.time_since_epoch().count() != 0 && dt > 0.05) {
        tick.downMbps =
            static_cast<double>(tick.rxBytes - std::min(tick.rxBytes, lastRx_)) * 8 / dt / 1e6;
        tick.upMbps =
            static_cast<double>(tick.txBytes - std::min(tick.txBytes, lastTx_)) * 8 / dt / 1e6;
    }
    lastRx_ = tick.rxBytes;
    lastTx_ = tick.txBytes;
    lastTime_ = now;
    return tick;
}

} // namespace corvane::bench
