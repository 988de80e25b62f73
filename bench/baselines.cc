#include "baselines.h"

#include <cmath>

namespace zelvan_bench {

template <class T>
void ScalarLessAA(const T* x, const T* y, bool* out, size_t n) {
  for (size_t i = 0; i < n; ++i) out[i] = x[i] < y[i];
}
template <class T>
void ScalarLessAS(const T* x, T y, bool* out, size_t n) {
  for (size_t i = 0; i < n; ++i) out[i] = x[i] < y;
}
template <class T>
void ScalarLessSA(T x, const T* y, bool* out, size_t n) {
  for (size_t i = 0; i < n; ++i) out[i] = x < y[i];
}
template void ScalarLessAA<int>(const int*, const int*, bool*, size_t);
template void ScalarLessAA<long>(const long*, const long*, bool*, size_t);
template void ScalarLessAS<int>(const int*, int, bool*, size_t);
template void ScalarLessAS<long>(const long*, long, bool*, size_t);
template void ScalarLessSA<int>(int, const int*, bool*, size_t);
template void ScalarLessSA<long>(long, const long*, bool*, size_t);

void ScalarSelect(const bool* cond, const long* x, const long* y, long* out, size_t n) {
  for (size_t i = 0; i < n; ++i) out[i] = cond[i] ? x[i] : y[i];
}

void FmodfLoop(const float* x, const float* y, float* out, size_t n) {
  for (size_t i = 0; i < n; ++i) out[i] = std::fmod(x[i], y[i]);
}
void FmodLoop(const double* x, const double* y, double* out, size_t n) {
  for (size_t i = 0; i < n; ++i) out[i] = std::fmod(x[i], y[i]);
}

}  // namespace zelvan_bench
