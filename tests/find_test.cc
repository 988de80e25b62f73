// Find through the exported entry point.
#include <gtest/gtest.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <random>
#include <thread>
#include <tuple>
#include <vector>

#include "dense_table.h"
#include "log_capture.h"
#include "zelvan/zelvan.h"

namespace {

using zelvan::TableInfo;
using zelvan_test::DenseTable;
using zelvan_test::LogCapture;
using zelvan_test::One;

constexpr float kUntouched = 12345.5f;

// The pool has one worker per CPU of the thread that created it: this
// binary's main thread, whose mask nothing narrows.
size_t PoolWorkers() {
  cpu_set_t mask;
  CPU_ZERO(&mask);
  sched_getaffinity(0, sizeof(mask), &mask);
  return static_cast<size_t>(CPU_COUNT(&mask));
}

class FindTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LogCapture::Get().Install();
    LogCapture::Get().Clear();
  }
  // Runs Find on a fresh output filled with kUntouched.
  int Run(const TableInfo& info, const std::vector<long>& keys, const std::vector<float>& defaultRow) {
    out.assign(keys.size() * static_cast<size_t>(std::max(info.valueSize, 0L)), kUntouched);
    return zelvan::Find(info, keys.data(), out.data(), defaultRow.data(), static_cast<long>(keys.size()));
  }
  std::vector<float> RowOf(size_t i, long valueSize) const {
    return {out.begin() + static_cast<long>(i) * valueSize, out.begin() + static_cast<long>(i + 1) * valueSize};
  }
  std::vector<float> out;
};

TEST_F(FindTest, ValidationRowsInOrder) {
  DenseTable table(8, 2);
  const TableInfo good = table.Info();
  const long keys[2] = {1, 2};
  float rows[4] = {kUntouched, kUntouched, kUntouched, kUntouched};
  float* const dst = rows;
  const float def[2] = {0, 0};
  auto with = [&](auto change) {
    TableInfo t = good;
    change(t);
    return t;
  };
  struct Case {
    TableInfo info;
    const long* keys;
    float* dst;
    const float* def;
    long length;
    int status;
    const char* message;
  };
  const char* kNull = "Parameter verification failed for the Find Op.";
  const Case cases[] = {
      {good, nullptr, dst, def, 2, 2, kNull},
      {good, keys, nullptr, def, 2, 2, kNull},
      {good, keys, dst, nullptr, 2, 2, kNull},
      {with([](TableInfo& t) { t.bucketKeys = nullptr; }), keys, dst, def, 2, 2, kNull},
      {with([](TableInfo& t) { t.bucketValues = nullptr; }), keys, dst, def, 2, 2, kNull},
      // A null pointer beats every bad field.
      {with([](TableInfo& t) {
         t.numBuckets = 6;
         t.emptyKey = t.deletedKey;
         t.valueSize = -1;
       }),
       nullptr, dst, def, -1, 2, kNull},
      {good, nullptr, dst, def, 0, 2, kNull},
      // Equal keys beat a bad numBuckets.
      {with([](TableInfo& t) {
         t.emptyKey = t.deletedKey;
         t.numBuckets = 0;
       }),
       keys, dst, def, 2, 5, "Empty and deleted key cannot be equal."},
      {with([](TableInfo& t) { t.numBuckets = 0; }), keys, dst, def, 2, 1, "numBuckets is invalid."},
      {with([](TableInfo& t) { t.numBuckets = -8; }), keys, dst, def, 2, 1, "numBuckets is invalid."},
      {with([](TableInfo& t) {
         t.numBuckets = 6;
         t.valueSize = -1;
       }),
       keys, dst, def, 2, 5, "numBuckets must be power of 2."},
      {with([](TableInfo& t) { t.valueSize = -1; }), keys, dst, def, -1, 1, "valueSize is invalid."},
      {good, keys, dst, def, -1, 1, "Length value is invalid."},
      {good, keys, dst, def, 0, 1, "Length is 0, but keys is not none, please check your input."},
  };
  int index = 0;
  for (const Case& c : cases) {
    EXPECT_EQ(zelvan::Find(c.info, c.keys, c.dst, c.def, c.length), c.status) << "case " << index;
    EXPECT_EQ(LogCapture::Get().Take(), One(c.message)) << "case " << index;
    ++index;
  }
  for (float v : rows) EXPECT_EQ(v, kUntouched);
}

