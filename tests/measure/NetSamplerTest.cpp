#include "measure/NetSampler.h"

#include "measure/RingBuffer.h"
#include "support/FakeNetSource.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace corvane;
using namespace corvane::testing;
using Samples = std::vector<SpeedSample>;

namespace {

// A tick in one line: "name[ pinned over primary]: in/out B, down/up Mb/s".
std::string show(const NetSampler::Tick& t)
{
    std::ostringstream s;
    s << t.interfaceName.value_or("-");
    if (t.overrideHonored)
        s << " pinned over " << t.primaryName.value_or("-");
    s << ": " << t.deltaInBytes << '/' << t.deltaOutBytes << " B, " << t.sample.downMbps << '/'
      << t.sample.upMbps << " Mb/s";
    return s.str();
}

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
    std::string tick(double seconds, uint32_t index = 2, uint64_t in = 0, uint64_t out = 0)
    {
        net->advance(seconds);
        if (net->counters.count(index)) {
            net->counters[index].rxBytes += in;
            net->counters[index].txBytes += out;
        }
        last = sampler.sample();
        return show(last);
    }

    std::shared_ptr<FakeNet> net = std::make_shared<FakeNet>();
    NetSampler sampler{std::make_unique<FakeNetSource>(net), std::make_unique<FakeClock>(net)};
    NetSampler::Tick last;
};

TEST_F(NetSamplerTest, RatesFollowTheCountersOfOneDeviceFromASecondSample)
{
    EXPECT_EQ(tick(0), "eth0: 0/0 B, 0/0 Mb/s");
    EXPECT_EQ(last.linkMbps, 1000.0); // already read on the baseline call
    EXPECT_EQ(last.router, "192.0.2.1");
    EXPECT_EQ(tick(2, 2, 2'500'000, 250'000), "eth0: 2500000/250000 B, 10/1 Mb/s");

    // Too short an interval reports nothing but moves the baseline on.
    EXPECT_EQ(tick(0.05, 2, 5000), "eth0: 0/0 B, 0/0 Mb/s");
    EXPECT_EQ(tick(2, 2, 700), "eth0: 700/0 B, 0.0028/0 Mb/s");
    EXPECT_EQ(tick(0.051, 2, 51), "eth0: 51/0 B, 0.008/0 Mb/s");

    sampler.resetBaseline();
    EXPECT_EQ(tick(2, 2, 1000), "eth0: 0/0 B, 0/0 Mb/s");

    // A counter going backwards gives zero for that direction only.
    net->counters[2].rxBytes = 10;
    EXPECT_EQ(tick(2, 2, 0, 250'000), "eth0: 0/250000 B, 0/1 Mb/s");

    // A different or failed device starts a new baseline.
    net->primary = {"wlan0", std::nullopt};
    EXPECT_EQ(tick(2, 3, 1000, 1000), "wlan0: 0/0 B, 0/0 Mb/s");
    EXPECT_EQ(last.router, std::nullopt);
    EXPECT_EQ(tick(2, 3, 1000), "wlan0: 1000/0 B, 0.004/0 Mb/s");

    const auto saved = net->counters[3];
    net->counters.erase(3);
    tick(2);
    EXPECT_EQ(last.linkMbps, 0.0);
    net->counters[3] = saved;
    EXPECT_EQ(tick(2, 3, 5000), "wlan0: 0/0 B, 0/0 Mb/s") << "baseline again, not 4 s";

    net->primary = {std::nullopt, "192.0.2.1"};
    const int reads = net->counterReads;
    EXPECT_EQ(tick(2), "-: 0/0 B, 0/0 Mb/s");
    EXPECT_EQ(last.router, "192.0.2.1");
    EXPECT_EQ(net->counterReads, reads);
}

TEST_F(NetSamplerTest, UnknownPinIsLookedUpOnceTheLinksChangeAndHonouredOnceItAppears)
{
    sampler.setOverride("veth9");
    tick(0);
    EXPECT_EQ(tick(2), "eth0: 0/0 B, 0/0 Mb/s");
    EXPECT_EQ(net->indexLookups, 1);

    // Gone, renamed away (announced, still counting) or removed (not announced yet): the pin
    // names one more tick, then the primary is measured afresh.
    for (const bool renamed : {true, false}) {
        net->indexes["veth9"] = 9;
        net->counters[9] = {100, 100, 0};
        ++net->linkEpoch;
        EXPECT_EQ(tick(2, 9), "veth9 pinned over eth0: 0/0 B, 0/0 Mb/s");
        EXPECT_EQ(tick(2, 9, 800), "veth9 pinned over eth0: 800/0 B, 0.0032/0 Mb/s");
        net->indexes.erase("veth9");
        if (renamed)
            ++net->linkEpoch;
        else
            net->counters.erase(9);
        EXPECT_EQ(tick(2, 9, 64), renamed ? "veth9 pinned over eth0: 64/0 B, 0.000256/0 Mb/s"
                                          : "veth9 pinned over eth0: 0/0 B, 0/0 Mb/s");
        EXPECT_EQ(tick(2, 2, 64), "eth0: 0/0 B, 0/0 Mb/s") << (renamed ? "renamed" : "removed");
    }

    // Pinning or unpinning the measured device keeps its baseline.
    for (const char* pin : {"eth0", static_cast<const char*>(nullptr)}) {
        sampler.setOverride(pin ? std::optional<std::string>(pin) : std::nullopt);
        EXPECT_EQ(tick(2, 2, 64), (pin ? "eth0 pinned over eth0" : "eth0") +
                                      std::string(": 64/0 B, 0.000256/0 Mb/s"));
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
        const std::string name = pinned ? "eth0 pinned over eth0" : "eth0";
        EXPECT_EQ(tick(2), name + ": 0/0 B, 0/0 Mb/s");
        EXPECT_EQ(tick(2, index, 300), name + ": 300/0 B, 0.0012/0 Mb/s");
    }
}

// A ring of three: appends samples (n, 0) at 10 n s, checks what it keeps, then empties it.
TEST(RingBuffer, KeepsTheNewestInOrderAndForgetsAllOnReset)
{
    RingBuffer ring(3);
    const auto check = [&](const std::vector<int>& appended, const std::vector<double>& kept) {
        for (int n : appended)
            ring.append({double(n), 0}, 10.0 * n);
        Samples samples;
        std::vector<double> times;
        for (double n : kept) {
            samples.push_back({n, 0});
            times.push_back(10 * n);
        }
        EXPECT_EQ(ring.ordered(), samples);
        EXPECT_EQ(ring.orderedTimes(), times);
        EXPECT_EQ(ring.count(), int(samples.size()));
        ring.removeAll();
    };
    check({}, {});
    check({1, 2}, {1, 2});
    check({99}, {99}); // a partly filled ring leaves no old sample behind
    check({1, 2, 3, 4}, {2, 3, 4});
    check({99}, {99});
    const RingStats st(Samples{{10, 1}, {20, 3}});
    EXPECT_EQ(std::tuple(st.peakDown, st.peakUp, st.avgDown, st.avgUp),
              std::tuple(20.0, 3.0, 15.0, 2.0));
    EXPECT_EQ(RingStats(Samples{}), RingStats());
}

} // namespace
