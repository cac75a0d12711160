# sampler benchmark: bench_sampler prints ns and heap allocations per sample
add_executable(bench_sampler SamplerBench.cpp ProcNetMeter.cpp)
target_link_libraries(bench_sampler PRIVATE corvane_platform benchmark::benchmark)

# soak: a million scripted ticks through NetSampler checked against an oracle (--short: 20,000)
add_executable(soak_sampler SamplerSoak.cpp)
target_link_libraries(soak_sampler PRIVATE corvane_core)
if(CORVANE_BUILD_TESTS)
  add_test(NAME soak_sampler_short COMMAND soak_sampler --short)
endif()
