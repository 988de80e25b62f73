// The per-range lookup of Find, shared by every range of one call.
#ifndef ZELVAN_LOOKUP_LOOKUP_H_
#define ZELVAN_LOOKUP_LOOKUP_H_

#include <atomic>
#include <cstdint>
#include <cstring>

#include "common/arch.h"
#include "common/log.h"
#include "common/prefetch.h"
#include "common/stream_store.h"
#include "zelvan/zelvan.h"

namespace zelvan {

// Everything one call's ranges share; lives in Find's frame until Shard has
// waited for every range.
struct Lookup {
  // Long rows go to the C library's copy, which runs at the machine's full
  // vector width; short ones are cheaper inline. Long rows of a call whose
  // output outgrows the last-level cache stream out to memory instead: a
  // cached store reads every output line in before overwriting it. Chosen
  // once per call, so the per-key loops carry neither the test nor a call
  // they do not make.
  enum class RowCopy { kInline, kLibrary, kStreamed };

  // The call's decisions are made once, from its table and key count.
  Lookup(const TableInfo& tableIn, const long* keysIn, float* outIn, const float* defaultIn, long length)
      : table(tableIn),
        keys(keysIn),
        out(outIn),
        defaultValue(defaultIn),
        bucketMask(tableIn.numBuckets - 1),
        prefetchBuckets(WorthPrefetching(tableIn)),
        rowCopy(RowCopyFor(tableIn.valueSize, length, prefetchBuckets)) {}

  const TableInfo& table;
  const long* keys;
  float* out;
  const float* defaultValue;
  long bucketMask;
  bool prefetchBuckets;
  RowCopy rowCopy;
  std::atomic<int> status{STATUS_SUCCESS};

  static constexpr long kLookAhead = 8;

  // Index of key's bucket, -1 when absent, -2 when the probe bound is hit.
  long Probe(long key) const {
    const long* bucketKeys = table.bucketKeys;
    long bucket = key & bucketMask;
    for (long probes = 0;;) {
      const long stored = bucketKeys[bucket];
      if (stored == key) {
        return bucket;
      }
      if (stored == table.emptyKey) {
        return -1;
      }
      ++probes;
      // Triangular steps visit every bucket once in numBuckets probes.
      bucket = (bucket + probes) & bucketMask;
      if (probes >= table.numBuckets) {
        return -2;
      }
    }
  }

  static constexpr long kUnresolved = -3;

  // On a cached table the keys are probed a run at a time, then their rows
  // copied: kRun fills the wider clones' vectors and stays on the stack.
  // Long rows that stream out to memory take short runs: while a long run
  // is probed no row is written, and the write bandwidth left idle then
  // costs more than the probes save (runs of 16 beat 8 and 64 by 10-20% at
  // 256-byte rows).
  static constexpr long kRun = 64;
  static constexpr long kStreamedRun = 16;
  static constexpr long kMinCalledRun = 16;

  // The first four probes (offsets 0, 1, 3, 6) without a branch: key's bucket,
  // -1 when absent, kUnresolved when all four hold other keys. On a cached
  // table with random keys the probe loop's exits mispredict and dominate;
  // here the one branch left is taken rarely. Revisited buckets on tiny
  // tables are harmless: a bucket that resolves on a revisit resolved before.
  static long ProbeFour(const long* bucketKeys, long bucketMask, long emptyKey, long key) {
    const long home = key & bucketMask;
    const long s0 = bucketKeys[home];
    const long s1 = bucketKeys[(home + 1) & bucketMask];
    const long s2 = bucketKeys[(home + 3) & bucketMask];
    const long s3 = bucketKeys[(home + 6) & bucketMask];
    const unsigned hits = static_cast<unsigned>(s0 == key) | static_cast<unsigned>(s1 == key) << 1 |
                          static_cast<unsigned>(s2 == key) << 2 | static_cast<unsigned>(s3 == key) << 3;
    const unsigned empties = static_cast<unsigned>(s0 == emptyKey) | static_cast<unsigned>(s1 == emptyKey) << 1 |
                             static_cast<unsigned>(s2 == emptyKey) << 2 | static_cast<unsigned>(s3 == emptyKey) << 3;
    // Bit 4 stands for "none of the four": the first set bit is the probe
    // that ends the lookup.
    const unsigned probe = static_cast<unsigned>(__builtin_ctz(Opaque(hits | empties | 16u)));
    if (probe == 4) {
      return kUnresolved;
    }
    const long found = static_cast<long>((hits >> probe) & 1u);
    const long bucket = (home + static_cast<long>(probe * (probe + 1) / 2)) & bucketMask;
    return Opaque((bucket & -found) | (found - 1));
  }

  // ProbeFour, or kUnresolved for a reserved key.
  static long ProbeFourOrReserved(const long* bucketKeys, long bucketMask, long emptyKey, long deletedKey, long key) {
    return key == emptyKey || key == deletedKey ? kUnresolved : ProbeFour(bucketKeys, bucketMask, emptyKey, key);
  }

