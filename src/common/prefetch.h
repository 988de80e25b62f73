// Software prefetch hints. They change no result.
#ifndef ZELVAN_COMMON_PREFETCH_H_
#define ZELVAN_COMMON_PREFETCH_H_

#include "common/arch.h"

// Forced inline: the compiler sees the hints as calls without effects, and
// once such a call sits inside a forced-inline kernel loop it is deleted as
// dead code before it could be inlined.
namespace zelvan {

// Into the first-level cache, to be kept (PLDL1KEEP on AArch64).
ZELVAN_KERNEL_INLINE void PrefetchReadL1(const void* p) { __builtin_prefetch(p, 0, 3); }

// Keep in the second-level cache (PLDL2KEEP / PSTL2KEEP on AArch64).
ZELVAN_KERNEL_INLINE void PrefetchReadL2(const void* p) { __builtin_prefetch(p, 0, 2); }
ZELVAN_KERNEL_INLINE void PrefetchWriteL2(const void* p) { __builtin_prefetch(p, 1, 2); }

// Streaming into the first-level cache (PLDL1STRM / PSTL1STRM on AArch64).
ZELVAN_KERNEL_INLINE void PrefetchReadStream(const void* p) { __builtin_prefetch(p, 0, 0); }
ZELVAN_KERNEL_INLINE void PrefetchWriteStream(const void* p) { __builtin_prefetch(p, 1, 0); }

}  // namespace zelvan

#endif  // ZELVAN_COMMON_PREFETCH_H_
