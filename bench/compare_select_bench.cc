// Less/Greater (every form, int and long) and Select: zelvan beside a
// scalar loop built without vectorisation, the equivalent Eigen array
// expression, and a copy kernel moving the same number of bytes. Compares
// also run beside a read kernel that only reads their inputs. Select
// also runs beside a streams kernel: its four arrays read and written the
// same way, with no selection at all.
#include <benchmark/benchmark.h>

#include <Eigen/Core>
#include <random>
#include <vector>

#include "baselines.h"
#include "bench_util.h"
#include "common/arch.h"
#include "zelvan/zelvan.h"

namespace {

using zelvan_bench::SetTraffic;

enum Form { kAA, kAS, kSA };

template <class T>
struct CompareData {
  std::vector<T> x, y;
  std::vector<char> out;
  explicit CompareData(size_t n) : x(n), y(n), out(n) {
    std::mt19937_64 rng(1);
    for (size_t i = 0; i < n; ++i) {
      x[i] = static_cast<T>(rng());
      y[i] = static_cast<T>(rng());
    }
  }
  bool* o() { return reinterpret_cast<bool*>(out.data()); }
};

template <class T>
double CompareBytes(Form form) {
  return (form == kAA ? 2.0 : 1.0) * sizeof(T) + 1;
}

template <class T, Form F>
void BM_ZelvanLess(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  CompareData<T> d(n);
  for (auto _ : state) {
    if constexpr (F == kAA) zelvan::Less(d.x.data(), d.y.data(), d.o(), n);
    if constexpr (F == kAS) zelvan::Less(d.x.data(), T(3), d.o(), n);
    if constexpr (F == kSA) zelvan::Less(T(3), d.y.data(), d.o(), n);
    benchmark::ClobberMemory();
  }
  SetTraffic(state, CompareBytes<T>(F) * static_cast<double>(n));
}

template <class T, Form F>
void BM_ZelvanGreater(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  CompareData<T> d(n);
  for (auto _ : state) {
    if constexpr (F == kAA) zelvan::Greater(d.x.data(), d.y.data(), d.o(), n);
    if constexpr (F == kAS) zelvan::Greater(d.x.data(), T(3), d.o(), n);
    if constexpr (F == kSA) zelvan::Greater(T(3), d.y.data(), d.o(), n);
    benchmark::ClobberMemory();
  }
  SetTraffic(state, CompareBytes<T>(F) * static_cast<double>(n));
}

template <class T, Form F>
void BM_ScalarLess(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  CompareData<T> d(n);
  for (auto _ : state) {
    if constexpr (F == kAA) zelvan_bench::ScalarLessAA(d.x.data(), d.y.data(), d.o(), n);
    if constexpr (F == kAS) zelvan_bench::ScalarLessAS(d.x.data(), T(3), d.o(), n);
    if constexpr (F == kSA) zelvan_bench::ScalarLessSA(T(3), d.y.data(), d.o(), n);
    benchmark::ClobberMemory();
  }
  SetTraffic(state, CompareBytes<T>(F) * static_cast<double>(n));
}

template <class T, Form F>
void BM_EigenLess(benchmark::State& state) {
  using Array = Eigen::Array<T, Eigen::Dynamic, 1>;
  using Bools = Eigen::Array<bool, Eigen::Dynamic, 1>;
  const Eigen::Index n = state.range(0);
  CompareData<T> d(static_cast<size_t>(n));
  Eigen::Map<const Array> x(d.x.data(), n), y(d.y.data(), n);
  Eigen::Map<Bools> out(d.o(), n);
  for (auto _ : state) {
    if constexpr (F == kAA) out = x < y;
    if constexpr (F == kAS) out = x < T(3);
    if constexpr (F == kSA) out = T(3) < y;
    benchmark::ClobberMemory();
  }
  SetTraffic(state, CompareBytes<T>(F) * static_cast<double>(n));
}

struct SelectData {
  std::vector<char> cond;
  std::vector<long> x, y, out;
  explicit SelectData(size_t n) : cond(n), x(n), y(n), out(n) {
    std::mt19937_64 rng(2);
    for (size_t i = 0; i < n; ++i) {
      cond[i] = static_cast<char>(rng() % 2);
      x[i] = static_cast<long>(rng());
      y[i] = static_cast<long>(rng());
    }
  }
  bool* c() { return reinterpret_cast<bool*>(cond.data()); }
};
constexpr double kSelectBytes = 1 + 3 * sizeof(long);

void BM_ZelvanSelect(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  SelectData d(n);
  for (auto _ : state) {
    zelvan::Select(d.c(), d.x.data(), d.y.data(), d.out.data(), n);
    benchmark::ClobberMemory();
  }
  SetTraffic(state, kSelectBytes * static_cast<double>(n));
}

void BM_ScalarSelect(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  SelectData d(n);
  for (auto _ : state) {
    zelvan_bench::ScalarSelect(d.c(), d.x.data(), d.y.data(), d.out.data(), n);
    benchmark::ClobberMemory();
  }
  SetTraffic(state, kSelectBytes * static_cast<double>(n));
}

void BM_EigenSelect(benchmark::State& state) {
  using Array = Eigen::Array<long, Eigen::Dynamic, 1>;
  using Bools = Eigen::Array<bool, Eigen::Dynamic, 1>;
  const Eigen::Index n = state.range(0);
  SelectData d(static_cast<size_t>(n));
  Eigen::Map<const Bools> cond(d.c(), n);
  Eigen::Map<const Array> x(d.x.data(), n), y(d.y.data(), n);
  Eigen::Map<Array> out(d.out.data(), n);
  for (auto _ : state) {
    out = cond.select(x, y);
    benchmark::ClobberMemory();
  }
  SetTraffic(state, kSelectBytes * static_cast<double>(n));
}

// out = x ^ y while the condition bytes are read into a reduction: what the
// memory system allows Select's access pattern, whatever the selection costs.
ZELVAN_PORTABLE_CLONES __attribute__((noinline)) unsigned char Streams(const unsigned char* cond, const long* x,
                                                                       const long* y, long* out, size_t n) {
  unsigned char seen = 0;
  for (size_t i = 0; i < n; i += 64) {
    for (size_t j = i; j < i + 64 && j < n; ++j) out[j] = x[j] ^ y[j];
    for (size_t j = i; j < i + 64 && j < n; ++j) seen |= cond[j];
  }
  return seen;
}

void BM_StreamsForSelect(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  SelectData d(n);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        Streams(reinterpret_cast<const unsigned char*>(d.cond.data()), d.x.data(), d.y.data(), d.out.data(), n));
    benchmark::ClobberMemory();
  }
  SetTraffic(state, kSelectBytes * static_cast<double>(n));
}

