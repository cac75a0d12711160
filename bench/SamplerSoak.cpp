// Soak: a million ticks (20,000 with --short) through NetSampler over a scripted network
// whose devices reset their counters, wrap at 2^64, vanish and come back under the same or
// a new index, announced or not, while the primary and the pin move about. Every tick's
// byte deltas must equal an oracle computed from the bytes that really flowed, not from
// the counters; prints the totals, RSS and open descriptors at start and end.
#include "measure/NetSampler.h"

#include <array>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <string>
#include <vector>

using namespace corvane;

namespace {

// splitmix64: small, fast and the same on every machine, so a failure can be replayed.
struct Random {
    uint64_t state = 0x5eed;
    uint64_t next()
    {
        uint64_t z = (state += 0x9e3779b97f4a7c15);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9;
        z = (z ^ (z >> 27)) * 0x94d049bb133111eb;
        return z ^ (z >> 31);
    }
    bool chance(double p) { return static_cast<double>(next() >> 11) * 0x1p-53 < p; }
    uint64_t below(uint64_t n) { return next() % n; }
};

struct Direction {
    uint64_t counter = 0;    // what the kernel shows; wraps
    uint64_t flowed = 0;     // bytes that really passed since the device was made
    uint64_t generation = 0; // moves on when the counter restarts or wraps
};

struct Device {
    std::string name;
    uint32_t index = 0; // 0: absent
    std::array<Direction, 2> dir{};
};

struct Read {
    uint32_t index = 0;
    bool ok = false;
    std::array<Direction, 2> dir{};
    std::string name;
};

struct World {
    std::vector<Device> devices;
    int primary = -1; // device number, -1 none
    uint64_t epoch = 0;
    uint32_t nextIndex = 10;
    std::chrono::nanoseconds clock{std::chrono::seconds(1)};
    std::vector<Read> reads; // this tick's readings, in order

    Device* byIndex(uint32_t index)
    {
        for (Device& d : devices)
            if (index != 0 && d.index == index)
                return &d;
        return nullptr;
    }
};

class ScriptedSource final : public NetSource {
public:
    explicit ScriptedSource(World& w) : w_(w) {}
    PrimaryRoute primaryInterface() override
    {
        if (w_.primary < 0 || w_.devices[size_t(w_.primary)].index == 0)
            return {};
        const Device& d = w_.devices[size_t(w_.primary)];
        return {d.name, "192.0.2.1", d.index};
    }
    uint32_t indexOf(const std::string& name) override
    {
        for (const Device& d : w_.devices)
            if (d.name == name)
                return d.index;
        return 0;
    }
    std::optional<LinkCounters> readCounters(uint32_t ifIndex) override
    {
        const Device* d = w_.byIndex(ifIndex);
        w_.reads.push_back({ifIndex, d != nullptr, d ? d->dir : std::array<Direction, 2>{},
                            d ? d->name : std::string()});
        if (!d)
            return std::nullopt;
        return LinkCounters{d->dir[0].counter, d->dir[1].counter, 0};
    }
    uint64_t linkEpoch() override { return w_.epoch; }

private:
    World& w_;
};

class ScriptedClock final : public SampleClock {
public:
    explicit ScriptedClock(World& w) : w_(w) {}
    std::chrono::nanoseconds now() override { return w_.clock; }

private:
    World& w_;
};

void flow(Direction& d, uint64_t bytes)
{
    const uint64_t before = d.counter;
    d.counter += bytes; // wraps like the kernel's
    d.flowed += bytes;
    if (d.counter < before)
        ++d.generation;
}

void restart(Device& d, Random& r)
{
    for (Direction& dir : d.dir) {
        // Some come back just below 2^64, so that their traffic wraps soon.
        dir.counter = r.chance(0.3) ? UINT64_MAX - r.below(50'000'000) : r.below(1000);
        ++dir.generation;
    }
}

long statusKb(const char* key)
{
    FILE* f = std::fopen("/proc/self/status", "r");
    char line[256];
    long kb = -1;
    while (f && std::fgets(line, sizeof(line), f))
        if (std::strncmp(line, key, std::strlen(key)) == 0)
            std::sscanf(line + std::strlen(key), "%ld", &kb);
    if (f)
        std::fclose(f);
    return kb;
}

int openFds()
{
    int n = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (const dirent* e = readdir(dir))
            n += e->d_name[0] != '.';
        closedir(dir);
        --n; // the listing itself
    }
    return n;
}

} // namespace

