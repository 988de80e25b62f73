#include <cstdint>

#include "elementwise/select_kernels.h"

namespace zelvan {
namespace portable {

ZELVAN_PORTABLE_CLONES void Select(const unsigned char* cond, const long* x, const long* y, long* out, size_t n) {
  SelectLoop(cond, x, y, out, n, [=](size_t i) {
    for (size_t j = i; j < i + kBlock; ++j) {
      // All ones for a non-zero byte: a bitwise select the compiler
      // vectorises.
      const uint64_t mask = -static_cast<uint64_t>(cond[j] != 0);
      out[j] = static_cast<long>((static_cast<uint64_t>(x[j]) & mask) | (static_cast<uint64_t>(y[j]) & ~mask));
    }
  });
}

}  // namespace portable
}  // namespace zelvan
