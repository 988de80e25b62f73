// Select kernels: out[i] = cond[i] ? x[i] : y[i] for 64-bit values, where
// any non-zero condition byte counts as true. out may be x or y itself.
#ifndef ZELVAN_ELEMENTWISE_SELECT_KERNELS_H_
#define ZELVAN_ELEMENTWISE_SELECT_KERNELS_H_

#include <cstddef>

#include "common/arch.h"
#include "common/prefetch.h"
#include "elementwise/blocked_loop.h"

#define ZELVAN_DECLARE_SELECT_KERNELS() \
  void Select(const unsigned char* cond, const long* x, const long* y, long* out, size_t n);

namespace zelvan {
namespace portable {
ZELVAN_DECLARE_SELECT_KERNELS()
}  // namespace portable
namespace neon {
ZELVAN_DECLARE_SELECT_KERNELS()
}  // namespace neon

// The loop every variant shares: blocks of 16 that prefetch all four
// streams 64 elements ahead, computed by block(i); then the remainder in
// arithmetic form, which needs no mask at all.
template <class Block>
ZELVAN_KERNEL_INLINE void SelectLoop(const unsigned char* cond, const long* x, const long* y, long* out, size_t n,
                                     Block block) {
  BlockedPrefetchLoop(
      n,
      [=](size_t i) {
        PrefetchReadL2(cond + i);
        PrefetchReadL2(x + i);
        PrefetchReadL2(y + i);
        PrefetchWriteL2(out + i);
      },
      block,
      [=](size_t i) {
        const long c = cond[i] != 0;
        out[i] = (x[i] * c) | (y[i] * (c ^ 1));
      });
}

}  // namespace zelvan

#undef ZELVAN_DECLARE_SELECT_KERNELS

#endif  // ZELVAN_ELEMENTWISE_SELECT_KERNELS_H_
