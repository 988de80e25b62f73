// Comparison kernels: out[i] = (a > b), one byte 0 or 1 per element, where a
// and b are each an array or a broadcast scalar. Less is Greater with its
// operands swapped, so one relation serves both operators.
#ifndef ZELVAN_ELEMENTWISE_COMPARE_KERNELS_H_
#define ZELVAN_ELEMENTWISE_COMPARE_KERNELS_H_

#include <cstddef>

#include "common/arch.h"
#include "common/prefetch.h"
#include "elementwise/blocked_loop.h"

#define ZELVAN_DECLARE_COMPARE_KERNELS()                           \
  void Greater(const int* a, const int* b, bool* out, size_t n);   \
  void Greater(const int* a, int b, bool* out, size_t n);          \
  void Greater(int a, const int* b, bool* out, size_t n);          \
  void Greater(const long* a, const long* b, bool* out, size_t n); \
  void Greater(const long* a, long b, bool* out, size_t n);        \
  void Greater(long a, const long* b, bool* out, size_t n);

namespace zelvan {
namespace portable {
ZELVAN_DECLARE_COMPARE_KERNELS()
}  // namespace portable
namespace neon {
ZELVAN_DECLARE_COMPARE_KERNELS()
}  // namespace neon
}  // namespace zelvan

#undef ZELVAN_DECLARE_COMPARE_KERNELS

namespace zelvan {

// The 64-bit array-array form is plain scalar code on every target: the
// compiler vectorises each 16-element block, and the prefetch 64 ahead keeps
// both input streams and the output in L2 at memory speed.
template <class T>
ZELVAN_KERNEL_INLINE void GreaterBlocked(const T* a, const T* b, bool* out, size_t n) {
  BlockedPrefetchLoop(
      n,
      [=](size_t i) {
        PrefetchReadL2(a + i);
        PrefetchReadL2(b + i);
        PrefetchWriteL2(out + i);
      },
      [=](size_t i) {
        for (size_t j = i; j < i + kBlock; ++j) {
          out[j] = a[j] > b[j];
        }
      },
      [=](size_t i) { out[i] = a[i] > b[i]; });
}

}  // namespace zelvan

#endif  // ZELVAN_ELEMENTWISE_COMPARE_KERNELS_H_
