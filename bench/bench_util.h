// Shared pieces of the benchmark programs.
#ifndef ZELVAN_BENCH_BENCH_UTIL_H_
#define ZELVAN_BENCH_BENCH_UTIL_H_

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace zelvan_bench {

// Element counts from cache-resident to far beyond the last-level cache.
inline void ElementCounts(benchmark::internal::Benchmark* b) {
  for (long n : {1L << 10, 1L << 12, 1L << 16, 1L << 20, 1L << 24, 1L << 26}) b->Arg(n);
}

// Reports traffic as bytes/s (bytes read plus bytes written per call).
inline void SetTraffic(benchmark::State& state, double bytesPerCall) {
  state.counters["bytes_per_second"] =
      benchmark::Counter(bytesPerCall * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The machine's streaming limit for the same traffic: a copy moving half
// the bytes reads and writes them all once.
inline void CopyKernel(benchmark::State& state, double bytesPerElement) {
  const size_t bytes = static_cast<size_t>(static_cast<double>(state.range(0)) * bytesPerElement / 2);
  std::vector<char> src(bytes, 1), dst(bytes, 0);
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), bytes);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  SetTraffic(state, static_cast<double>(2 * bytes));
}

}  // namespace zelvan_bench

#endif  // ZELVAN_BENCH_BENCH_UTIL_H_
