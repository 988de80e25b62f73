// AArch64 Advanced SIMD Select: a bitwise select (bsl) on 2-lane vectors
// under masks widened from the condition bytes.
#include <arm_neon.h>

#include <cstdint>

#include "common/prefetch.h"
#include "elementwise/blocked_loop.h"
#include "elementwise/select_kernels.h"

namespace zelvan {
namespace neon {
namespace {

// Blocks of 16 that prefetch all four streams 64 elements ahead, computed
// by block(i); then the remainder in arithmetic form, which needs no mask.
template <class Block>
ZELVAN_KERNEL_INLINE void SelectLoop(const unsigned char* cond, const long* x, const long* y, long* out, size_t n,
                                     Block block) {
  BlockedPrefetchLoop(
      n,
      [=](size_t i) ZELVAN_LAMBDA_INLINE {
        PrefetchReadL2(cond + i);
        PrefetchReadL2(x + i);
        PrefetchReadL2(y + i);
        PrefetchWriteL2(out + i);
      },
      block,
      [=](size_t i) ZELVAN_LAMBDA_INLINE {
        const long c = cond[i] != 0;
        out[i] = (x[i] * c) | (y[i] * (c ^ 1));
      });
}

}  // namespace

void Select(const unsigned char* cond, const long* x, const long* y, long* out, size_t n) {
  SelectLoop(cond, x, y, out, n, [=](size_t i) ZELVAN_LAMBDA_INLINE {
    const uint8x16_t c = vld1q_u8(cond + i);
    const uint16x8_t halves[2] = {vmovl_u8(vget_low_u8(c)), vmovl_u8(vget_high_u8(c))};
    for (int h = 0; h < 2; ++h) {
      const uint32x4_t quarters[2] = {vmovl_u16(vget_low_u16(halves[h])), vmovl_u16(vget_high_u16(halves[h]))};
      for (int q = 0; q < 2; ++q) {
        const uint64x2_t pairs[2] = {vmovl_u32(vget_low_u32(quarters[q])), vmovl_u32(vget_high_u32(quarters[q]))};
        for (int p = 0; p < 2; ++p) {
          const size_t j = i + static_cast<size_t>(h * 8 + q * 4 + p * 2);
          // Any non-zero byte selects x.
          const uint64x2_t mask = vtstq_u64(pairs[p], pairs[p]);
          const int64x2_t xv = vld1q_s64(reinterpret_cast<const int64_t*>(x + j));
          const int64x2_t yv = vld1q_s64(reinterpret_cast<const int64_t*>(y + j));
          vst1q_s64(reinterpret_cast<int64_t*>(out + j), vbslq_s64(mask, xv, yv));
        }
      }
    }
  });
}

}  // namespace neon
}  // namespace zelvan
