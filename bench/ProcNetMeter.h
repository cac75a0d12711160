#pragma once

#include <chrono>
#include <cstdint>
#include <net/if.h>
#include <netinet/in.h>
#include <string>

namespace corvane::bench {

// The way most tray meters get the same answer: re-read /proc/net/route and /proc/net/dev
// on every tick with iostreams, line by line, and parse each line with a stringstream.
class ProcNetMeter {
public:
    struct Tick {
        std::string interfaceName;
        std::string router;
        std::string primaryName;
        uint64_t rxBytes = 0;
        uint64_t txBytes = 0;
        double downMbps = 0;
        double upMbps = 0;
    };

    explicit ProcNetMeter(std::string pinned) : pinned_(std::move(pinned)) {}
    Tick sample();

private:
    std::string pinned_;
    uint64_t lastRx_ = 0;
    uint64_t lastTx_ = 0;
    std::chrono::steady_clock::time_point lastTime_{};
};

// The same answer the fair way, in plain C: open/read/close of /proc/net/route and
// /proc/net/dev into one fixed buffer, strtoul/strtoull, no iostreams, no allocation.
class CProcNetMeter {
public:
    struct Tick {
        char interfaceName[IF_NAMESIZE] = {};
        char router[INET_ADDRSTRLEN] = {};
        char primaryName[IF_NAMESIZE] = {};
        uint64_t rxBytes = 0;
        uint64_t txBytes = 0;
        double downMbps = 0;
        double upMbps = 0;
    };

    explicit CProcNetMeter(const char* pinned);
    Tick sample();

private:
    size_t readFile(const char* path);

    char pinned_[IF_NAMESIZE] = {};
    char buf_[65536];
    uint64_t lastRx_ = 0;
    uint64_t lastTx_ = 0;
    timespec lastTime_{};
};

} // namespace corvane::bench
