# sampler benchmark
