// The per-range lookup of Find, shared by every range of one call.
#ifndef ZELVAN_LOOKUP_LOOKUP_H_
#define ZELVAN_LOOKUP_LOOKUP_H_

#include <atomic>

#include "common/log.h"
#include "common/prefetch.h"
#include "zelvan/zelvan.h"

namespace zelvan {

// Everything one call's ranges share; lives in Find's frame until Shard has
// waited for every range.
struct Lookup {
  const TableInfo& table;
  const long* keys;
  float* out;
  const float* defaultValue;
  long bucketMask;
  bool prefetchBuckets;
  std::atomic<int> status{STATUS_SUCCESS};

  static constexpr long kLookAhead = 8;

  // Index of key's bucket, -1 when absent, -2 when the probe bound is hit.
  long Probe(long key) const {
    const long* bucketKeys = table.bucketKeys;
    long bucket = key & bucketMask;
    for (long probes = 0;;) {
      const long stored = bucketKeys[bucket];
      if (stored == key) return bucket;
      if (stored == table.emptyKey) return -1;
      ++probes;
      // Triangular steps visit every bucket once in numBuckets probes.
      bucket = (bucket + probes) & bucketMask;
      if (probes >= table.numBuckets) return -2;
    }
  }

  void Fail(int code, const char* message) {
    // Stored before logging, so a throwing sink cannot turn it into success.
    status.store(code, std::memory_order_relaxed);
    WriteLog(LOG_LEVEL_ERROR, message);
  }

  // Looks up key i into its row; false once the range must stop.
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
    const float* source = bucket >= 0 ? table.bucketValues + bucket * valueSize : defaultValue;
    float* row = out + i * valueSize;
    for (long j = 0; j < valueSize; ++j) {
      row[j] = source[j];
    }
    return true;
  }

  void Range(long begin, long end) {
    long i = begin;
    if (prefetchBuckets) {
      // Most keys sit in their home bucket: start fetching it (and its row)
      // a few keys early so large tables are not latency-bound.
      for (; i + kLookAhead < end; ++i) {
        const long home = keys[i + kLookAhead] & bucketMask;
        PrefetchReadStream(table.bucketKeys + home);
        PrefetchReadStream(table.bucketValues + home * table.valueSize);
        if (!LookUpOne(i)) return;
      }
    }
    for (; i < end; ++i) {
      if (!LookUpOne(i)) return;
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
