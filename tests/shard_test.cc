// Shard on the real pool: the exact blocks, exactly-once coverage, failing
// blocks and concurrent callers.
#include "common/shard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <mutex>
#include <new>
#include <thread>
#include <utility>
#include <vector>

#include "alloc_fail.h"
#include "common/thread_pool.h"

namespace {

using Blocks = std::vector<std::pair<long, long>>;

Blocks RecordShard(int numThreads, long total) {
  std::mutex mutex;
  Blocks calls;
  zelvan::Shard(numThreads, total, [&](long start, long end) {
    std::lock_guard<std::mutex> lock(mutex);
    calls.emplace_back(start, end);
  });
  std::sort(calls.begin(), calls.end());
  return calls;
}

TEST(Shard, BlocksAreCeilingSizedWithEmptyLateBlocks) {
  EXPECT_EQ(RecordShard(4, 5), (Blocks{{0, 2}, {2, 4}, {4, 5}, {6, 5}}));
  EXPECT_EQ(RecordShard(4, 10), (Blocks{{0, 3}, {3, 6}, {6, 9}, {9, 10}}));
  EXPECT_EQ(RecordShard(4, 7), (Blocks{{0, 2}, {2, 4}, {4, 6}, {6, 7}}));
  EXPECT_EQ(RecordShard(8, 9), (Blocks{{0, 2}, {2, 4}, {4, 6}, {6, 8}, {8, 9}, {10, 9}, {12, 9}, {14, 9}}));
  EXPECT_EQ(RecordShard(8, 3), (Blocks{{0, 1}, {1, 2}, {2, 3}}));
  EXPECT_EQ(RecordShard(1, 5), (Blocks{{0, 5}}));
}

TEST(Shard, NonPositiveArgumentsDoNothing) {
  EXPECT_TRUE(RecordShard(4, 0).empty());
  EXPECT_TRUE(RecordShard(0, 10).empty());
  EXPECT_TRUE(RecordShard(-3, 10).empty());
  EXPECT_TRUE(RecordShard(4, -10).empty());
}

TEST(Shard, HugeTotalsNeitherOverflowNorLoseIndices) {
  const Blocks calls = RecordShard(7, LONG_MAX);
  ASSERT_EQ(calls.size(), 7u);
  long covered = 0;
  for (const auto& [start, end] : calls) {
    ASSERT_EQ(start, covered);
    ASSERT_GT(end, start);
    covered = end;
  }
  EXPECT_EQ(covered, LONG_MAX);
}

TEST(Shard, EveryIndexExactlyOnceForPrimeSizes) {
  for (int threads : {1, 2, 3, 5, 16, 64}) {
    for (long total : {1L, 2L, 1223L, 1303L, 100003L}) {
      std::vector<std::atomic<int>> hits(static_cast<size_t>(total));
      zelvan::Shard(threads, total, [&](long start, long end) {
        for (long i = start; i < end; ++i) hits[static_cast<size_t>(i)]++;
      });
      for (long i = 0; i < total; ++i) {
        ASSERT_EQ(hits[static_cast<size_t>(i)].load(), 1) << threads << " " << total << " " << i;
      }
    }
  }
}

TEST(Shard, ThrowingBlockDoesNotStopTheOthersNorReachTheCaller) {
  std::atomic<long> done{0};
  zelvan::Shard(4, 400, [&](long start, long end) {
    if (start == 100) throw std::runtime_error("block failed");
    done += end - start;
  });
  EXPECT_EQ(done.load(), 300);
}

TEST(Shard, EmptyFunctionIsSwallowed) {
  std::function<void(long, long)> empty;
  EXPECT_NO_THROW(zelvan::Shard(3, 10, empty));
}

TEST(Shard, ConcurrentCallersEachWaitForTheirOwnBlocks) {
  constexpr int kCallers = 6;
  std::vector<std::thread> callers;
  std::atomic<int> failures{0};
  for (int c = 0; c < kCallers; ++c) {
    callers.emplace_back([&, c] {
      for (int round = 0; round < 50; ++round) {
        const long total = 1000 + c * 37 + round;
        std::vector<std::atomic<int>> hits(static_cast<size_t>(total));
        zelvan::Shard(zelvan::ThreadPool::GetInstance()->GetThreadNum(), total, [&](long s, long e) {
          for (long i = s; i < e; ++i) hits[static_cast<size_t>(i)]++;
        });
        for (auto& h : hits) {
          if (h.load() != 1) failures++;
        }
      }
    });
  }
  for (auto& t : callers) t.join();
  EXPECT_EQ(failures.load(), 0);
}

TEST(Shard, QueueingFailureWaitsForQueuedBlocksBeforeThrowing) {
  // Fail successive allocations while the caller queues: whatever block the
  // failure hits, every block already queued must have finished when the
  // exception reaches us, since they refer to this frame.
  for (long k = 0; k < 40; ++k) {
    std::atomic<int> started{0};
    std::atomic<int> finished{0};
    bool threw = false;
    zelvan_test::FailAllocationAfter(k);
    try {
      zelvan::Shard(8, 8, [&](long, long) {
        started++;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        finished++;
      });
    } catch (const std::bad_alloc&) {
      threw = true;
    }
    zelvan_test::StopFailing();
    EXPECT_EQ(started.load(), finished.load()) << "k=" << k;
    if (!threw) {
      EXPECT_EQ(finished.load(), 8);
      break;
    }
  }
}

}  // namespace
