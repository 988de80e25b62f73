// Comparison kernels: out[i] = (a > b), one byte 0 or 1 per element, where a
// and b are each an array or a broadcast scalar. Less is Greater with its
// operands swapped, so one relation serves both operators.
#ifndef ZELVAN_ELEMENTWISE_COMPARE_KERNELS_H_
#define ZELVAN_ELEMENTWISE_COMPARE_KERNELS_H_

#include <cstddef>

#include "common/arch.h"

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

#endif  // ZELVAN_ELEMENTWISE_COMPARE_KERNELS_H_