TEST_F(FindTest, FoundAbsentDeletedAndEmptyOnTheProbeSequence) {
  // numBuckets 8, key 5: buckets 5, 6, 0, 3, 7, 4, 2, 1.
  DenseTable table(8, 3);
  table.Put(5, 13);      // another key at home
  table.MarkDeleted(6);  // stepped over
  table.Put(0, 5);       // key 5 found third
  table.Put(2, 21);      // 21's home is 5: sequence 5 6 0 3 -> 3 is empty, so 21 is absent
  const std::vector<float> def = {-7.0f, -8.0f, -9.0f};
  const std::vector<long> keys = {5, 13, 21, 29, -3};
  ASSERT_EQ(Run(table.Info(), keys, def), 0);
  EXPECT_EQ(RowOf(0, 3), table.RowFor(5));
  EXPECT_EQ(RowOf(1, 3), table.RowFor(13));
  EXPECT_EQ(RowOf(2, 3), def);  // behind an empty bucket
  EXPECT_EQ(RowOf(3, 3), def);
  EXPECT_EQ(RowOf(4, 3), def);
  EXPECT_TRUE(LogCapture::Get().Take().empty());
}

TEST_F(FindTest, NegativeKeysUseTheirLowBits) {
  DenseTable table(8, 1);
  ASSERT_EQ(table.Insert(-3), 5);  // -3 & 7 == 5
  ASSERT_EQ(Run(table.Info(), {-3}, {0.0f}), 0);
  EXPECT_EQ(out[0], table.RowFor(-3)[0]);
}

TEST_F(FindTest, SingleBucketTable) {
  DenseTable table(1, 2);
  const std::vector<float> def = {1.0f, 2.0f};
  EXPECT_EQ(Run(table.Info(), {42, 43}, def), 0);  // empty: absent
  EXPECT_EQ(out, (std::vector<float>{1, 2, 1, 2}));
  table.Put(0, 42);
  EXPECT_EQ(Run(table.Info(), {42}, def), 0);
  EXPECT_EQ(RowOf(0, 2), table.RowFor(42));
  EXPECT_EQ(Run(table.Info(), {43}, def), 1);  // full, not held
  EXPECT_EQ(LogCapture::Get().Take(), One("Internal error in MutableDenseHashTable lookup"));
  EXPECT_EQ(out, (std::vector<float>{kUntouched, kUntouched}));
}

TEST_F(FindTest, FullTableWithoutTheKeyHitsTheProbeBound) {
  DenseTable table(64, 1);
  for (long k = 0; k < 64; ++k) ASSERT_GE(table.Insert(k * 3), 0);
  EXPECT_EQ(Run(table.Info(), {1000}, {0.0f}), 1);
  EXPECT_EQ(LogCapture::Get().Take(), One("Internal error in MutableDenseHashTable lookup"));
  EXPECT_EQ(Run(table.Info(), {63 * 3}, {0.0f}), 0);  // present keys still found
}

TEST_F(FindTest, ZeroValueSizeLooksUpButWritesNothing) {
  DenseTable table(4, 0);
  table.Insert(1);
  long keys[2] = {1, 7};
  float sentinel = kUntouched;
  float def = 0;
  EXPECT_EQ(zelvan::Find(table.Info(), keys, &sentinel, &def, 2), 0);
  EXPECT_EQ(sentinel, kUntouched);
  keys[1] = -1;  // emptyKey still fails
  EXPECT_EQ(zelvan::Find(table.Info(), keys, &sentinel, &def, 2), 3);
  EXPECT_EQ(LogCapture::Get().Take(), One("Using the emptyKey as a table key is not allowed"));
}

