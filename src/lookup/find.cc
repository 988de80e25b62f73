// Find: batched lookup in a host-owned open-addressing dense hash table,
// spread over the worker pool one contiguous range per worker.
#include <functional>

#include "common/log.h"
#include "common/shard.h"
#include "common/thread_pool.h"
#include "lookup/lookup.h"
#include "zelvan/zelvan.h"

namespace zelvan {
namespace {

int ValidateFind(const TableInfo& table, const long* keys, float* out, const float* defaultValue, long length) {
  if (out == nullptr || defaultValue == nullptr || keys == nullptr || table.bucketKeys == nullptr ||
      table.bucketValues == nullptr) {
    return LogError(STATUS_NULL_POINTER, "Parameter verification failed for the Find Op.");
  }
  if (table.emptyKey == table.deletedKey) {
    return LogError(STATUS_INVALID_PARAM, "Empty and deleted key cannot be equal.");
  }
  if (table.numBuckets <= 0) {
    return LogError(STATUS_ERROR, "numBuckets is invalid.");
  }
  if ((table.numBuckets & (table.numBuckets - 1)) != 0) {
    return LogError(STATUS_INVALID_PARAM, "numBuckets must be power of 2.");
  }
  if (table.valueSize < 0) {
    return LogError(STATUS_ERROR, "valueSize is invalid.");
  }
  if (length < 0) {
    return LogError(STATUS_ERROR, "Length value is invalid.");
  }
  if (length == 0) {
    return LogError(STATUS_ERROR, "Length is 0, but keys is not none, please check your input.");
  }
  return STATUS_SUCCESS;
}

}  // namespace

int Find(const TableInfo& tableInfo, const long* keys, float* out, const float* defaultValue, long length) {
  const int invalid = ValidateFind(tableInfo, keys, out, defaultValue, length);
  if (invalid != STATUS_SUCCESS) {
    return invalid;
  }
  Lookup lookup(tableInfo, keys, out, defaultValue, length);

  ThreadPool* pool = ThreadPool::GetInstance();
  if (pool == nullptr) {
    return LogError(STATUS_ERROR, "Failed to create the thread pool.");
  }
  const std::function<void(long, long)> range = [&lookup](long begin, long end) {
    try {
      lookup.Range(begin, end);
    } catch (...) {
      // An exception (a throwing sink, say) ends the range; its keys are
      // not all written, so the call must not report success.
      int expected = STATUS_SUCCESS;
      lookup.status.compare_exchange_strong(expected, STATUS_ERROR, std::memory_order_relaxed);
    }
  };
  Shard(pool->GetThreadNum(), length, range);
  return lookup.status.load(std::memory_order_relaxed);
}

}  // namespace zelvan
