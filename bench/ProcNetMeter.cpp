#include "ProcNetMeter.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <time.h>
#include <unistd.h>

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

CProcNetMeter::CProcNetMeter(const char* pinned)
{
    std::strncpy(pinned_, pinned, sizeof(pinned_) - 1);
}

size_t CProcNetMeter::readFile(const char* path)
{
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    size_t len = 0;
    if (fd >= 0) {
        for (ssize_t n;
             len < sizeof(buf_) - 1 && (n = read(fd, buf_ + len, sizeof(buf_) - 1 - len)) > 0;)
            len += static_cast<size_t>(n);
        close(fd);
    }
    buf_[len] = '\0';
    return len;
}

CProcNetMeter::Tick CProcNetMeter::sample()
{
    Tick tick;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);

    // Iface Destination Gateway Flags RefCnt Use Metric ...: hex addresses, decimal counts.
    readFile("/proc/net/route");
    unsigned long bestMetric = ULONG_MAX;
    for (char* line = std::strchr(buf_, '\n'); line && *++line; line = std::strchr(line, '\n')) {
        char* end = line + std::strcspn(line, "\t");
        const size_t nameLen = static_cast<size_t>(end - line);
        const unsigned long destination = std::strtoul(end, &end, 16);
        const unsigned long gateway = std::strtoul(end, &end, 16);
        for (int field = 0; field < 3; ++field) // flags, refcnt, use
            std::strtoul(end, &end, 16);
        const unsigned long metric = std::strtoul(end, &end, 10);
        if (destination != 0 || metric >= bestMetric || nameLen >= IF_NAMESIZE)
            continue;
        bestMetric = metric;
        std::memcpy(tick.primaryName, line, nameLen);
        tick.primaryName[nameLen] = '\0';
        tick.router[0] = '\0';
        if (gateway != 0) // little-endian hex
            std::snprintf(tick.router, sizeof(tick.router), "%lu.%lu.%lu.%lu", gateway & 0xff,
                          (gateway >> 8) & 0xff, (gateway >> 16) & 0xff, (gateway >> 24) & 0xff);
    }
    std::memcpy(tick.interfaceName, pinned_[0] ? pinned_ : tick.primaryName, IF_NAMESIZE);

    // Two title lines, then "  name: rx_bytes packets errs drop fifo frame compressed
    // multicast tx_bytes ...".
    readFile("/proc/net/dev");
    char* line = std::strchr(buf_, '\n');
    line = line ? std::strchr(line + 1, '\n') : nullptr;
    for (; line && *++line; line = std::strchr(line, '\n')) {
        char* colon = std::strchr(line, ':');
        if (!colon)
            break;
        char* name = line + std::strspn(line, " ");
        if (static_cast<size_t>(colon - name) != std::strlen(tick.interfaceName) ||
            std::strncmp(name, tick.interfaceName, static_cast<size_t>(colon - name)) != 0)
            continue;
        char* end = colon + 1;
        tick.rxBytes = std::strtoull(end, &end, 10);
        for (int field = 0; field < 7; ++field)
            std::strtoull(end, &end, 10);
        tick.txBytes = std::strtoull(end, &end, 10);
        break;
    }

    const double dt = static_cast<double>(now.tv_sec - lastTime_.tv_sec) +
                      static_cast<double>(now.tv_nsec - lastTime_.tv_nsec) / 1e9;
    if (lastTime_.tv_sec != 0 && dt > 0.05) {
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