TEST_F(FindTest, ReservedKeyStopsOnlyItsOwnRange) {
  // With w workers and length L the ranges are ceil(L/w) long; the failing
  // key's range stops at it, every other range is written in full. The
  // cached table's keys are probed in runs before their rows are copied, so
  // the failing key goes on both sides of run ends, in short and long rows,
  // and in a batch long enough for long rows to stream; short ranges are
  // looked up key by key.
  DenseTable shortRows(1024, 4);
  DenseTable longRows(1024, 40);
  for (long k = 0; k < 300; ++k) {
    shortRows.Insert(k * 7);
    longRows.Insert(k * 7);
  }
  const size_t workers = PoolWorkers();
  for (const auto& [table, length, failingAt] :
       {std::tuple<const DenseTable*, size_t, std::vector<size_t>>{&shortRows, 9, {0, 3}},
        {&shortRows, 97, {0, 40, 63, 64, 65}},
        {&longRows, 300, {1, 63, 64, 129}},
        {&longRows, 20000, {7, 8, 9, 64, 1000}}}) {
    const long valueSize = table->Info().valueSize;
    const std::vector<float> def(static_cast<size_t>(valueSize), 9.0f);
    for (const size_t failing : failingAt) {
      for (const auto& [reserved, status, message] :
           {std::tuple<long, int, const char*>{-1, 3, "Using the emptyKey as a table key is not allowed"},
            {-2, 4, "Using the deletedKey as a table key is not allowed"}}) {
        std::vector<long> keys(length);
        for (size_t i = 0; i < keys.size(); ++i) keys[i] = static_cast<long>(i % 600) * 7;
        keys[failing] = reserved;
        ASSERT_EQ(Run(table->Info(), keys, def), status);
        EXPECT_EQ(LogCapture::Get().Take(), One(message));
        const size_t block = (keys.size() + workers - 1) / workers;
        const size_t rangeStart = failing / block * block;
        const size_t rangeEnd = std::min(keys.size(), rangeStart + block);
        for (size_t i = 0; i < keys.size(); ++i) {
          const bool unwritten = i >= failing && i < rangeEnd;
          ASSERT_EQ(RowOf(i, valueSize), unwritten ? std::vector<float>(static_cast<size_t>(valueSize), kUntouched)
                                                   : table->Expected(keys[i], def))
              << "length " << length << " failing " << failing << " row " << i;
        }
      }
    }
  }
}

TEST_F(FindTest, TwoFailingRangesLogTwice) {
  DenseTable table(16, 1);
  std::vector<long> keys(64, 3);
  keys[0] = -1;
  keys[63] = -2;
  const int status = Run(table.Info(), keys, {0.0f});
  const auto log = LogCapture::Get().Take();
  if (PoolWorkers() >= 2) {
    EXPECT_TRUE(status == 3 || status == 4);
    EXPECT_EQ(log.size(), 2u);
  } else {
    EXPECT_EQ(status, 3);
    EXPECT_EQ(log.size(), 1u);
  }
}

TEST_F(FindTest, LargeRandomBatchesMatchTheReference) {
  std::mt19937_64 rng(99);
  // Short and long rows, in a table that stays cached (where 80001 long
  // rows, 12.8 MB, stream past the caches) and in ones large enough to be
  // prefetched.
  const std::pair<long, long> shapes[] = {{1L << 14, 1L}, {1L << 14, 16L}, {1L << 14, 40L}, {1L << 10, 40L}};
  for (const auto& [numBuckets, valueSize] : shapes) {
    DenseTable table(numBuckets, valueSize);
    std::vector<long> present;
    for (long i = 0; i < numBuckets * 3 / 4; ++i) {
      const long key = static_cast<long>(rng() >> 1) - (1L << 61);
      if (key == -1 || key == -2) continue;
      if (table.Insert(key) >= 0) present.push_back(key);
    }
    // Delete some so that lookups step over tombstones.
    for (long i = 0; i < numBuckets / 32; ++i)
      table.MarkDeleted(static_cast<long>(rng() % static_cast<uint64_t>(numBuckets)));
    std::vector<long> keys(80001);
    for (long& k : keys) {
      k = rng() % 2 ? present[rng() % present.size()] : static_cast<long>(rng() % 1000000) + 3;
    }
    std::vector<float> def(static_cast<size_t>(valueSize), -0.5f);
    ASSERT_EQ(Run(table.Info(), keys, def), 0);
    for (size_t i = 0; i < keys.size(); ++i) {
      ASSERT_EQ(RowOf(i, valueSize), table.Expected(keys[i], def)) << i;
    }
  }
}

