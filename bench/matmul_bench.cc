// Column-major float Matmul (tiled over the pool's thread count) beside one
// cblas_sgemm call over the whole matrices with OpenBLAS using every core.
// Counter GFLOPS = 2mnk per second.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "matmul/cblas.h"
#include "zelvan/zelvan.h"

namespace {

struct Shape {
  int m, n, k;
};

Shape ShapeOf(const benchmark::State& state) {
  return {static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), static_cast<int>(state.range(2))};
}

void Shapes(benchmark::internal::Benchmark* b) {
  for (int s : {64, 128, 256, 512, 1024, 2048}) b->Args({s, s, s});
  b->Args({8192, 64, 512});  // tall-skinny
  b->Args({64, 8192, 512});  // short-wide
}

void Finish(benchmark::State& state, const Shape& s) {
  state.counters["GFLOPS"] = benchmark::Counter(2.0 * s.m * s.n * s.k * static_cast<double>(state.iterations()) / 1e9,
                                                benchmark::Counter::kIsRate);
}

template <class T>
struct Operands {
  std::vector<T> a, b, c;
  explicit Operands(const Shape& s)
      : a(static_cast<size_t>(s.m) * s.k), b(static_cast<size_t>(s.k) * s.n), c(static_cast<size_t>(s.m) * s.n) {
    std::mt19937 rng(1);
    std::uniform_real_distribution<T> u(-1, 1);
    for (T& v : a) v = u(rng);
    for (T& v : b) v = u(rng);
  }
};

void BM_MatmulColumnMajorFloat(benchmark::State& state) {
  const Shape s = ShapeOf(state);
  Operands<float> x(s);
  zelvan::MatMulParams<float> p{102, 111, 111, s.m, s.n, s.k, 1.0f, s.m, s.k, 0.0f, s.m};
  for (auto _ : state) {
    if (zelvan::Matmul<float>(x.a.data(), x.b.data(), x.c.data(), p) != 0) state.SkipWithError("Matmul failed");
    benchmark::ClobberMemory();
  }
  Finish(state, s);
}

void BM_OpenBlasSgemm(benchmark::State& state) {
  const Shape s = ShapeOf(state);
  Operands<float> x(s);
  for (auto _ : state) {
    cblas_sgemm(102, 111, 111, s.m, s.n, s.k, 1.0f, x.a.data(), s.m, x.b.data(), s.k, 0.0f, x.c.data(), s.m);
    benchmark::ClobberMemory();
  }
  Finish(state, s);
}

void BM_MatmulDouble(benchmark::State& state) {
  const Shape s = ShapeOf(state);
  Operands<double> x(s);
  zelvan::MatMulParams<double> p{102, 111, 111, s.m, s.n, s.k, 1.0, s.m, s.k, 0.0, s.m};
  for (auto _ : state) {
    if (zelvan::Matmul<double>(x.a.data(), x.b.data(), x.c.data(), p) != 0) state.SkipWithError("Matmul failed");
    benchmark::ClobberMemory();
  }
  Finish(state, s);
}

void BM_OpenBlasDgemm(benchmark::State& state) {
  const Shape s = ShapeOf(state);
  Operands<double> x(s);
  for (auto _ : state) {
    cblas_dgemm(102, 111, 111, s.m, s.n, s.k, 1.0, x.a.data(), s.m, x.b.data(), s.k, 0.0, x.c.data(), s.m);
    benchmark::ClobberMemory();
  }
  Finish(state, s);
}

BENCHMARK(BM_MatmulDouble)->Apply(Shapes)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenBlasDgemm)->Apply(Shapes)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MatmulColumnMajorFloat)->Apply(Shapes)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenBlasSgemm)->Apply(Shapes)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
