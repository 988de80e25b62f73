// FloorMod (float and double, all three forms) beside a loop of fmodf/fmod
// (the exact baseline) and SLEEF's widest vector fmod on this machine.
// "small" quotients stay below 2^24; "huge" ones exceed 2^53.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "baselines.h"
#include "bench_util.h"
#include "sleef_peer.h"
#include "zelvan/zelvan.h"

namespace {

enum Form { kAA, kAS, kSA };
enum Quotients { kSmall, kHuge };

template <class T>
struct Data {
  std::vector<T> x, y, out;
  Data(size_t n, Quotients q) : x(n), y(n), out(n) {
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> u(-1000, 1000);
    for (size_t i = 0; i < n; ++i) {
      x[i] = static_cast<T>(q == kSmall ? u(rng) : u(rng) * 1e25);
      y[i] = static_cast<T>(q == kSmall ? u(rng) / 64 + 1e-3 : u(rng) / 64 + 1e-3);
    }
    // The scalar forms use element 0 as the scalar.
  }
};

template <class T, Form F, Quotients Q>
void BM_ZelvanFloorMod(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  Data<T> d(n, Q);
  for (auto _ : state) {
    if constexpr (F == kAA) zelvan::FloorMod(d.x.data(), d.y.data(), d.out.data(), n);
    if constexpr (F == kAS) zelvan::FloorMod(d.x.data(), d.y[0], d.out.data(), n);
    if constexpr (F == kSA) zelvan::FloorMod(d.x[0], d.y.data(), d.out.data(), n);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <class T, Form F, Quotients Q>
void BM_LibmFmod(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  Data<T> d(n, Q);
  if constexpr (F == kAS) std::fill(d.y.begin(), d.y.end(), d.y[0]);
  if constexpr (F == kSA) std::fill(d.x.begin(), d.x.end(), d.x[0]);
  for (auto _ : state) {
    if constexpr (sizeof(T) == 4) zelvan_bench::FmodfLoop(d.x.data(), d.y.data(), d.out.data(), n);
    if constexpr (sizeof(T) == 8) zelvan_bench::FmodLoop(d.x.data(), d.y.data(), d.out.data(), n);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <class T, Form F, Quotients Q>
void BM_SleefFmod(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  Data<T> d(n, Q);
  if constexpr (F == kAS) std::fill(d.y.begin(), d.y.end(), d.y[0]);
  if constexpr (F == kSA) std::fill(d.x.begin(), d.x.end(), d.x[0]);
  for (auto _ : state) {
    zelvan_bench::SleefFmod(d.x.data(), d.y.data(), d.out.data(), n);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetLabel(zelvan_bench::SleefWidth());
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (long n : {1L << 12, 1L << 16, 1L << 22}) b->Arg(n);
}

#define ZELVAN_FLOORMOD_BENCHMARKS(T, F, Q)            \
  BENCHMARK(BM_ZelvanFloorMod<T, F, Q>)->Apply(Sizes); \
  BENCHMARK(BM_LibmFmod<T, F, Q>)->Apply(Sizes);       \
  BENCHMARK(BM_SleefFmod<T, F, Q>)->Apply(Sizes);

ZELVAN_FLOORMOD_BENCHMARKS(float, kAA, kSmall)
ZELVAN_FLOORMOD_BENCHMARKS(float, kAS, kSmall)
ZELVAN_FLOORMOD_BENCHMARKS(float, kSA, kSmall)
ZELVAN_FLOORMOD_BENCHMARKS(double, kAA, kSmall)
ZELVAN_FLOORMOD_BENCHMARKS(double, kAS, kSmall)
ZELVAN_FLOORMOD_BENCHMARKS(double, kSA, kSmall)
ZELVAN_FLOORMOD_BENCHMARKS(float, kAA, kHuge)
ZELVAN_FLOORMOD_BENCHMARKS(double, kAA, kHuge)

}  // namespace

BENCHMARK_MAIN();
