// Copies whose destination goes straight to memory rather than through the
// caches: for output far larger than them, which would otherwise be read in
// before it is overwritten and push out data still in use.
#ifndef ZELVAN_COMMON_STREAM_STORE_H_
#define ZELVAN_COMMON_STREAM_STORE_H_

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "common/arch.h"

namespace zelvan {

// Copies n floats from source to dst; the same bytes as memmove of
// non-overlapping buffers. Visible to other threads only after StreamFence.
ZELVAN_KERNEL_INLINE void StreamCopy(float* dst, const float* source, long n) {
#if defined(__SSE2__)
  const auto address = reinterpret_cast<uintptr_t>(dst);
  if ((address & 3u) != 0 || n < 4) {
    std::memmove(dst, source, static_cast<size_t>(n) * sizeof(float));
    return;
  }
  // The streaming store wants 16-byte alignment: up to 3 plain stores reach
  // it, and up to 3 finish the row (fixed bounds, so no call is made).
  const long head = static_cast<long>((16u - (address & 15u)) & 15u) / 4;
  for (long k = 0; k < 3; ++k) {
    if (k < head) {
      dst[k] = source[k];
    }
  }
  long j = head;
  for (; j + 4 <= n; j += 4) {
    _mm_stream_ps(dst + j, _mm_loadu_ps(source + j));
  }
  for (long k = 0; k < 3; ++k) {
    if (j + k < n) {
      dst[j + k] = source[j + k];
    }
  }
#else
  // Elsewhere the C library's copy, which needs no fence.
  std::memmove(dst, source, static_cast<size_t>(n) * sizeof(float));
#endif
}

// Orders every StreamCopy before it ahead of the stores that follow, so
// that a release after it publishes them.
ZELVAN_KERNEL_INLINE void StreamFence() {
#if defined(__SSE2__)
  _mm_sfence();
#endif
}

}  // namespace zelvan

#endif  // ZELVAN_COMMON_STREAM_STORE_H_
