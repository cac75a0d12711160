// sample() in its steady state against the /proc-and-iostreams way of getting the same
// answer. Prints both times, their ratio and heap allocations per sample.
#include "ProcNetMeter.h"
#include "measure/NetSampler.h"
#include "platform/BootClock.h"
#include "platform/netlink/LinuxNetSource.h"

#include <atomic>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <new>

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

void BM_NetSampler(benchmark::State& state)
{
    NetSampler sampler(std::make_unique<corvane::LinuxNetSource>(),
                       std::make_unique<corvane::BootClock>());
    sampler.setOverride("lo");
    measure(state, "BM_NetSampler", [&] { return sampler.sample(); });
    if (!sampler.sample().overrideHonored)
        state.SkipWithError("lo could not be measured");
}
BENCHMARK(BM_NetSampler);

void BM_ProcNetBaseline(benchmark::State& state)
{
    corvane::bench::ProcNetMeter meter("lo");
    measure(state, "BM_ProcNetBaseline", [&] { return meter.sample(); });
}
BENCHMARK(BM_ProcNetBaseline);

class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            nsPerSample[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> nsPerSample;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto ours = reporter.nsPerSample.find("BM_NetSampler");
    const auto proc = reporter.nsPerSample.find("BM_ProcNetBaseline");
    if (ours == reporter.nsPerSample.end() || proc == reporter.nsPerSample.end())
        return 0;
    std::printf("\nNetSampler::sample() on lo:     %10.0f ns/sample, %.2f allocations/sample\n",
                ours->second, allocationsPerSample["BM_NetSampler"]);
    std::printf("/proc + iostreams baseline:     %10.0f ns/sample, %.2f allocations/sample\n",
                proc->second, allocationsPerSample["BM_ProcNetBaseline"]);
    std::printf("baseline / sample():            %10.1fx\n", proc->second / ours->second);
    return allocationsPerSample["BM_NetSampler"] == 0 ? 0 : 1;
}
