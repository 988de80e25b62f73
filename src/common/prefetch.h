// Software prefetch hints. They change no result.
#ifndef ZELVAN_COMMON_PREFETCH_H_
#define ZELVAN_COMMON_PREFETCH_H_

namespace zelvan {

// Keep in the second-level cache (PLDL2KEEP / PSTL2KEEP on AArch64).
inline void PrefetchReadL2(const void* p) { __builtin_prefetch(p, 0, 2); }
inline void PrefetchWriteL2(const void* p) { __builtin_prefetch(p, 1, 2); }

// Streaming into the first-level cache (PLDL1STRM / PSTL1STRM on AArch64).
inline void PrefetchReadStream(const void* p) { __builtin_prefetch(p, 0, 0); }
inline void PrefetchWriteStream(const void* p) { __builtin_prefetch(p, 1, 0); }

}  // namespace zelvan

#endif  // ZELVAN_COMMON_PREFETCH_H_
