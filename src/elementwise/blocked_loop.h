// The loop shape shared by the operators over two 64-bit input arrays:
// blocks of 16 that prefetch 64 elements ahead, then a plain tail.
#ifndef ZELVAN_ELEMENTWISE_BLOCKED_LOOP_H_
#define ZELVAN_ELEMENTWISE_BLOCKED_LOOP_H_

#include <cstddef>

#include "common/arch.h"

namespace zelvan {

constexpr size_t kBlock = 16;
// Far enough ahead to cover memory latency at streaming speed; blocks run
// only while i + kPrefetchAhead <= n, so a hint never points past the end.
constexpr size_t kPrefetchAhead = 64;

// prefetch(i) hints element i; block(i) computes elements [i, i + 16);
// tail(i) computes element i.
template <class Prefetch, class Block, class Tail>
ZELVAN_KERNEL_INLINE void BlockedPrefetchLoop(size_t n, Prefetch prefetch, Block block, Tail tail) {
  size_t i = 0;
  for (; i + kPrefetchAhead <= n; i += kBlock) {
    prefetch(i + kPrefetchAhead);
    block(i);
  }
  for (; i < n; ++i) {
    tail(i);
  }
}

}  // namespace zelvan

#endif  // ZELVAN_ELEMENTWISE_BLOCKED_LOOP_H_
