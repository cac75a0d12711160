#pragma once

#include "measure/NetSource.h"

#include <map>
#include <memory>

namespace corvane::testing {

// Shared, scriptable state behind FakeNetSource and FakeClock: tests keep the state
// while the sampler owns the fakes.
struct FakeNet {
    PrimaryRoute primary;
    std::map<std::string, uint32_t> indexes;   // name -> index; absent means unknown
    std::map<uint32_t, LinkCounters> counters; // index -> counters; absent means failure
    std::chrono::nanoseconds clock{std::chrono::seconds(1000)};
    int indexLookups = 0;
    int counterReads = 0;

    void advance(double seconds)
    {
        clock += std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::duration<double>(seconds));
    }
};

class FakeNetSource final : public NetSource {
public:
    explicit FakeNetSource(std::shared_ptr<FakeNet> net) : net_(std::move(net)) {}
    PrimaryRoute primaryInterface() override { return net_->primary; }
    uint32_t indexOf(const std::string& name) override
    {
        ++net_->indexLookups;
        auto it = net_->indexes.find(name);
        return it == net_->indexes.end() ? 0 : it->second;
    }
    std::optional<LinkCounters> readCounters(uint32_t ifIndex) override
    {
        ++net_->counterReads;
        auto it = net_->counters.find(ifIndex);
        if (it == net_->counters.end())
            return std::nullopt;
        return it->second;
    }

private:
    std::shared_ptr<FakeNet> net_;
};

class FakeClock final : public SampleClock {
public:
    explicit FakeClock(std::shared_ptr<FakeNet> net) : net_(std::move(net)) {}
    std::chrono::nanoseconds now() override { return net_->clock; }

private:
    std::shared_ptr<FakeNet> net_;
};

} // namespace corvane::testing
