// Find on the worker pool beside the same lookup on the calling thread.
// keys/s = items_per_second. Tables: "cache" fits in L2, "dram" is far
// larger than the last-level cache. Each iteration looks up the next batch
// of a 1M-key stream: one small batch repeated would let the branch
// predictor learn its outcomes, which no host's traffic allows.
#include <absl/container/flat_hash_map.h>
#include <benchmark/benchmark.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "common/shard.h"
#include "common/stream_store.h"
#include "lookup/lookup.h"
#include "zelvan/zelvan.h"

namespace {

struct Fixture {
  long numBuckets;
  long valueSize;
  std::vector<long> bucketKeys;
  std::vector<float> bucketValues;
  std::vector<float> defaultRow;
  std::vector<long> present;

  Fixture(long buckets, long valueSizeIn) : numBuckets(buckets), valueSize(valueSizeIn) {
    bucketKeys.assign(static_cast<size_t>(buckets), -1);
    bucketValues.assign(static_cast<size_t>(buckets * valueSize), 1.0f);
    defaultRow.assign(static_cast<size_t>(valueSize), 0.0f);
    std::mt19937_64 rng(1);
    // Load factor 0.5, the usual operating point of a dense table.
    for (long n = 0; n < buckets / 2; ++n) {
      const long key = static_cast<long>(rng() >> 2);
      long bucket = key & (buckets - 1);
      for (long probes = 0; bucketKeys[static_cast<size_t>(bucket)] != -1;) {
        ++probes;
        bucket = (bucket + probes) & (buckets - 1);
      }
      bucketKeys[static_cast<size_t>(bucket)] = key;
      present.push_back(key);
    }
  }
  zelvan::TableInfo Info() const { return {numBuckets, valueSize, -1, -2, bucketKeys.data(), bucketValues.data()}; }
  // Half present, half absent keys, in random order.
  std::vector<long> Keys(long count) const {
    std::mt19937_64 rng(2);
    std::vector<long> keys(static_cast<size_t>(count));
    for (long& k : keys) k = rng() % 2 ? present[rng() % present.size()] : static_cast<long>(rng() >> 2);
    return keys;
  }
};

// Successive batches of one key stream, at least 1M keys long.
class Batches {
 public:
  Batches(const Fixture& table, long batch) : batch_(batch), stream_(table.Keys(std::max(batch, kStream))), next_(0) {}
  const long* Next() {
    if (next_ + batch_ > static_cast<long>(stream_.size())) next_ = 0;
    const long* keys = stream_.data() + next_;
    next_ += batch_;
    return keys;
  }

 private:
  static constexpr long kStream = 1L << 20;
  long batch_;
  std::vector<long> stream_;
  long next_;
};

const Fixture& TableFor(long buckets, long valueSize) {
  static std::vector<std::unique_ptr<Fixture>> cache;
  for (const auto& f : cache) {
    if (f->numBuckets == buckets && f->valueSize == valueSize) return *f;
  }
  cache.push_back(std::make_unique<Fixture>(buckets, valueSize));
  return *cache.back();
}

// Arguments: batch size, log2(buckets), valueSize. 2^10 buckets sit in L2;
// 2^22 buckets (300 MB with 16 floats a row) are far beyond the LLC.
void TableArgs(benchmark::internal::Benchmark* b, std::initializer_list<long> batches) {
  for (long valueSize : {1L, 16L, 64L}) {
    for (long log2Buckets : {10L, 22L}) {
      for (long batch : batches) {
        b->Args({batch, log2Buckets, valueSize});
      }
    }
  }
}

void Args(benchmark::internal::Benchmark* b) { TableArgs(b, {1L, 16L, 1024L, 16384L, 65536L, 1L << 20}); }

// The batches the pool's speedup is judged on.
void SpeedupArgs(benchmark::internal::Benchmark* b) { TableArgs(b, {65536L, 1L << 20}); }

// Those, and the 1-key call, whose time is mostly its one block's wake-up.
void PlacementArgs(benchmark::internal::Benchmark* b) { TableArgs(b, {1L, 65536L, 1L << 20}); }

// What each lookup benchmark starts from: its table, the key stream and one
// batch's output rows.
struct Case {
  explicit Case(const benchmark::State& state)
      : table(TableFor(1L << state.range(1), state.range(2))),
        info(table.Info()),
        batch(state.range(0)),
        batches(table, batch),
        out(static_cast<size_t>(batch * table.valueSize)) {}
  // The per-range lookup Find builds for one batch of keys, into out.
  zelvan::Lookup LookupOf(const long* keys) { return {info, keys, out.data(), table.defaultRow.data(), batch}; }

