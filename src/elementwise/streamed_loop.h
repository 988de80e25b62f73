// The portable loop shape of the streaming operators (compares, Select):
// blocks of 64 elements. Where two or more input arrays stream at once, each
// block also hints the cache lines they will need 1 KB further on.
//
// Measured on x86-64 (AMD Zen 5, 4K to 64M elements, variants interleaved
// in one run): with two or three input arrays the hint into the first-level
// cache brings 16M-element operands to the copy kernel's bandwidth, 25-35%
// above no hints, and is faster at 4K too. A single input array is better
// left to the hardware prefetcher: hinting it costs 5-40%. The hint into the
// second level (what the AArch64 kernels use) is slower than none there.
// Zen 4 is split: there the first-level hint still speeds the array-array
// compares (2-13% at 4K, 5-10% at 64M) but costs Select 2-22% at 16M-64M
// against none, and the second-level one gains Select 10-30% at those sizes
// but loses as much at 4K-64K. No choice wins everywhere on both machines.
// The first-level hint stays, as Zen 5 gains the most from it; only Select
// leaves it out on Zen 4, where it gains nothing at any size.
#ifndef ZELVAN_ELEMENTWISE_STREAMED_LOOP_H_
#define ZELVAN_ELEMENTWISE_STREAMED_LOOP_H_

#include <cstddef>
#include <cstdint>

#include "common/arch.h"
#include "common/prefetch.h"
#include "elementwise/blocked_loop.h"

namespace zelvan {

// A block indexes its elements from 0 to kStreamBlock, not from i to
// i + kStreamBlock: blocks start at a runtime offset, and the compiler
// would otherwise guard each one against the end index wrapping.
constexpr size_t kStreamBlock = 64;
constexpr size_t kStreamAheadBytes = 1024;
constexpr size_t kCacheLineBytes = 64;

// The distance in elements for inputs whose widest element is T.
template <class T>
constexpr size_t StreamAhead() {
  return kStreamAheadBytes / sizeof(T);
}

// Hints every line of the block of kStreamBlock elements starting at p.
template <class T>
ZELVAN_KERNEL_INLINE void PrefetchStreamBlock(const T* p) {
  const auto* bytes = reinterpret_cast<const char*>(p);
  for (size_t k = 0; k < kStreamBlock * sizeof(T); k += kCacheLineBytes) {
    PrefetchReadL1(bytes + k);
  }
}

// The elements of the stream at p before its first cache-line boundary,
// at most n. Blocks that start there load that stream in whole lines: a
// vector load split across two lines costs the 64-bit compares 5-12% at
// 4K-64K elements on Zen 4.
template <class T>
ZELVAN_KERNEL_INLINE size_t LineHead(const T* p, size_t n) {
  const size_t head = (0 - reinterpret_cast<uintptr_t>(p)) % kCacheLineBytes / sizeof(T);
  return head < n ? head : n;
}

// Blocks of kStreamBlock hinting kAhead elements ahead, after head single
// elements (see BlockedLoop).
template <size_t kAhead, class Prefetch, class Block, class Tail>
ZELVAN_KERNEL_INLINE void StreamedLoop(size_t n, size_t head, Prefetch prefetch, Block block, Tail tail) {
  BlockedLoop<kStreamBlock, kAhead>(n, head, prefetch, block, tail);
}

// The same blocks without hints, for a single input stream.
template <class Block, class Tail>
ZELVAN_KERNEL_INLINE void BlockLoop(size_t n, size_t head, Block block, Tail tail) {
  BlockedLoop<kStreamBlock, 0>(
      n, head, [](size_t /*i*/) ZELVAN_LAMBDA_INLINE {}, block, tail);
}

}  // namespace zelvan

#endif  // ZELVAN_ELEMENTWISE_STREAMED_LOOP_H_
