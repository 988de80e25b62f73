#include "sleef_peer.h"

#include <immintrin.h>
#include <sleef.h>

namespace zelvan_bench {
namespace {

enum class Width { kAvx512, kAvx2, kSse2 };

Width Widest() {
  static const Width width = __builtin_cpu_supports("avx512f")                                 ? Width::kAvx512
                             : __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") ? Width::kAvx2
                                                                                               : Width::kSse2;
  return width;
}

}  // namespace

const char* SleefWidth() {
  switch (Widest()) {
    case Width::kAvx512:
      return "AVX-512";
    case Width::kAvx2:
      return "AVX2";
    case Width::kSse2:
      break;
  }
  return "SSE2";
}

void SleefFmod(const float* x, const float* y, float* out, size_t n) {
  switch (Widest()) {
    case Width::kAvx512:
      return avx512::SleefFmod(x, y, out, n);
    case Width::kAvx2:
      return avx2::SleefFmod(x, y, out, n);
    case Width::kSse2:
      break;
  }
  for (size_t i = 0; i + 4 <= n; i += 4) {
    _mm_storeu_ps(out + i, Sleef_fmodf4_sse2(_mm_loadu_ps(x + i), _mm_loadu_ps(y + i)));
  }
}

void SleefFmod(const double* x, const double* y, double* out, size_t n) {
  switch (Widest()) {
    case Width::kAvx512:
      return avx512::SleefFmod(x, y, out, n);
    case Width::kAvx2:
      return avx2::SleefFmod(x, y, out, n);
    case Width::kSse2:
      break;
  }
  for (size_t i = 0; i + 2 <= n; i += 2) {
    _mm_storeu_pd(out + i, Sleef_fmodd2_sse2(_mm_loadu_pd(x + i), _mm_loadu_pd(y + i)));
  }
}

}  // namespace zelvan_bench