  // Find on the pool, into out, for the next batch.
  int FindNext() { return zelvan::Find(info, batches.Next(), out.data(), table.defaultRow.data(), batch); }

  // The row copy Find picks for one batch.
  zelvan::Lookup::RowCopy CopyForBatch() { return LookupOf(nullptr).rowCopy; }

  const Fixture& table;
  const zelvan::TableInfo info;
  const long batch;
  Batches batches;
  std::vector<float> out;
};

void BM_Find(benchmark::State& state) {
  Case c(state);
  for (auto _ : state) {
    if (c.FindNext() != 0) state.SkipWithError("Find failed");
    benchmark::DoNotOptimize(c.out.data());
  }
  state.SetItemsProcessed(state.iterations() * c.batch);
}

void BM_FindCallingThread(benchmark::State& state) {
  Case c(state);
  for (auto _ : state) {
    c.LookupOf(c.batches.Next()).Range(0, c.batch);
    benchmark::DoNotOptimize(c.out.data());
  }
  state.SetItemsProcessed(state.iterations() * c.batch);
}

// The pool's worker count, read as the pool reads it, without creating the
// pool during benchmark registration.
long PoolSize() {
  cpu_set_t mask;
  CPU_ZERO(&mask);
  return sched_getaffinity(0, sizeof(mask), &mask) == 0 ? CPU_COUNT(&mask) : 1;
}

// Threads asleep on one condition variable, as the pool's workers are. Each
// Post queues one ticket and wakes one sleeper, as the pool's Enqueue does;
// the sleeper that takes it runs job with the ticket's number (1, 2, ...).
// Nothing else is handed over: no task objects, no futures.
class Sleepers {
 public:
  Sleepers(long count, std::function<void(long)> job) : job_(std::move(job)) {
    for (long t = 0; t < count; ++t) threads_.emplace_back([this] { Run(); });
  }
  ~Sleepers() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }
  void Post() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++posted_;
    }
    wake_.notify_one();
  }

 private:
  void Run() {
    for (;;) {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return quit_ || taken_ != posted_; });
      if (quit_) return;
      const long ticket = ++taken_;
      lock.unlock();
      job_(ticket);
    }
  }

  std::function<void(long)> job_;
  std::mutex mutex_;
  std::condition_variable wake_;
  long posted_ = 0;
  long taken_ = 0;
  bool quit_ = false;
  std::vector<std::thread> threads_;
};

// The ceiling for the pool: the same halves of each batch on the calling
// thread and on a second thread that is already running, spinning for its
// half, so no wake-up is paid. On a VM this shows what the two virtual CPUs
// give at that moment.
void BM_FindSpinningPair(benchmark::State& state) {
  Case c(state);
  const long half = c.batch / 2;
  std::atomic<const long*> posted{nullptr};
  std::atomic<long> finished{0};
  std::atomic<bool> quit{false};
  std::thread helper([&] {
    for (long calls = 0;;) {
      const long* keys = nullptr;
      while ((keys = posted.load(std::memory_order_acquire)) == nullptr) {
        if (quit.load(std::memory_order_relaxed)) return;
      }
      posted.store(nullptr, std::memory_order_relaxed);
      c.LookupOf(keys).Range(half, c.batch);
      finished.store(++calls, std::memory_order_release);
    }
  });
  long calls = 0;
  for (auto _ : state) {
    const long* keys = c.batches.Next();
    posted.store(keys, std::memory_order_release);
    c.LookupOf(keys).Range(0, half);
    ++calls;
    while (finished.load(std::memory_order_acquire) != calls) {
    }
    benchmark::DoNotOptimize(c.out.data());
  }
  quit.store(true, std::memory_order_relaxed);
  helper.join();
  state.SetItemsProcessed(state.iterations() * c.batch);
}

