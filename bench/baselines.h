// Naive per-element loops, compiled without vectorisation: the baseline
// every element-wise benchmark reports against.
#ifndef ZELVAN_BENCH_BASELINES_H_
#define ZELVAN_BENCH_BASELINES_H_

#include <cstddef>

namespace zelvan_bench {

template <class T>
void ScalarLessAA(const T* x, const T* y, bool* out, size_t n);
template <class T>
void ScalarLessAS(const T* x, T y, bool* out, size_t n);
template <class T>
void ScalarLessSA(T x, const T* y, bool* out, size_t n);
void ScalarSelect(const bool* cond, const long* x, const long* y, long* out, size_t n);
void FmodfLoop(const float* x, const float* y, float* out, size_t n);
void FmodLoop(const double* x, const double* y, double* out, size_t n);

}  // namespace zelvan_bench

#endif  // ZELVAN_BENCH_BASELINES_H_