int main(int argc, char** argv)
{
    const bool isShort = argc > 1 && std::strcmp(argv[1], "--short") == 0;
    const long ticks = isShort ? 20'000 : 1'000'000;
    std::printf("start: RSS %ld kB, %d open descriptors\n", statusKb("VmRSS:"), openFds());

    World w;
    Random r;
    for (const char* name : {"eth0", "wlan0", "wg0", "ppp0"})
        w.devices.push_back({name, w.nextIndex++, {}});
    w.primary = 0;
    NetSampler sampler(std::make_unique<ScriptedSource>(w), std::make_unique<ScriptedClock>(w));

    const char* const pins[] = {"eth0", "wg0", "ppp0", "veth9"};
    uint64_t totals[2] = {}, expected[2] = {};
    Read last; // the baseline as the oracle sees it: the last good reading, if ok
    bool baseline = false;
    std::chrono::nanoseconds lastTime{};
    long mismatches = 0, stuck = 0, events = 0;

    for (long t = 0; t < ticks; ++t) {
        // The world moves on between two ticks.
        const std::chrono::nanoseconds step =
            r.chance(0.01) ? std::chrono::milliseconds(30) : std::chrono::seconds(2);
        w.clock += step;
        for (Device& d : w.devices)
            if (d.index != 0)
                for (Direction& dir : d.dir)
                    flow(dir, r.below(2'000'000));
        const uint32_t primaryBefore = w.primary >= 0 ? w.devices[size_t(w.primary)].index : 0;
        bool changed = false;
        if (r.chance(0.01)) {
            Device& d = w.devices[r.below(w.devices.size())];
            const uint32_t old = d.index;
            const int kind = static_cast<int>(r.below(4));
            if (kind == 0 && old != 0) { // counters reset in place
                for (Direction& dir : d.dir) {
                    dir.counter = 0;
                    ++dir.generation;
                }
            } else if (kind == 1) { // vanishes, or comes back under a new index
                d.index = old != 0 ? 0 : w.nextIndex++;
                restart(d, r);
                changed = true;
            } else if (kind == 2 && old == 0) { // comes back under its old index
                d.index = static_cast<uint32_t>(&d - w.devices.data()) + 10;
                restart(d, r);
                changed = true;
            } else if (kind == 3 && old != 0) { // re-created between two ticks
                d.index = w.nextIndex++;
                restart(d, r);
                changed = true;
            }
            // Now and then the news are lost; a failed reading must be enough.
            if (changed && r.chance(0.8))
                ++w.epoch;
            ++events;
        }
        if (r.chance(0.005))
            w.primary = static_cast<int>(r.below(w.devices.size() + 1)) - 1;
        if (r.chance(0.002)) {
            const uint64_t pick = r.below(std::size(pins) + 2);
            sampler.setOverride(pick < std::size(pins) ? std::optional<std::string>(pins[pick])
                                                       : std::nullopt);
        }

        w.reads.clear();
        const NetSampler::Tick tick = sampler.sample();

        // Oracle: bytes that flowed on the device read now since it was read last tick, when
        // that was the same device, its counter did not restart or wrap meanwhile, and more
        // than 0.05 s passed.
        const Read* good = nullptr;
        for (const Read& read : w.reads)
            if (read.ok)
                good = &read;
        uint64_t want[2] = {};
        const double dt = std::chrono::duration<double>(w.clock - lastTime).count();
        if (good && baseline && last.index == good->index && dt > NetSampler::minIntervalSeconds)
            for (int i = 0; i < 2; ++i)
                if (good->dir[i].generation == last.dir[i].generation)
                    want[i] = good->dir[i].flowed - last.dir[i].flowed;
        if (tick.deltaInBytes != want[0] || tick.deltaOutBytes != want[1] ||
            (good && tick.interfaceName != good->name)) {
            if (++mismatches <= 5)
                std::printf("tick %ld: got %" PRIu64 "/%" PRIu64 ", want %" PRIu64 "/%" PRIu64
                            " on %s\n",
                            t, tick.deltaInBytes, tick.deltaOutBytes, want[0], want[1],
                            tick.interfaceName ? tick.interfaceName->c_str() : "-");
        }
        // Following the primary, a device that stayed put is read every tick.
        const uint32_t primaryNow = w.primary >= 0 ? w.devices[size_t(w.primary)].index : 0;
        if (!tick.overrideHonored && primaryNow != 0 && primaryNow == primaryBefore &&
            (!good || good->index != primaryNow))
            ++stuck;

        totals[0] += tick.deltaInBytes;
        totals[1] += tick.deltaOutBytes;
        expected[0] += want[0];
        expected[1] += want[1];
        baseline = good != nullptr;
        if (good)
            last = *good;
        lastTime = w.clock;
    }

    std::printf("%ld ticks, %ld device events: received %" PRIu64 " (oracle %" PRIu64
                "), sent %" PRIu64 " (oracle %" PRIu64 ")\n",
                ticks, events, totals[0], expected[0], totals[1], expected[1]);
    std::printf("mismatched ticks %ld, ticks stuck off the primary %ld\n", mismatches, stuck);
    std::printf("end: RSS %ld kB, %d open descriptors\n", statusKb("VmRSS:"), openFds());
    return mismatches == 0 && stuck == 0 && totals[0] == expected[0] && totals[1] == expected[1]
               ? 0
               : 1;
}
