// Built with -mavx512f; called only where the CPU has it.
#include <immintrin.h>
#include <sleef.h>

#include "sleef_peer.h"

namespace zelvan_bench {
namespace avx512 {

void SleefFmod(const float* x, const float* y, float* out, size_t n) {
  for (size_t i = 0; i + 16 <= n; i += 16) {
    _mm512_storeu_ps(out + i, Sleef_fmodf16_avx512f(_mm512_loadu_ps(x + i), _mm512_loadu_ps(y + i)));
  }
}

void SleefFmod(const double* x, const double* y, double* out, size_t n) {
  for (size_t i = 0; i + 8 <= n; i += 8) {
    _mm512_storeu_pd(out + i, Sleef_fmodd8_avx512f(_mm512_loadu_pd(x + i), _mm512_loadu_pd(y + i)));
  }
}

}  // namespace avx512
}  // namespace zelvan_bench