// The pool's design at its leanest: the same blocks of each batch, one per
// worker, go to threads that sleep on one condition variable between
// batches, as the pool's workers do, woken one per block, while the caller
// sleeps until the last block is done. No task objects and no futures, so
// the gap to the spinning pair is what sleeping between batches costs here.
void BM_FindSleepingWorkers(benchmark::State& state) {
  Case c(state);
  const long workers = PoolSize();
  const long block = (c.batch + workers - 1) / workers;
  const long* keys = nullptr;  // Written before Post, read after the ticket is taken.
  std::atomic<long> finished{0};
  std::mutex mutex;
  std::condition_variable done;
  Sleepers sleepers(workers, [&](long ticket) {
    const long start = (ticket - 1) % workers * block;
    c.LookupOf(keys).Range(start, std::min(start + block, c.batch));
    // Batches run one at a time, so a whole number of batches done means
    // this block was the batch's last.
    if ((finished.fetch_add(1, std::memory_order_acq_rel) + 1) % workers == 0) {
      std::lock_guard<std::mutex> lock(mutex);
      done.notify_one();
    }
  });
  long target = 0;
  for (auto _ : state) {
    keys = c.batches.Next();
    for (long w = 0; w < workers; ++w) sleepers.Post();
    target += workers;
    std::unique_lock<std::mutex> lock(mutex);
    done.wait(lock, [&] { return finished.load(std::memory_order_acquire) == target; });
    benchmark::DoNotOptimize(c.out.data());
  }
  state.SetItemsProcessed(state.iterations() * c.batch);
}

// Mean microseconds of count events that took seconds in all; 0 for none.
double MicrosEach(double seconds, long count) { return count > 0 ? seconds * 1e6 / static_cast<double>(count) : 0.0; }

// Where the host ran the pool's blocks: Find's own split of each batch
// through Shard, with each block noting when it ran. A batch is concurrent
// when every block started before the first one ended. Reported apart:
// the share of concurrent batches, and the mean time of a batch of each
// kind, so the pool's speed-up can be told from the host's placement; and
// when the last block started and how long the caller took to return after
// the last one ended, which for one key is the call's wake-up and the rest.
void BM_FindPlacement(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  Case c(state);
  const int workers = static_cast<int>(PoolSize());
  // Shard cuts no more blocks than keys.
  const long blocks = std::min<long>(workers, c.batch);
  const long block = (c.batch + blocks - 1) / blocks;
  struct Span {
    Clock::time_point start, end;
  };
  std::vector<Span> spans(static_cast<size_t>(blocks));
  const long* keys = nullptr;
  const std::function<void(long, long)> range = [&](long start, long end) {
    Span& span = spans[static_cast<size_t>(start / block)];
    span.start = Clock::now();
    c.LookupOf(keys).Range(start, end);
    span.end = Clock::now();
  };
  long concurrent = 0;
  double concurrentSeconds = 0;
  double serialSeconds = 0;
  double startSeconds = 0;
  double returnSeconds = 0;
  for (auto _ : state) {
    keys = c.batches.Next();
    const Clock::time_point begin = Clock::now();
    zelvan::Shard(workers, c.batch, range);
    const Clock::time_point done = Clock::now();
    const double seconds = std::chrono::duration<double>(done - begin).count();
    Clock::time_point lastStart = spans[0].start;
    Clock::time_point firstEnd = spans[0].end;
    Clock::time_point lastEnd = spans[0].end;
    for (const Span& span : spans) {
      lastStart = std::max(lastStart, span.start);
      firstEnd = std::min(firstEnd, span.end);
      lastEnd = std::max(lastEnd, span.end);
    }
    startSeconds += std::chrono::duration<double>(lastStart - begin).count();
    returnSeconds += std::chrono::duration<double>(done - lastEnd).count();
    if (lastStart < firstEnd) {
      ++concurrent;
      concurrentSeconds += seconds;
    } else {
      serialSeconds += seconds;
    }
    benchmark::DoNotOptimize(c.out.data());
  }
  const auto batches = static_cast<long>(state.iterations());
  state.counters["concurrent"] = static_cast<double>(concurrent) / static_cast<double>(batches);
  state.counters["concurrent_us"] = MicrosEach(concurrentSeconds, concurrent);
  state.counters["serial_us"] = MicrosEach(serialSeconds, batches - concurrent);
  state.counters["last_start_us"] = MicrosEach(startSeconds, batches);
  state.counters["return_us"] = MicrosEach(returnSeconds, batches);
  state.SetItemsProcessed(state.iterations() * c.batch);
}

