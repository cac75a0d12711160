#pragma once

#include <chrono>
#include <cstdint>
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

} // namespace corvane::bench
