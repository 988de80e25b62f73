// A reference dense hash table that follows the layout rule Find relies on:
// triangular probing from key & (numBuckets - 1), first free slot wins.
#ifndef ZELVAN_TESTS_DENSE_TABLE_H_
#define ZELVAN_TESTS_DENSE_TABLE_H_

#include <cstddef>
#include <map>
#include <vector>

#include "zelvan/zelvan.h"

namespace zelvan_test {

class DenseTable {
 public:
  DenseTable(long numBuckets, long valueSize, long emptyKey = -1, long deletedKey = -2)
      : numBuckets_(numBuckets),
        valueSize_(valueSize),
        emptyKey_(emptyKey),
        deletedKey_(deletedKey),
        keys_(static_cast<size_t>(numBuckets), emptyKey),
        // Never empty, so bucketValues is non-null even with valueSize 0.
        values_(static_cast<size_t>(numBuckets * valueSize) + 1, -1.0f) {}

  // The row stored with key: distinct per key so mixed-up rows show.
  std::vector<float> RowFor(long key) const {
    std::vector<float> row(static_cast<size_t>(valueSize_));
    for (long j = 0; j < valueSize_; ++j)
      row[static_cast<size_t>(j)] = static_cast<float>(key % 100003) + 0.25f * static_cast<float>(j);
    return row;
  }

  // Returns the bucket used, or -1 when the table is full.
  long Insert(long key) {
    long bucket = key & (numBuckets_ - 1);
    for (long probes = 0; probes < numBuckets_;) {
      const long stored = keys_[static_cast<size_t>(bucket)];
      if (stored == emptyKey_ || stored == deletedKey_) {
        Put(bucket, key);
        return bucket;
      }
      ++probes;
      bucket = (bucket + probes) & (numBuckets_ - 1);
    }
    return -1;
  }

  // Writes key into bucket directly, whatever the layout rule says.
  void Put(long bucket, long key) {
    keys_[static_cast<size_t>(bucket)] = key;
    const std::vector<float> row = RowFor(key);
    for (long j = 0; j < valueSize_; ++j)
      values_[static_cast<size_t>(bucket * valueSize_ + j)] = row[static_cast<size_t>(j)];
  }
  void MarkDeleted(long bucket) { keys_[static_cast<size_t>(bucket)] = deletedKey_; }

  // What Find must write for key on a table that follows the rule.
  std::vector<float> Expected(long key, const std::vector<float>& defaultRow) const {
    long bucket = key & (numBuckets_ - 1);
    for (long probes = 0; probes < numBuckets_;) {
      const long stored = keys_[static_cast<size_t>(bucket)];
      if (stored == key) return RowFor(key);
      if (stored == emptyKey_) break;
      ++probes;
      bucket = (bucket + probes) & (numBuckets_ - 1);
    }
    return defaultRow;
  }

  zelvan::TableInfo Info() const {
    return {numBuckets_, valueSize_, emptyKey_, deletedKey_, keys_.data(), values_.data()};
  }
  long valueSize() const { return valueSize_; }

 private:
  long numBuckets_;
  long valueSize_;
  long emptyKey_;
  long deletedKey_;
  std::vector<long> keys_;
  std::vector<float> values_;
};

}  // namespace zelvan_test

#endif  // ZELVAN_TESTS_DENSE_TABLE_H_
