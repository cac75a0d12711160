// sample() in its steady state against two /proc readers that get the same answer: a fair
// plain-C one and the common iostream one. Prints the times, the ratios and heap
// allocations per sample; fails when sample() allocates.
#include "ProcNetMeter.h"
#include "measure/NetSampler.h"
#include "platform/BootClock.h"
#include "platform/netlink/LinuxNetSource.h"

#include <atomic>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <linux/if_link.h>
#include <linux/rtnetlink.h>
#include <map>
#include <net/if.h>
#include <new>
#include <sys/socket.h>
#include <unistd.h>

namespace {

std::atomic<uint64_t> allocations{0};

} // namespace

void* operator new(std::size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size)
{
    return operator new(size);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

using corvane::NetSampler;

std::map<std::string, double> allocationsPerSample;

template <typename Sample> void measure(benchmark::State& state, const char* name, Sample sample)
{
    for (int i = 0; i < 3; ++i) // warm up: socket, buffers, interface choice
        benchmark::DoNotOptimize(sample());
    const uint64_t before = allocations.load();
    for (auto _ : state)
        benchmark::DoNotOptimize(sample());
    const double perSample =
        static_cast<double>(allocations.load() - before) / static_cast<double>(state.iterations());
    state.counters["allocs/sample"] = perSample;
    allocationsPerSample[name] = perSample;
}

// As the app runs it: the sampler thread's poll loop takes the kernel's news in, so a sample
// is one RTM_GETSTATS round trip.
void BM_NetSampler(benchmark::State& state)
{
    NetSampler sampler(std::make_unique<corvane::LinuxNetSource>(),
                       std::make_unique<corvane::BootClock>());
    sampler.setOverride("lo");
    sampler.watchChanges();
    measure(state, "BM_NetSampler", [&] { return sampler.sample(); });
    if (!sampler.sample().overrideHonored)
        state.SkipWithError("lo could not be measured");
}
BENCHMARK(BM_NetSampler);

// Without a poll loop: each sample first checks the news socket itself.
void BM_NetSamplerCheckingNews(benchmark::State& state)
{
    NetSampler sampler(std::make_unique<corvane::LinuxNetSource>(),
                       std::make_unique<corvane::BootClock>());
    sampler.setOverride("lo");
    measure(state, "BM_NetSamplerCheckingNews", [&] { return sampler.sample(); });
}
BENCHMARK(BM_NetSamplerCheckingNews);

// The floor: the same RTM_GETSTATS exchange with nothing around it, one prebuilt request,
// one send and one receive per sample. No sampler can be cheaper than these two syscalls.
void BM_NetlinkFloor(benchmark::State& state)
{
    const int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    struct {
        nlmsghdr hdr;
        if_stats_msg stats;
    } request{};
    request.hdr.nlmsg_len = sizeof(request);
    request.hdr.nlmsg_type = RTM_GETSTATS;
    request.hdr.nlmsg_flags = NLM_F_REQUEST;
    request.stats.ifindex = if_nametoindex("lo");
    request.stats.filter_mask = IFLA_STATS_FILTER_BIT(IFLA_STATS_LINK_64);
    alignas(nlmsghdr) static uint8_t reply[8192];
    measure(state, "BM_NetlinkFloor", [&] {
        ++request.hdr.nlmsg_seq;
        send(fd, &request, sizeof(request), 0);
        return recv(fd, reply, sizeof(reply), 0);
    });
    close(fd);
}
BENCHMARK(BM_NetlinkFloor);

void BM_ProcNetC(benchmark::State& state)
{
    corvane::bench::CProcNetMeter meter("lo");
    measure(state, "BM_ProcNetC", [&] { return meter.sample(); });
}
BENCHMARK(BM_ProcNetC);

void BM_ProcNetBaseline(benchmark::State& state)
{
    corvane::bench::ProcNetMeter meter("lo");
    measure(state, "BM_ProcNetBaseline", [&] { return meter.sample(); });
}
BENCHMARK(BM_ProcNetBaseline);

// Keeps CPU time (user and system, which is where a netlink or /proc read spends it) beside
// wall time: on a shared machine wall time also counts the time others ran.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            ns[run.benchmark_name()] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, std::pair<double, double>> ns;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const char* const names[][2] = {
        {"BM_NetSampler", "NetSampler::sample() on lo"},
        {"BM_NetSamplerCheckingNews", "sample(), checking news itself"},
        {"BM_NetlinkFloor", "bare send+recv (the floor)"},
        {"BM_ProcNetC", "/proc, plain C (fair)"},
        {"BM_ProcNetBaseline", "/proc + iostreams baseline"},
    };
    std::printf("\n%-32s %12s %12s %14s\n", "", "wall ns", "cpu ns", "allocs/sample");
    for (const auto& [key, label] : names) {
        const auto it = reporter.ns.find(key);
        if (it != reporter.ns.end())
            std::printf("%-32s %12.0f %12.0f %14.2f\n", label, it->second.first, it->second.second,
                        allocationsPerSample[key]);
    }
    const auto ours = reporter.ns.find("BM_NetSampler");
    for (const auto& [key, label] : {std::pair{"BM_ProcNetC", "plain C / sample():"},
                                     std::pair{"BM_NetlinkFloor", "floor / sample():"},
                                     std::pair{"BM_ProcNetBaseline", "iostreams / sample():"}}) {
        const auto other = reporter.ns.find(key);
        if (ours != reporter.ns.end() && other != reporter.ns.end())
            std::printf("%-32s %11.1fx %11.1fx\n", label, other->second.first / ours->second.first,
                        other->second.second / ours->second.second);
    }
    const bool allocates = allocationsPerSample["BM_NetSampler"] != 0 ||
                           allocationsPerSample["BM_NetSamplerCheckingNews"] != 0;
    return allocates ? 1 : 0;
}