  // buckets[k] = ProbeFour of keys[k] for k < count, or kUnresolved where
  // keys[k] is reserved. Over a run of keys, so that the wider clones
  // gather the four probes of several keys at once.
  static void ProbeFourEach(const long* keys, long count, const long* bucketKeys, long bucketMask, long emptyKey,
                            long deletedKey, long* buckets);

  // The row to copy: bucket's, or the default when bucket is -1. Selected
  // arithmetically: found and absent keys alternate at random.
  static const float* SourceRow(const float* bucketValues, long valueSize, const float* defaultValue, long bucket) {
    const uintptr_t found = -static_cast<uintptr_t>(bucket >= 0);
    const uintptr_t hitRow =
        reinterpret_cast<uintptr_t>(bucketValues) + static_cast<uintptr_t>(bucket * valueSize) * sizeof(float);
    // The integer form is the point: a pointer select would compile to a branch.
    return reinterpret_cast<const float*>(  // NOLINT(performance-no-int-to-ptr)
        (hitRow & found) | (reinterpret_cast<uintptr_t>(defaultValue) & ~found));
  }

  static bool LongRows(long valueSize) { return valueSize >= 32; }
  // For a call of keys on a table whose buckets are prefetched or not. The
  // whole call's output counts, as its ranges share the last-level cache.
  // On a Zen 4 with 32 MB of it, one thread's cached copy won up to 12 MB
  // of output (by 2-37% from 8 MB on) and the streamed one from 16 MB (by
  // 7-26%); two ranges of 8 MB each ran best streamed. Not from a table
  // beyond the caches: there the streaming stores hold on to the buffers
  // that the rows' own misses need.
  static RowCopy RowCopyFor(long valueSize, long keys, bool prefetched) {
    constexpr long kCachedOutputFloats = (long{12} << 20) / static_cast<long>(sizeof(float));
    if (!LongRows(valueSize)) {
      return RowCopy::kInline;
    }
    return !prefetched && keys > kCachedOutputFloats / valueSize ? RowCopy::kStreamed : RowCopy::kLibrary;
  }

  template <RowCopy kCopy>
  static void CopyRow(float* row, const float* source, long valueSize) {
    if constexpr (kCopy == RowCopy::kStreamed) {
      StreamCopy(row, source, valueSize);
    } else if constexpr (kCopy == RowCopy::kLibrary) {
      std::memmove(row, source, static_cast<size_t>(valueSize) * sizeof(float));
    } else {
      for (long j = 0; j < valueSize; ++j) {
        row[j] = source[j];
      }
    }
  }

  void Fail(int code, const char* message) {
    // Stored before logging, so a throwing sink cannot turn it into success.
    status.store(code, std::memory_order_relaxed);
    WriteLog(LOG_LEVEL_ERROR, message);
  }

  // Looks up key i into its row; false once the range must stop.
  template <RowCopy kCopy>
  bool LookUpOne(long i) {
    const long key = keys[i];
    if (key == table.emptyKey) {
      Fail(STATUS_EMPTY_KEY, "Using the emptyKey as a table key is not allowed");
      return false;
    }
    if (key == table.deletedKey) {
      Fail(STATUS_DELETED_KEY, "Using the deletedKey as a table key is not allowed");
      return false;
    }
    const long bucket = Probe(key);
    if (bucket == -2) {
      Fail(STATUS_ERROR, "Internal error in MutableDenseHashTable lookup");
      return false;
    }
    const long valueSize = table.valueSize;
    // A branch here, unlike in RangeCached: on a table beyond the caches the
    // predicted row starts loading before the probe has resolved.
    CopyRow<kCopy>(out + i * valueSize, bucket >= 0 ? table.bucketValues + bucket * valueSize : defaultValue,
                   valueSize);
    return true;
  }

  void Range(long begin, long end) {
    // A short range on a cached table is bound by its latency: too few keys
    // to pay for the call into a clone and the set-up of the runs (a 1-key
    // range took 60% longer), or for the longer paths' saved registers.
    // Such a range never streams: it writes too little to need the fence.
    if (end - begin < kMinCalledRun && !prefetchBuckets) {
      if (rowCopy == RowCopy::kInline) {
        RangeKeyByKey<RowCopy::kInline>(begin, end);
      } else {
        RangeKeyByKey<RowCopy::kLibrary>(begin, end);
      }
      return;
    }
    RangeLong(begin, end);
  }

  [[gnu::noinline]] void RangeLong(long begin, long end) {
    if (rowCopy == RowCopy::kInline) {
      RangeOf<RowCopy::kInline>(begin, end);
    } else if (rowCopy == RowCopy::kLibrary) {
      RangeOf<RowCopy::kLibrary>(begin, end);
    } else {
      // Also when the host's log sink throws out of a failing key.
      struct Fence {
        ~Fence() { StreamFence(); }
      } fence;
      RangeCached<RowCopy::kStreamed>(begin, end);
    }
  }

