#include "measure/NetSampler.h"

#include "support/FakeNetSource.h"

#include <gtest/gtest.h>

using corvane::NetSampler;
using corvane::SpeedSample;
using corvane::testing::FakeClock;
using corvane::testing::FakeNet;
using corvane::testing::FakeNetSource;

namespace {

class NetSamplerTest : public ::testing::Test {
protected:
    NetSamplerTest()
    {
        net->primary = {"eth0", "192.0.2.1"};
        net->indexes = {{"eth0", 2}, {"wlan0", 3}};
        net->counters[2] = {1'000'000, 500'000, 1'000'000'000};
        net->counters[3] = {5'000'000'000, 20, 0}; // above eth0's: a kept baseline would show
    }

    // Moves the clock on, adds bytes to device `index` (if it has counters) and samples.
    NetSampler::Tick tick(double seconds, uint32_t index = 2, uint64_t in = 0, uint64_t out = 0)
    {
        net->advance(seconds);
        if (net->counters.count(index)) {
            net->counters[index].rxBytes += in;
            net->counters[index].txBytes += out;
        }
        return sampler.sample();
    }

    std::shared_ptr<FakeNet> net = std::make_shared<FakeNet>();
    NetSampler sampler{std::make_unique<FakeNetSource>(net), std::make_unique<FakeClock>(net)};
};

TEST_F(NetSamplerTest, RatesFollowTheCountersFromASecondSample)
{
    const auto first = sampler.sample();
    EXPECT_EQ(first.sample, SpeedSample::zero());
    EXPECT_EQ(first.linkMbps, 1000.0); // already read on the baseline call
    EXPECT_EQ(first.interfaceName, "eth0");
    EXPECT_EQ(first.router, "192.0.2.1");
    EXPECT_FALSE(first.overrideHonored);

    const auto second = tick(2, 2, 2'500'000, 250'000);
    EXPECT_DOUBLE_EQ(second.sample.downMbps, 10.0);
    EXPECT_DOUBLE_EQ(second.sample.upMbps, 1.0);
    EXPECT_EQ(second.deltaInBytes, 2'500'000u);
    EXPECT_EQ(second.deltaOutBytes, 250'000u);

    // Too short an interval reports nothing but moves the baseline on.
    EXPECT_EQ(tick(0.05, 2, 5000).sample, SpeedSample::zero());
    EXPECT_EQ(tick(2, 2, 700).deltaInBytes, 700u);
    EXPECT_EQ(tick(0.051, 2, 51).deltaInBytes, 51u);

    sampler.resetBaseline();
    EXPECT_EQ(tick(2, 2, 1000).deltaInBytes, 0u);

    // A counter going backwards gives zero for that direction only.
    net->counters[2].rxBytes = 10;
    const auto back = tick(2, 2, 0, 250'000);
    EXPECT_EQ(back.deltaInBytes, 0u);
    EXPECT_EQ(back.sample.downMbps, 0.0);
    EXPECT_DOUBLE_EQ(back.sample.upMbps, 1.0);
}

TEST_F(NetSamplerTest, ADifferentOrFailedDeviceStartsANewBaseline)
{
    sampler.sample();
    net->primary = {"wlan0", std::nullopt};
    const auto moved = tick(2, 3, 1000, 1000);
    EXPECT_EQ(moved.interfaceName, "wlan0");
    EXPECT_EQ(moved.router, std::nullopt);
    EXPECT_EQ(moved.deltaInBytes, 0u);
    EXPECT_EQ(tick(2, 3, 1000).deltaInBytes, 1000u);

    const auto saved = net->counters[3];
    net->counters.erase(3);
    EXPECT_EQ(tick(2).linkMbps, 0.0);
    net->counters[3] = saved;
    EXPECT_EQ(tick(2, 3, 5000).deltaInBytes, 0u) << "baseline again, not a 4 s delta";

    net->primary = {std::nullopt, "192.0.2.1"};
    const int reads = net->counterReads;
    const auto none = tick(2);
    EXPECT_EQ(none.interfaceName, std::nullopt);
    EXPECT_EQ(none.router, "192.0.2.1");
    EXPECT_EQ(net->counterReads, reads);
}

TEST_F(NetSamplerTest, UnknownPinIsLookedUpOnceTheLinksChangeAndHonouredOnceItAppears)
{
    sampler.setOverride("veth9");
    EXPECT_FALSE(sampler.sample().overrideHonored);
    EXPECT_EQ(sampler.sample().interfaceName, "eth0");
    EXPECT_EQ(net->indexLookups, 1);

    net->indexes["veth9"] = 9;
    net->counters[9] = {100, 100, 0};
    ++net->linkEpoch;
    const auto pinned = tick(2, 9);
    EXPECT_EQ(pinned.interfaceName, "veth9");
    EXPECT_TRUE(pinned.overrideHonored);
    EXPECT_EQ(pinned.primaryName, "eth0");
    EXPECT_EQ(pinned.deltaInBytes, 0u); // new baseline
    EXPECT_EQ(tick(2, 9, 800).deltaInBytes, 800u);

    // Gone: the pin still names one empty tick, then the primary is measured afresh.
    net->indexes.erase("veth9");
    net->counters.erase(9);
    const auto gone = tick(2);
    EXPECT_EQ(gone.interfaceName, "veth9");
    EXPECT_EQ(gone.sample, SpeedSample::zero());
    const auto back = tick(2, 2, 64);
    EXPECT_EQ(back.interfaceName, "eth0");
    EXPECT_FALSE(back.overrideHonored);
    EXPECT_EQ(back.deltaInBytes, 0u);

    // Pinning or unpinning the measured device keeps its baseline.
    for (const char* pin : {"eth0", static_cast<const char*>(nullptr)}) {
        sampler.setOverride(pin ? std::optional<std::string>(pin) : std::nullopt);
        EXPECT_EQ(tick(2, 2, 64).deltaInBytes, 64u) << (pin ? pin : "unpinned");
    }
}

// A VPN reconnect, PPP redial or re-plug between two ticks: the same name, a new index and
// counters from 0, whether or not the source has announced the change yet.
TEST_F(NetSamplerTest, ARecreatedDeviceIsMeasuredFromTheNextTick)
{
    uint32_t index = 2;
    for (const auto& [pinned, announced] :
         {std::pair(false, true), std::pair(true, true), std::pair(true, false)}) {
        SCOPED_TRACE(::testing::Message() << "pinned " << pinned << " announced " << announced);
        sampler.setOverride(pinned ? std::optional<std::string>("eth0") : std::nullopt);
        sampler.sample();
        net->counters.erase(index);
        net->indexes["eth0"] = ++index;
        net->counters[index] = {};
        net->linkEpoch += announced;
        const auto t = tick(2);
        EXPECT_EQ(t.interfaceName, "eth0");
        EXPECT_EQ(t.overrideHonored, pinned);
        EXPECT_EQ(t.deltaInBytes, 0u);
        EXPECT_EQ(tick(2, index, 300).deltaInBytes, 300u);
    }
}

} // namespace
