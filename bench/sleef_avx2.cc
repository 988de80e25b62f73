// Built with -mavx2 -mfma; called only where the CPU has them.
#include <immintrin.h>
#include <sleef.h>

#include "sleef_peer.h"

namespace zelvan_bench {
namespace avx2 {

void SleefFmod(const float* x, const float* y, float* out, size_t n) {
  for (size_t i = 0; i + 8 <= n; i += 8) {
    _mm256_storeu_ps(out + i, Sleef_fmodf8_avx2(_mm256_loadu_ps(x + i), _mm256_loadu_ps(y + i)));
  }
}

void SleefFmod(const double* x, const double* y, double* out, size_t n) {
  for (size_t i = 0; i + 4 <= n; i += 4) {
    _mm256_storeu_pd(out + i, Sleef_fmodd4_avx2(_mm256_loadu_pd(x + i), _mm256_loadu_pd(y + i)));
  }
}

}  // namespace avx2
}  // namespace zelvan_bench
