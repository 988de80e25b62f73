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

// The SSE2 loop is the caller's, since its intrinsics differ per type.
template <class T, class Sse2>
void Dispatch(const T* x, const T* y, T* out, size_t n, Sse2 sse2) {
  switch (Widest()) {
    case Width::kAvx512:
      return avx512::SleefFmod(x, y, out, n);
    case Width::kAvx2:
      return avx2::SleefFmod(x, y, out, n);
    case Width::kSse2:
      break;
  }
  sse2();
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
  Dispatch(x, y, out, n, [=] {
    for (size_t i = 0; i + 4 <= n; i += 4) {
      _mm_storeu_ps(out + i, Sleef_fmodf4_sse2(_mm_loadu_ps(x + i), _mm_loadu_ps(y + i)));
    }
  });
}

void SleefFmod(const double* x, const double* y, double* out, size_t n) {
  Dispatch(x, y, out, n, [=] {
    for (size_t i = 0; i + 2 <= n; i += 2) {
      _mm_storeu_pd(out + i, Sleef_fmodd2_sse2(_mm_loadu_pd(x + i), _mm_loadu_pd(y + i)));
    }
  });
}

}  // namespace zelvan_bench
