# sampler benchmark: bench_sampler prints ns and heap allocations per sample
add_executable(bench_sampler SamplerBench.cpp ProcNetMeter.cpp)
target_link_libraries(bench_sampler PRIVATE corvane_netlink benchmark::benchmark)
