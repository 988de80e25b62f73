// The loop shape of the streaming operators: blocks that hint the memory a
// fixed distance ahead, then the same blocks without hints where the hint
// would point past the end, then single elements.
#ifndef ZELVAN_ELEMENTWISE_BLOCKED_LOOP_H_
#define ZELVAN_ELEMENTWISE_BLOCKED_LOOP_H_

#include <cstddef>

#include "common/arch.h"

namespace zelvan {

// prefetch(i) hints the block at element i, block(i) computes the
// kBlockSize elements from i, tail(i) computes element i. The first head
// elements (at most n) go singly, so the blocks start where the caller
// wants. A hint covers only whole blocks inside the operands. kAhead 0 with
// a no-op prefetch is the plain blocked loop.
template <size_t kBlockSize, size_t kAhead, class Prefetch, class Block, class Tail>
ZELVAN_KERNEL_INLINE void BlockedLoop(size_t n, size_t head, Prefetch prefetch, Block block, Tail tail) {
  static_assert(kAhead % kBlockSize == 0, "hints land on block starts");
  size_t i = 0;
  for (; i < head; ++i) {
    tail(i);
  }
  for (; i + kAhead + kBlockSize <= n; i += kBlockSize) {
    prefetch(i + kAhead);
    block(i);
  }
  for (; i + kBlockSize <= n; i += kBlockSize) {
    block(i);
  }
  for (; i < n; ++i) {
    tail(i);
  }
}

// The AArch64 kernels over 64-bit arrays: blocks of 16 hinting 64 elements
// ahead, far enough to cover memory latency at streaming speed.
constexpr size_t kBlock = 16;
constexpr size_t kPrefetchAhead = 64;

template <class Prefetch, class Block, class Tail>
ZELVAN_KERNEL_INLINE void BlockedPrefetchLoop(size_t n, Prefetch prefetch, Block block, Tail tail) {
  BlockedLoop<kBlock, kPrefetchAhead>(n, 0, prefetch, block, tail);
}

}  // namespace zelvan

#endif  // ZELVAN_ELEMENTWISE_BLOCKED_LOOP_H_