using Copy = zelvan::Lookup::RowCopy;

// Times perBatch, called with copy as a std::integral_constant.
template <typename PerBatch>
void TimeBatches(benchmark::State& state, Case& c, Copy copy, const PerBatch& perBatch) {
  for (auto _ : state) {
    if (copy == Copy::kStreamed) {
      perBatch(std::integral_constant<Copy, Copy::kStreamed>{});
      zelvan::StreamFence();  // As each of the library's ranges ends.
    } else if (copy == Copy::kLibrary) {
      perBatch(std::integral_constant<Copy, Copy::kLibrary>{});
    } else {
      perBatch(std::integral_constant<Copy, Copy::kInline>{});
    }
    benchmark::DoNotOptimize(c.out.data());
  }
  state.SetItemsProcessed(state.iterations() * c.batch);
}

// The peer hash table: absl::flat_hash_map from key to row index, the same
// rows, on the calling thread.
void BM_AbslFlatHashMap(benchmark::State& state) {
  Case c(state);
  const Fixture& table = c.table;
  static std::vector<std::pair<const Fixture*, std::unique_ptr<absl::flat_hash_map<long, long>>>> maps;
  absl::flat_hash_map<long, long>* map = nullptr;
  for (auto& [f, m] : maps) {
    if (f == &table) map = m.get();
  }
  if (map == nullptr) {
    auto built = std::make_unique<absl::flat_hash_map<long, long>>();
    for (long b = 0; b < table.numBuckets; ++b) {
      if (table.bucketKeys[static_cast<size_t>(b)] != -1) (*built)[table.bucketKeys[static_cast<size_t>(b)]] = b;
    }
    map = built.get();
    maps.emplace_back(&table, std::move(built));
  }
  const long vs = table.valueSize;
  // The library's own row copy, chosen once per batch as Find chooses it per
  // range, so the two differ only in the table; but where the library
  // streams its rows past the caches, memmove as before: streaming stores
  // slowed this loop by a tenth, while they sped up the library's.
  const auto lookUp = [&](auto copy) {
    const long* keys = c.batches.Next();
    for (long i = 0; i < c.batch; ++i) {
      const auto it = map->find(keys[i]);
      const float* src = it != map->end() ? table.bucketValues.data() + it->second * vs : table.defaultRow.data();
      zelvan::Lookup::CopyRow<decltype(copy)::value>(c.out.data() + i * vs, src, vs);
    }
  };
  const Copy copy = c.CopyForBatch();
  TimeBatches(state, c, copy == Copy::kStreamed ? Copy::kLibrary : copy, lookUp);
}

