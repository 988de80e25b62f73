#include <cstdint>

#include "common/cpu_model.h"
#include "elementwise/select_kernels.h"
#include "elementwise/streamed_loop.h"

namespace zelvan {
namespace portable {
namespace {

ZELVAN_KERNEL_INLINE long SelectOne(unsigned char cond, long x, long y) {
  // All ones for any non-zero byte: a bitwise select.
  const uint64_t mask = -static_cast<uint64_t>(cond != 0);
  return static_cast<long>((static_cast<uint64_t>(x) & mask) | (static_cast<uint64_t>(y) & ~mask));
}

}  // namespace

// The blocks start at element 0 whatever the alignment: lining up any one
// stream gained Select at most 2% at 4K-64K elements on Zen 4 and cost it
// 10-35% at 64M. Zen 4's hardware prefetcher also keeps the three input
// streams ahead better without hints: they cost Select there 6-10% from 64K
// to 64M elements and gain nothing at 4K, where other cores gain from them.
ZELVAN_PORTABLE_CLONES void Select(const unsigned char* cond, const long* x, const long* y, long* out, size_t n) {
  const auto block = [=](size_t i) ZELVAN_LAMBDA_INLINE {
    for (size_t j = 0; j < kStreamBlock; ++j) {
      out[i + j] = SelectOne(cond[i + j], x[i + j], y[i + j]);
    }
  };
  const auto tail = [=](size_t i) ZELVAN_LAMBDA_INLINE { out[i] = SelectOne(cond[i], x[i], y[i]); };
  if (RunningOnZen4()) {
    BlockLoop(n, 0, block, tail);
    return;
  }
  StreamedLoop<StreamAhead<long>()>(
      n, 0,
      [=](size_t i) ZELVAN_LAMBDA_INLINE {
        PrefetchStreamBlock(cond + i);
        PrefetchStreamBlock(x + i);
        PrefetchStreamBlock(y + i);
      },
      block, tail);
}

}  // namespace portable
}  // namespace zelvan
