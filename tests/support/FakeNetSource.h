#pragma once

#include "measure/NetSource.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace corvane::testing {

// Scriptable network state behind FakeNetSource and FakeClock. Tests keep it while the
// sampler owns the fakes; a lock makes it safe to edit while a sampler thread reads it.
// Each counter read can add bytes (a script first, then a fixed amount) and each clock read
// can move time on, so that every tick of a running loop carries a known rate.
struct FakeNet {
    std::mutex mutex;
    PrimaryRoute primary;
    std::map<std::string, uint32_t> indexes;   // name -> index; absent means unknown
    uint64_t linkEpoch = 0;                    // bump to announce a change of the links
    std::map<uint32_t, LinkCounters> counters; // index -> counters; absent means failure
    std::chrono::nanoseconds clock{std::chrono::seconds(1000)};
    std::chrono::nanoseconds clockStep{0}; // added on every clock read
    std::deque<uint64_t> inScript;         // received bytes per read, before inPerRead
    uint64_t inPerRead = 0;
    uint64_t outPerRead = 0;
    int indexLookups = 0;
    int counterReads = 0;
    std::function<void()> onNextRead; // runs once, on the sampler thread, inside a read

    void advance(double seconds)
    {
        clock += std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::duration<double>(seconds));
    }
    // Per-read bytes for the given rates over two-second ticks.
    void setRates(double downMbps, double upMbps)
    {
        std::lock_guard lock(mutex);
        inPerRead = static_cast<uint64_t>(downMbps * 1e6 / 8 * 2);
        outPerRead = static_cast<uint64_t>(upMbps * 1e6 / 8 * 2);
    }
    template <typename F> void edit(F&& f)
    {
        std::lock_guard lock(mutex);
        f(*this);
    }
};

class FakeNetSource final : public NetSource {
public:
    explicit FakeNetSource(std::shared_ptr<FakeNet> net) : net_(std::move(net)) {}
    PrimaryRoute primaryInterface() override
    {
        std::lock_guard lock(net_->mutex);
        PrimaryRoute route = net_->primary;
        if (route.name && route.index == 0 && net_->indexes.count(*route.name))
            route.index = net_->indexes[*route.name];
        return route;
    }
    uint64_t linkEpoch() override
    {
        std::lock_guard lock(net_->mutex);
        return net_->linkEpoch;
    }
    uint32_t indexOf(const std::string& name) override
    {
        std::lock_guard lock(net_->mutex);
        ++net_->indexLookups;
        auto it = net_->indexes.find(name);
        return it == net_->indexes.end() ? 0 : it->second;
    }
    std::optional<LinkCounters> readCounters(uint32_t ifIndex) override
    {
        std::lock_guard lock(net_->mutex);
        ++net_->counterReads;
        if (auto hook = std::exchange(net_->onNextRead, nullptr))
            hook();
        auto it = net_->counters.find(ifIndex);
        if (it == net_->counters.end())
            return std::nullopt;
        uint64_t in = net_->inPerRead;
        if (!net_->inScript.empty()) {
            in = net_->inScript.front();
            net_->inScript.pop_front();
        }
        it->second.rxBytes += in;
        it->second.txBytes += net_->outPerRead;
        return it->second;
    }

private:
    std::shared_ptr<FakeNet> net_;
};

class FakeClock final : public SampleClock {
public:
    explicit FakeClock(std::shared_ptr<FakeNet> net) : net_(std::move(net)) {}
    std::chrono::nanoseconds now() override
    {
        std::lock_guard lock(net_->mutex);
        net_->clock += net_->clockStep;
        return net_->clock;
    }

private:
    std::shared_ptr<FakeNet> net_;
};

} // namespace corvane::testing