// Reads what a compare reads, into a reduction, and writes nothing: one
// core's read bandwidth for a compare's inputs.
template <class T>
ZELVAN_PORTABLE_CLONES __attribute__((noinline)) T ReadInputs(const T* x, const T* y, size_t n) {
  T seen = 0;
  for (size_t i = 0; i < n; ++i) seen ^= x[i];
  if (y != nullptr) {
    for (size_t i = 0; i < n; ++i) seen ^= y[i];
  }
  return seen;
}

template <class T, Form F>
void BM_ReadForCompare(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  CompareData<T> d(n);
  for (auto _ : state) {
    benchmark::DoNotOptimize(ReadInputs<T>(d.x.data(), F == kAA ? d.y.data() : nullptr, n));
    benchmark::ClobberMemory();
  }
  SetTraffic(state, CompareBytes<T>(F) * static_cast<double>(n));
}

template <class T, Form F>
void BM_CopyForCompare(benchmark::State& state) {
  zelvan_bench::CopyKernel(state, CompareBytes<T>(F));
}
void BM_CopyForSelect(benchmark::State& state) { zelvan_bench::CopyKernel(state, kSelectBytes); }

#define ZELVAN_COMPARE_BENCHMARKS(T, F)                                   \
  BENCHMARK(BM_ZelvanLess<T, F>)->Apply(zelvan_bench::ElementCounts);     \
  BENCHMARK(BM_ZelvanGreater<T, F>)->Apply(zelvan_bench::ElementCounts);  \
  BENCHMARK(BM_ScalarLess<T, F>)->Apply(zelvan_bench::ElementCounts);     \
  BENCHMARK(BM_EigenLess<T, F>)->Apply(zelvan_bench::ElementCounts);      \
  BENCHMARK(BM_CopyForCompare<T, F>)->Apply(zelvan_bench::ElementCounts); \
  BENCHMARK(BM_ReadForCompare<T, F>)->Apply(zelvan_bench::ElementCounts);

ZELVAN_COMPARE_BENCHMARKS(int, kAA)
ZELVAN_COMPARE_BENCHMARKS(int, kAS)
ZELVAN_COMPARE_BENCHMARKS(int, kSA)
ZELVAN_COMPARE_BENCHMARKS(long, kAA)
ZELVAN_COMPARE_BENCHMARKS(long, kAS)
ZELVAN_COMPARE_BENCHMARKS(long, kSA)
BENCHMARK(BM_ZelvanSelect)->Apply(zelvan_bench::ElementCounts);
BENCHMARK(BM_ScalarSelect)->Apply(zelvan_bench::ElementCounts);
BENCHMARK(BM_EigenSelect)->Apply(zelvan_bench::ElementCounts);
BENCHMARK(BM_CopyForSelect)->Apply(zelvan_bench::ElementCounts);
BENCHMARK(BM_StreamsForSelect)->Apply(zelvan_bench::ElementCounts);

}  // namespace

BENCHMARK_MAIN();
