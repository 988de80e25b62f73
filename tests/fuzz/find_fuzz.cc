// Differential fuzzing of Find: random TableInfo fields (valid and invalid),
// tables filled by a reference insert that follows the layout rule or that
// break it, keys including emptyKey/deletedKey. Status, messages and every
// row are checked against an independent model of the lookup.
#include <fuzzer/FuzzedDataProvider.h>
#include <sched.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "zelvan/zelvan.h"

namespace {

std::mutex logMutex;
std::vector<std::string> logged;
void Sink(int level, const char* message) {
  std::lock_guard<std::mutex> lock(logMutex);
  if (level != 3) std::abort();
  logged.emplace_back(message);
}

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "find_fuzz: %s\n", what);
  std::abort();
}

long Workers() {
  cpu_set_t mask;
  CPU_ZERO(&mask);
  return sched_getaffinity(0, sizeof(mask), &mask) == 0 ? CPU_COUNT(&mask) : 1;
}

// Outcome of one key: a bucket, absent (-1), or a failure code.
struct KeyOutcome {
  int code;  // 0, 1, 3, 4
  long bucket;
};

KeyOutcome Model(const zelvan::TableInfo& t, long key) {
  if (key == t.emptyKey) return {3, 0};
  if (key == t.deletedKey) return {4, 0};
  const long mask = t.numBuckets - 1;
  long bucket = key & mask;
  for (long j = 0; j < t.numBuckets; ++j) {
    // The j-th bucket examined is home + j(j+1)/2.
    bucket = (key + j * (j + 1) / 2) & mask;
    if (t.bucketKeys[bucket] == key) return {0, bucket};
    if (t.bucketKeys[bucket] == t.emptyKey) return {0, -1};
  }
  return {1, 0};
}

