// The first four probes of a run of keys, for lookups on a cached table.
#include "common/arch.h"
#include "lookup/lookup.h"

namespace zelvan {

ZELVAN_PORTABLE_CLONES
void Lookup::ProbeFourEach(const long* __restrict keys, long count, const long* __restrict bucketKeys, long bucketMask,
                           long emptyKey, long deletedKey, long* __restrict buckets) {
  if (!GathersAreNative()) {
    for (long k = 0; k < count; ++k) {
      buckets[k] = ProbeFourOrReserved(bucketKeys, bucketMask, emptyKey, deletedKey, keys[k]);
    }
    return;
  }
  // The same answer as ProbeFour, as a chain of masked selects that the
  // vectoriser turns into compares and blends across keys: the last probe
  // first, so that the earliest one that ends the lookup wins.
  const auto pick = [](long current, bool take, long value) ZELVAN_LAMBDA_INLINE {
    const long mask = -static_cast<long>(take);
    return (current & ~mask) | (value & mask);
  };
  for (long k = 0; k < count; ++k) {
    const long key = keys[k];
    const long b0 = key & bucketMask;
    const long b1 = (b0 + 1) & bucketMask;
    const long b2 = (b0 + 3) & bucketMask;
    const long b3 = (b0 + 6) & bucketMask;
    const long s0 = bucketKeys[b0];
    const long s1 = bucketKeys[b1];
    const long s2 = bucketKeys[b2];
    const long s3 = bucketKeys[b3];
    long bucket = kUnresolved;
    bucket = pick(bucket, s3 == emptyKey, -1);
    bucket = pick(bucket, s3 == key, b3);
    bucket = pick(bucket, s2 == emptyKey, -1);
    bucket = pick(bucket, s2 == key, b2);
    bucket = pick(bucket, s1 == emptyKey, -1);
    bucket = pick(bucket, s1 == key, b1);
    bucket = pick(bucket, s0 == emptyKey, -1);
    bucket = pick(bucket, s0 == key, b0);
    buckets[k] = pick(bucket, (key == emptyKey) | (key == deletedKey), kUnresolved);
  }
}

}  // namespace zelvan
