#include <cstdint>

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

ZELVAN_PORTABLE_CLONES void Select(const unsigned char* cond, const long* x, const long* y, long* out, size_t n) {
  StreamedLoop<StreamAhead<long>()>(
      n,
      [=](size_t i) {
        PrefetchStreamBlock(cond + i);
        PrefetchStreamBlock(x + i);
        PrefetchStreamBlock(y + i);
      },
      [=](size_t i) {
        for (size_t j = i; j < i + kStreamBlock; ++j) {
          out[j] = SelectOne(cond[j], x[j], y[j]);
        }
      },
      [=](size_t i) { out[i] = SelectOne(cond[i], x[i], y[i]); });
}

}  // namespace portable
}  // namespace zelvan
