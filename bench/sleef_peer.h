// SLEEF's vector fmod, the FloorMod peer, at the widest width this CPU runs.
// Each width sits in its own file compiled for that width, so nothing built
// for AVX-512 runs on a CPU without it.
#ifndef ZELVAN_BENCH_SLEEF_PEER_H_
#define ZELVAN_BENCH_SLEEF_PEER_H_

#include <cstddef>

namespace zelvan_bench {

// "AVX-512", "AVX2" or "SSE2".
const char* SleefWidth();

// out[i] = Sleef fmod(x[i], y[i]) over the whole vectors in n.
void SleefFmod(const float* x, const float* y, float* out, size_t n);
void SleefFmod(const double* x, const double* y, double* out, size_t n);

namespace avx512 {
void SleefFmod(const float* x, const float* y, float* out, size_t n);
void SleefFmod(const double* x, const double* y, double* out, size_t n);
}  // namespace avx512

namespace avx2 {
void SleefFmod(const float* x, const float* y, float* out, size_t n);
void SleefFmod(const double* x, const double* y, double* out, size_t n);
}  // namespace avx2

}  // namespace zelvan_bench

#endif  // ZELVAN_BENCH_SLEEF_PEER_H_