  template <RowCopy kCopy>
  void RangeOf(long begin, long end) {
    if (prefetchBuckets) {
      RangeUncached<kCopy>(begin, end);
    } else {
      RangeCached<kCopy>(begin, end);
    }
  }

  // Most keys sit in their home bucket: start fetching it (and its row) a
  // few keys early so large tables are not latency-bound. The loads of
  // ProbeFour would touch a second line per key here, which costs more than
  // the mispredictions it saves.
  template <RowCopy kCopy>
  void RangeUncached(long begin, long end) {
    // The first keys' buckets too, so that a short range has its bucket and
    // row misses in flight together rather than one after the other.
    for (long i = begin; i < end && i < begin + kLookAhead; ++i) {
      PrefetchHome(keys[i]);
    }
    long i = begin;
    for (; i + kLookAhead < end; ++i) {
      PrefetchHome(keys[i + kLookAhead]);
      if (!LookUpOne<kCopy>(i)) {
        return;
      }
    }
    for (; i < end; ++i) {
      if (!LookUpOne<kCopy>(i)) {
        return;
      }
    }
  }

  void PrefetchHome(long key) const {
    const long home = key & bucketMask;
    PrefetchReadStream(table.bucketKeys + home);
    PrefetchReadStream(table.bucketValues + home * table.valueSize);
  }

  // What the run loop on a cached table reads per key, copied out of the
  // members so that the slow path's call does not force reloads on every key.
  struct Cached {
    const long* bucketKeys;
    const float* bucketValues;
    long emptyKey;
    long deletedKey;
    long valueSize;
    long mask;
    const long* keys;
    float* rows;
    const float* defaultRow;
  };
  Cached CachedView() const {
    return {table.bucketKeys, table.bucketValues, table.emptyKey, table.deletedKey,
            table.valueSize,  bucketMask,         keys,           out,
            defaultValue};
  }

  // Key i's row from its four-probe result; false once the range must stop.
  template <RowCopy kCopy>
  ZELVAN_KERNEL_INLINE bool Deliver(const Cached& c, long i, long bucket) {
    if (bucket == kUnresolved) {
      // Reserved keys and long probe sequences take the exact loop.
      return LookUpOne<kCopy>(i);
    }
    CopyRow<kCopy>(c.rows + i * c.valueSize, SourceRow(c.bucketValues, c.valueSize, c.defaultRow, bucket), c.valueSize);
    return true;
  }

  // Scalar locals rather than a Cached copy: a short range is bound by the
  // latency from key to row, and the copy put a store and a reload on that
  // path (1 ns of 12 on a 1-key range). Its rows go out inline for the same
  // reason: Deliver taking these locals compiled to a spillier loop, 0.6 ns
  // slower on a 1-key range.
  template <RowCopy kCopy>
  void RangeKeyByKey(long begin, long end) {
    const long* const bucketKeys = table.bucketKeys;
    const float* const bucketValues = table.bucketValues;
    const long emptyKey = table.emptyKey;
    const long deletedKey = table.deletedKey;
    const long valueSize = table.valueSize;
    const long mask = bucketMask;
    const long* const keyList = keys;
    float* const rows = out;
    const float* const defaultRow = defaultValue;
    for (long i = begin; i < end; ++i) {
      const long bucket = ProbeFourOrReserved(bucketKeys, mask, emptyKey, deletedKey, keyList[i]);
      if (bucket == kUnresolved) {
        // Reserved keys and long probe sequences take the exact loop.
        if (!LookUpOne<kCopy>(i)) {
          return;
        }
        continue;
      }
      CopyRow<kCopy>(rows + i * valueSize, SourceRow(bucketValues, valueSize, defaultRow, bucket), valueSize);
    }
  }

  template <RowCopy kCopy>
  void RangeCached(long begin, long end) {
    const Cached c = CachedView();
    constexpr long run = kCopy == RowCopy::kStreamed ? kStreamedRun : kRun;
    long buckets[kRun];
    for (long i = begin; i < end; i += run) {
      const long count = end - i < run ? end - i : run;
      ProbeFourEach(c.keys + i, count, c.bucketKeys, c.mask, c.emptyKey, c.deletedKey, buckets);
      for (long k = 0; k < count; ++k) {
        if (!Deliver<kCopy>(c, i + k, buckets[k])) {
          return;
        }
      }
    }
  }

  // Below this table size the buckets stay cached and a prefetch per key
  // is pure overhead. Decided once per call, like bucketMask.
  static bool WorthPrefetching(const TableInfo& t) {
    constexpr size_t kPrefetchTableBytes = size_t{1} << 20;
    return t.valueSize >= static_cast<long>(kPrefetchTableBytes) ||
           t.numBuckets > static_cast<long>(kPrefetchTableBytes /
                                            (sizeof(long) + sizeof(float) * static_cast<size_t>(t.valueSize)));
  }
};

}  // namespace zelvan

#endif  // ZELVAN_LOOKUP_LOOKUP_H_
