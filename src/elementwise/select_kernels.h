// Select kernels: out[i] = cond[i] ? x[i] : y[i] for 64-bit values, where
// any non-zero condition byte counts as true. out may be x or y itself.
#ifndef ZELVAN_ELEMENTWISE_SELECT_KERNELS_H_
#define ZELVAN_ELEMENTWISE_SELECT_KERNELS_H_

#include <cstddef>

#include "common/arch.h"

#define ZELVAN_DECLARE_SELECT_KERNELS() \
  void Select(const unsigned char* cond, const long* x, const long* y, long* out, size_t n);

namespace zelvan {
namespace portable {
ZELVAN_DECLARE_SELECT_KERNELS()
}  // namespace portable
namespace neon {
ZELVAN_DECLARE_SELECT_KERNELS()
}  // namespace neon

}  // namespace zelvan

#undef ZELVAN_DECLARE_SELECT_KERNELS

#endif  // ZELVAN_ELEMENTWISE_SELECT_KERNELS_H_
