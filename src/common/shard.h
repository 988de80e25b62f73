// Static range splitter over the worker pool.
#ifndef ZELVAN_COMMON_SHARD_H_
#define ZELVAN_COMMON_SHARD_H_

#include <functional>

namespace zelvan {

// Cuts [0, total) into numThreads contiguous blocks of ceil(total/numThreads)
// (clamped to total blocks; late blocks may be empty with start > end), runs
// fn(start, end) for each on the pool and returns once all have finished.
// Exceptions from fn are swallowed; queueing failures propagate, but only
// after every block already queued has finished. Does nothing when
// numThreads or total is at or below 0. Never call it from a pool worker.
void Shard(int numThreads, long total, const std::function<void(long, long)>& fn);

}  // namespace zelvan

#endif  // ZELVAN_COMMON_SHARD_H_
