#include "measure/NetSampler.h"

#include "support/FakeNetSource.h"

#include <gtest/gtest.h>

using corvane::LinkCounters;
using corvane::NetSampler;
using corvane::testing::FakeClock;
using corvane::testing::FakeNet;
using corvane::testing::FakeNetSource;

namespace {

class NetSamplerTest : public ::testing::Test {
protected:
    NetSamplerTest()
        : net(std::make_shared<FakeNet>()),
          sampler(std::make_unique<FakeNetSource>(net), std::make_unique<FakeClock>(net))
    {
        net->primary = {"eth0", "192.0.2.1"};
        net->indexes = {{"eth0", 2}, {"wlan0", 3}};
        net->counters[2] = {1'000'000, 500'000, 1'000'000'000};
        net->counters[3] = {10, 20, 0};
    }

    void addBytes(uint32_t index, uint64_t in, uint64_t out)
    {
        net->counters[index].rxBytes += in;
        net->counters[index].txBytes += out;
    }

    std::shared_ptr<FakeNet> net;
    NetSampler sampler;
};

} // namespace

TEST_F(NetSamplerTest, FirstSampleIsZeroThenRatesFollowTheCounters)
{
    const auto first = sampler.sample();
    EXPECT_EQ(first.sample, corvane::SpeedSample::zero());
    EXPECT_EQ(first.deltaInBytes, 0u);
    EXPECT_EQ(first.linkMbps, 1000.0); // already read on the baseline call
    EXPECT_EQ(first.interfaceName, "eth0");
    EXPECT_EQ(first.primaryName, "eth0");
    EXPECT_EQ(first.router, "192.0.2.1");
    EXPECT_FALSE(first.overrideHonored);

    net->advance(2);
    addBytes(2, 2'500'000, 250'000);
    const auto second = sampler.sample();
    EXPECT_DOUBLE_EQ(second.sample.downMbps, 10.0);
    EXPECT_DOUBLE_EQ(second.sample.upMbps, 1.0);
    EXPECT_EQ(second.deltaInBytes, 2'500'000u);
    EXPECT_EQ(second.deltaOutBytes, 250'000u);

    sampler.resetBaseline();
    net->advance(2);
    addBytes(2, 1000, 1000);
    EXPECT_EQ(sampler.sample().deltaInBytes, 0u);
}

TEST_F(NetSamplerTest, ShortIntervalsReportNothingButMoveTheBaseline)
{
    sampler.sample();
    net->advance(0.05);
    addBytes(2, 5000, 0);
    const auto quick = sampler.sample();
    EXPECT_EQ(quick.deltaInBytes, 0u);
    EXPECT_EQ(quick.sample, corvane::SpeedSample::zero());

    net->advance(2);
    addBytes(2, 700, 0);
    EXPECT_EQ(sampler.sample().deltaInBytes, 700u); // the 5000 bytes are in no tick

    net->advance(0.051);
    addBytes(2, 51, 0);
    EXPECT_EQ(sampler.sample().deltaInBytes, 51u);
}

TEST_F(NetSamplerTest, CounterGoingBackwardsGivesZeroForThatDirectionOnly)
{
    sampler.sample();
    net->advance(2);
    net->counters[2].rxBytes = 10;
    net->counters[2].txBytes += 250'000;
    const auto t = sampler.sample();
    EXPECT_EQ(t.deltaInBytes, 0u);
    EXPECT_EQ(t.sample.downMbps, 0.0);
    EXPECT_EQ(t.deltaOutBytes, 250'000u);
    EXPECT_DOUBLE_EQ(t.sample.upMbps, 1.0);
}

TEST_F(NetSamplerTest, PrimaryChangeStartsANewBaseline)
{
    sampler.sample();
    net->primary = {"wlan0", std::nullopt};
    net->advance(2);
    addBytes(3, 1000, 1000);
    const auto t = sampler.sample();
    EXPECT_EQ(t.interfaceName, "wlan0");
    EXPECT_EQ(t.router, std::nullopt);
    EXPECT_EQ(t.deltaInBytes, 0u);

    net->advance(2);
    addBytes(3, 1000, 0);
    EXPECT_EQ(sampler.sample().deltaInBytes, 1000u);
}

TEST_F(NetSamplerTest, UnknownOverrideIsRetriedAndHonouredOnceItAppears)
{
    sampler.setOverride("veth9");
    auto t = sampler.sample();
    EXPECT_EQ(t.interfaceName, "eth0");
    EXPECT_FALSE(t.overrideHonored);
    sampler.sample();
    EXPECT_EQ(net->indexLookups, 1); // looked up again only once the links change

    net->advance(2);
    net->indexes["veth9"] = 9;
    net->counters[9] = {100, 100, 0};
    ++net->linkEpoch;
    t = sampler.sample();
    EXPECT_EQ(t.interfaceName, "veth9");
    EXPECT_TRUE(t.overrideHonored);
    EXPECT_EQ(t.primaryName, "eth0");
    EXPECT_EQ(t.deltaInBytes, 0u); // new baseline

    net->advance(2);
    addBytes(9, 800, 0);
    EXPECT_EQ(sampler.sample().deltaInBytes, 800u);
}

TEST_F(NetSamplerTest, VanishedOverrideFallsBackAndCostsNothingUntilTheLinksChange)
{
    net->indexes["veth9"] = 9;
    net->counters[9] = {100, 100, 0};
    sampler.setOverride("veth9");
    sampler.sample();

    net->indexes.erase("veth9");
    net->counters.erase(9);
    net->advance(2);
    auto t = sampler.sample();
    EXPECT_EQ(t.interfaceName, "veth9");
    EXPECT_TRUE(t.overrideHonored);
    EXPECT_EQ(t.sample, corvane::SpeedSample::zero());
    EXPECT_EQ(t.linkMbps, 0.0);

    net->advance(2);
    t = sampler.sample();
    EXPECT_EQ(t.interfaceName, "eth0");
    EXPECT_FALSE(t.overrideHonored);
    EXPECT_EQ(t.deltaInBytes, 0u);

    net->primary = {};
    const int lookups = net->indexLookups, reads = net->counterReads;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(sampler.sample().interfaceName, std::nullopt);
    EXPECT_EQ(net->indexLookups, lookups);
    EXPECT_EQ(net->counterReads, reads);
}

TEST_F(NetSamplerTest, PinningTheMeasuredDeviceKeepsItsBaseline)
{
    sampler.sample();
    for (const std::optional<std::string>& pin :
         {std::optional<std::string>("eth0"), std::optional<std::string>()}) {
        sampler.setOverride(pin);
        net->advance(2);
        addBytes(2, 64, 0);
        const auto t = sampler.sample();
        EXPECT_EQ(t.deltaInBytes, 64u);
        EXPECT_EQ(t.overrideHonored, pin.has_value());
    }
}

// A VPN reconnect, PPP redial or re-plug between two ticks: the same name, a new index and
// counters from 0, whether or not the source has announced the change yet.
TEST(NetSamplerRecreatedTest, TheNewDeviceIsMeasuredFromTheNextTick)
{
    struct Case {
        const char* name;
        bool pinned;
        bool announced;
    };
    for (const Case& c : {Case{"Primary", false, true}, Case{"PinnedAnnounced", true, true},
                          Case{"PinnedUnannounced", true, false}}) {
        SCOPED_TRACE(c.name);
        auto net = std::make_shared<FakeNet>();
        net->primary = {"wg0", std::nullopt};
        net->indexes = {{"wg0", 5}};
        net->counters[5] = {7000, 7000, 0};
        NetSampler sampler(std::make_unique<FakeNetSource>(net), std::make_unique<FakeClock>(net));
        if (c.pinned)
            sampler.setOverride("wg0");
        sampler.sample();

        net->counters.erase(5);
        net->indexes["wg0"] = 6;
        net->counters[6] = {};
        net->linkEpoch += c.announced;
        net->advance(2);
        const auto t = sampler.sample();
        EXPECT_EQ(t.interfaceName, "wg0");
        EXPECT_EQ(t.overrideHonored, c.pinned);
        EXPECT_EQ(t.deltaInBytes, 0u);

        net->advance(2);
        net->counters[6].rxBytes += 300;
        EXPECT_EQ(sampler.sample().deltaInBytes, 300u);
    }
}

TEST_F(NetSamplerTest, NoInterfaceAtAllGivesAnEmptyZeroTick)
{
    net->primary = {std::nullopt, "192.0.2.1"};
    const auto t = sampler.sample();
    EXPECT_EQ(t.interfaceName, std::nullopt);
    EXPECT_EQ(t.router, "192.0.2.1");
    EXPECT_EQ(t.primaryName, std::nullopt);
    EXPECT_EQ(net->counterReads, 0);
}

TEST_F(NetSamplerTest, FailedReadClearsTheBaseline)
{
    sampler.sample();
    const LinkCounters saved = net->counters[2];
    net->counters.erase(2);
    net->advance(2);
    EXPECT_EQ(sampler.sample().linkMbps, 0.0);
    net->counters[2] = saved;
    addBytes(2, 5000, 0);
    net->advance(2);
    EXPECT_EQ(sampler.sample().deltaInBytes, 0u); // baseline again, not a 4 s delta
}