TEST_F(FindTest, StreamedRowsAtEveryAlignmentStayInsideTheirRows) {
  // Rows of 33 floats land at every offset from a 16-byte boundary, so
  // every row starts and ends off one; and the output is shifted by 0-3
  // floats. The call writes 13 MB, enough for the rows to stream past the
  // caches.
  DenseTable table(1024, 33);
  for (long k = 0; k < 500; ++k) table.Insert(k * 5);
  std::vector<long> keys(100001);
  for (size_t i = 0; i < keys.size(); ++i) keys[i] = static_cast<long>(i * 7 % 1000) * 3;
  const std::vector<float> def(33, -7.25f);
  constexpr size_t kGuard = 8;
  for (size_t shift = 0; shift < 4; ++shift) {
    std::vector<float> buffer(kGuard + shift + keys.size() * 33 + kGuard, kUntouched);
    float* rows = buffer.data() + kGuard + shift;
    ASSERT_EQ(zelvan::Find(table.Info(), keys.data(), rows, def.data(), static_cast<long>(keys.size())), 0);
    for (size_t i = 0; i < keys.size(); ++i) {
      ASSERT_EQ(std::vector<float>(rows + i * 33, rows + (i + 1) * 33), table.Expected(keys[i], def))
          << "shift " << shift << " row " << i;
    }
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.begin() + static_cast<long>(kGuard + shift),
                            [](float v) { return v == kUntouched; }));
    EXPECT_TRUE(std::all_of(buffer.end() - kGuard, buffer.end(), [](float v) { return v == kUntouched; }));
  }
}

TEST_F(FindTest, DenseSmallTablesMatchTheReferenceAtEveryProbeDepth) {
  // Crowded small tables, with keys placed anywhere and deleted buckets
  // mixed in, put the end of a lookup at every depth of the probe sequence,
  // wrapping past the table's end, before and after the fourth probe.
  std::mt19937_64 rng(7);
  for (long numBuckets : {1L, 2L, 4L, 8L, 16L, 64L}) {
    for (int round = 0; round < 40; ++round) {
      DenseTable table(numBuckets, 2);
      const long emptyBucket = static_cast<long>(rng() % static_cast<unsigned long>(numBuckets));
      for (long b = 0; b < numBuckets; ++b) {
        if (b == emptyBucket) continue;  // one empty bucket keeps every lookup bounded
        if (rng() % 4 == 0) {
          table.MarkDeleted(b);
        } else {
          table.Put(b, static_cast<long>(rng() % static_cast<unsigned long>(4 * numBuckets)));
        }
      }
      // Every key up to 4 * numBuckets, repeated to fill ranges long enough
      // to be probed in runs as well as key by key.
      std::vector<long> keys(static_cast<size_t>(std::max(4 * numBuckets, 100L)));
      for (size_t k = 0; k < keys.size(); ++k) keys[k] = static_cast<long>(k % static_cast<size_t>(4 * numBuckets));
      const std::vector<float> def = {-1.5f, -2.5f};
      ASSERT_EQ(Run(table.Info(), keys, def), 0) << numBuckets;
      for (size_t k = 0; k < keys.size(); ++k) {
        ASSERT_EQ(RowOf(k, 2), table.Expected(keys[k], def)) << numBuckets << " key " << k;
      }
    }
  }
  EXPECT_TRUE(LogCapture::Get().Take().empty());
}

TEST_F(FindTest, ManyHostThreadsShareThePool) {
  DenseTable table(4096, 8);
  for (long k = 0; k < 3000; ++k) table.Insert(k * 5 + 1);
  const std::vector<float> def(8, 0.0f);
  std::atomic<int> mismatches{0};
  std::vector<std::thread> hosts;
  for (int h = 0; h < 8; ++h) {
    hosts.emplace_back([&, h] {
      for (int round = 0; round < 40; ++round) {
        std::vector<long> keys(static_cast<size_t>(1 + (h * 131 + round * 17) % 900));
        for (size_t i = 0; i < keys.size(); ++i) keys[i] = static_cast<long>((i * 7 + static_cast<size_t>(h)) % 16000);
        std::vector<float> local(keys.size() * 8);
        if (zelvan::Find(table.Info(), keys.data(), local.data(), def.data(), static_cast<long>(keys.size())) != 0) {
          mismatches++;
          continue;
        }
        for (size_t i = 0; i < keys.size(); ++i) {
          const auto want = table.Expected(keys[i], def);
          if (!std::equal(want.begin(), want.end(), local.begin() + static_cast<long>(i) * 8)) mismatches++;
        }
      }
    });
  }
  for (auto& t : hosts) t.join();
  EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