// The floor under a lookup: every key's source row known in advance (one
// pointer per key, as many bytes as the key), so only the rows' copy is left,
// with the lookup's own copy. Long rows make this the write stream alone.
void BM_RowCopyFloor(benchmark::State& state) {
  Case c(state);
  const long vs = c.table.valueSize;
  const zelvan::Lookup lookup = c.LookupOf(nullptr);
  const long* first = c.batches.Next();
  std::vector<const float*> sources;
  for (const long* keys = first;;) {
    for (long i = 0; i < c.batch; ++i) {
      const long bucket = lookup.Probe(keys[i]);
      sources.push_back(bucket >= 0 ? c.table.bucketValues.data() + bucket * vs : c.table.defaultRow.data());
    }
    keys = c.batches.Next();
    if (keys == first) break;
  }
  size_t next = 0;
  const auto copyRows = [&](auto copy) {
    if (next == sources.size()) next = 0;
    const float* const* batch = sources.data() + next;
    next += static_cast<size_t>(c.batch);
    for (long i = 0; i < c.batch; ++i) {
      zelvan::Lookup::CopyRow<decltype(copy)::value>(c.out.data() + i * vs, batch[i], vs);
    }
  };
  TimeBatches(state, c, c.CopyForBatch(), copyRows);
}

// The floor under a 1-key call: post one task to threads blocked on one
// condition variable, as the pool's workers are, and poll until the woken one
// answers. Nothing else is handed over, so this is what the machine's wake-up
// costs.
class HandOff {
 public:
  explicit HandOff(long waiters)
      : sleepers_(waiters, [this](long ticket) { answered_.store(ticket, std::memory_order_release); }) {}
  void Once() {
    sleepers_.Post();
    ++calls_;
    while (answered_.load(std::memory_order_acquire) != calls_) std::this_thread::yield();
  }

 private:
  std::atomic<long> answered_{0};
  long calls_ = 0;
  Sleepers sleepers_;  // Last: its threads use the members above.
};

// With one waiter the same thread is woken every time; with as many as the
// pool has, the condition variable picks which, as it does for the pool.
void BM_HandOffFloor(benchmark::State& state) {
  HandOff handOff(state.range(0));
  for (auto _ : state) handOff.Once();
  state.SetItemsProcessed(state.iterations());
}

// A 1-key Find and the floor's hand-off to as many sleepers as the pool has
// workers, in alternate calls, so that both meet the host in the same state:
// on a VM the wake-up of the other virtual CPU swings between about 4 and
// 25 µs within seconds, far more than any difference between the two.
// find_us - floor_us is then what the library adds to the wake-up.
void BM_FindBesideFloor(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  Case c(state);
  HandOff handOff(PoolSize());
  double floorSeconds = 0;
  double findSeconds = 0;
  for (auto _ : state) {
    const Clock::time_point posted = Clock::now();
    handOff.Once();
    const Clock::time_point woken = Clock::now();
    if (c.FindNext() != 0) state.SkipWithError("Find failed");
    const Clock::time_point found = Clock::now();
    floorSeconds += std::chrono::duration<double>(woken - posted).count();
    findSeconds += std::chrono::duration<double>(found - woken).count();
    benchmark::DoNotOptimize(c.out.data());
  }
  const auto calls = static_cast<long>(state.iterations());
  state.counters["floor_us"] = MicrosEach(floorSeconds, calls);
  state.counters["find_us"] = MicrosEach(findSeconds, calls);
}

void OneKeyArgs(benchmark::internal::Benchmark* b) { TableArgs(b, {1L}); }

// One waiter, and as many as the pool has workers.
void FloorArgs(benchmark::internal::Benchmark* b) {
  b->ArgName("waiters")->Arg(1);
  if (PoolSize() > 1) b->Arg(PoolSize());
}

BENCHMARK(BM_Find)->Apply(Args)->UseRealTime();
BENCHMARK(BM_HandOffFloor)->Apply(FloorArgs)->UseRealTime();
BENCHMARK(BM_FindBesideFloor)->Apply(OneKeyArgs)->UseRealTime();
BENCHMARK(BM_AbslFlatHashMap)->Apply(Args)->UseRealTime();
BENCHMARK(BM_FindCallingThread)->Apply(Args)->UseRealTime();
BENCHMARK(BM_RowCopyFloor)->Apply(SpeedupArgs)->UseRealTime();
BENCHMARK(BM_FindSpinningPair)->Apply(SpeedupArgs)->UseRealTime();
BENCHMARK(BM_FindSleepingWorkers)->Apply(SpeedupArgs)->UseRealTime();
BENCHMARK(BM_FindPlacement)->Apply(PlacementArgs)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