const char* MessageFor(int code) {
  switch (code) {
    case 3:
      return "Using the emptyKey as a table key is not allowed";
    case 4:
      return "Using the deletedKey as a table key is not allowed";
    default:
      return "Internal error in MutableDenseHashTable lookup";
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool installed = (zelvan::SetExternalLogFunc(&Sink), true);
  (void)installed;
  FuzzedDataProvider in(data, size);

  const int log2 = in.ConsumeIntegralInRange(0, 8);
  long numBuckets = 1L << log2;
  switch (in.ConsumeIntegralInRange(0, 9)) {
    case 0:
      numBuckets = in.ConsumeIntegralInRange<long>(-10, 300);
      break;  // maybe invalid
    default:
      break;
  }
  const long valueSize = in.ConsumeIntegralInRange<long>(-1, 5);
  const long emptyKey = in.ConsumeIntegralInRange<long>(-3, 3);
  const long deletedKey = in.ConsumeIntegralInRange<long>(-3, 3);
  long length = in.ConsumeIntegralInRange<long>(-2, 300);
  const unsigned nulls = in.ConsumeIntegralInRange(0, 40);  // mostly none

  const long buckets = std::max(numBuckets, 1L);
  const long rows = std::max(valueSize, 0L);
  std::vector<long> bucketKeys(static_cast<size_t>(buckets), emptyKey);
  std::vector<float> bucketValues(static_cast<size_t>(buckets * rows + 1));
  for (size_t v = 0; v < bucketValues.size(); ++v) bucketValues[v] = static_cast<float>(v) + 0.5f;
  const bool powerOfTwo = numBuckets > 0 && (numBuckets & (numBuckets - 1)) == 0;
  // Fill by the layout rule, then perhaps break it.
  const int inserts = in.ConsumeIntegralInRange(0, static_cast<int>(buckets));
  for (int e = 0; e < inserts && powerOfTwo; ++e) {
    const long key = in.ConsumeIntegralInRange<long>(-50, 50);
    if (key == emptyKey || key == deletedKey) continue;
    for (long j = 0; j < buckets; ++j) {
      const long b = (key + j * (j + 1) / 2) & (buckets - 1);
      if (bucketKeys[b] == emptyKey || bucketKeys[b] == deletedKey) {
        bucketKeys[b] = key;
        break;
      }
      if (bucketKeys[b] == key) break;
    }
  }
  const int tweaks = in.ConsumeIntegralInRange(0, 6);
  for (int e = 0; e < tweaks; ++e) {
    const size_t b = in.ConsumeIntegralInRange<size_t>(0, bucketKeys.size() - 1);
    bucketKeys[b] = in.ConsumeBool() ? deletedKey : in.ConsumeIntegralInRange<long>(-50, 50);
  }
  std::vector<long> keys(static_cast<size_t>(std::max(length, 0L)) + 1);
  for (long& k : keys) k = in.ConsumeIntegralInRange<long>(-4, 60);
  std::vector<float> defaultRow(static_cast<size_t>(rows) + 1, -1.0f);
  std::vector<float> out(keys.size() * static_cast<size_t>(rows) + 1, 1234.0f);

  zelvan::TableInfo table{numBuckets, valueSize, emptyKey, deletedKey, bucketKeys.data(), bucketValues.data()};
  const long* keyPtr = nulls == 1 ? nullptr : keys.data();
  float* outPtr = nulls == 2 ? nullptr : out.data();
  const float* defPtr = nulls == 3 ? nullptr : defaultRow.data();
  if (nulls == 4) table.bucketKeys = nullptr;
  if (nulls == 5) table.bucketValues = nullptr;

  {
    std::lock_guard<std::mutex> lock(logMutex);
    logged.clear();
  }
  const int status = zelvan::Find(table, keyPtr, outPtr, defPtr, length);
  std::vector<std::string> messages;
  {
    std::lock_guard<std::mutex> lock(logMutex);
    messages.swap(logged);
  }

  // Validation, in order.
  const char* invalid = nullptr;
  int want = 0;
  if (nulls >= 1 && nulls <= 5) {
    invalid = "Parameter verification failed for the Find Op.", want = 2;
  } else if (emptyKey == deletedKey) {
    invalid = "Empty and deleted key cannot be equal.", want = 5;
  } else if (numBuckets <= 0) {
    invalid = "numBuckets is invalid.", want = 1;
  } else if (!powerOfTwo) {
    invalid = "numBuckets must be power of 2.", want = 5;
  } else if (valueSize < 0) {
    invalid = "valueSize is invalid.", want = 1;
  } else if (length < 0) {
    invalid = "Length value is invalid.", want = 1;
  } else if (length == 0) {
    invalid = "Length is 0, but keys is not none, please check your input.", want = 1;
  }
  if (invalid) {
    if (status != want) Fail("wrong validation status");
    if (messages.size() != 1 || messages[0] != invalid) Fail("wrong validation message");
    if (std::any_of(out.begin(), out.end(), [](float v) { return v != 1234.0f; })) Fail("output written");
    return 0;
  }

  // The lookup, range by range as the pool splits it.
  const long workers = std::min(Workers(), length);
  const long block = (length + workers - 1) / workers;
  std::vector<int> failures;
  std::vector<float> expected(out.size(), 1234.0f);
  for (long start = 0; start < length; start += block) {
    const long end = std::min(start + block, length);
    for (long i = start; i < end; ++i) {
      const KeyOutcome o = Model(table, keys[static_cast<size_t>(i)]);
      if (o.code != 0) {
        failures.push_back(o.code);
        break;
      }
      const float* src = o.bucket >= 0 ? &bucketValues[static_cast<size_t>(o.bucket * rows)] : defaultRow.data();
      std::copy(src, src + rows, expected.begin() + i * rows);
    }
  }
  if (failures.empty() ? status != 0 : std::find(failures.begin(), failures.end(), status) == failures.end()) {
    Fail("wrong lookup status");
  }
  if (messages.size() != failures.size()) Fail("one message per failing range expected");
  std::vector<std::string> wantMessages;
  for (int code : failures) wantMessages.emplace_back(MessageFor(code));
  std::sort(messages.begin(), messages.end());
  std::sort(wantMessages.begin(), wantMessages.end());
  if (messages != wantMessages) Fail("wrong lookup messages");
  if (std::memcmp(out.data(), expected.data(), out.size() * sizeof(float)) != 0) Fail("rows differ");
  return 0;
}
