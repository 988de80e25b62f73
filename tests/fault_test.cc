// Allocation failure injected at every allocation of pool creation, Shard's
// queueing, Matmul's tile list and the failure paths: each ends in a status
// or std::bad_alloc as documented, never a crash, hang, leak or stray thread,
// and the next call works.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <new>
#include <vector>

#include "alloc_fail.h"
#include "child.h"
#include "dense_table.h"
#include "zelvan/zelvan.h"

namespace {

using zelvan_test::DenseTable;

constexpr long kMaxPoints = 200;

struct FindCase {
  DenseTable table{256, 4};
  std::vector<long> keys;
  std::vector<float> def = std::vector<float>(4, -1.0f);
  std::vector<float> out;
  FindCase() {
    for (long k = 0; k < 150; ++k) table.Insert(k * 3);
    for (long i = 0; i < 1000; ++i) keys.push_back(i % 500);
    out.assign(keys.size() * 4, 7.0f);
  }
  int Run() { return zelvan::Find(table.Info(), keys.data(), out.data(), def.data(), static_cast<long>(keys.size())); }
  bool RowsRight() const {
    for (size_t i = 0; i < keys.size(); ++i) {
      const auto want = table.Expected(keys[i], def);
      for (size_t j = 0; j < 4; ++j) {
        if (out[i * 4 + j] != want[j]) return false;
      }
    }
    return true;
  }
};

// In a fresh process (no pool yet), fail allocation number k of the first
// Find, then check the outcome and that the next call works. Exits 3 once
// k is past every allocation point.
void FirstFindWithFailure(long k) {
  alarm(30);  // a hang fails the case instead of the run
  dup2(2, 1);
  const int baseline = zelvan_test::ThreadCount();
  FindCase c;
  int status = -1;
  bool threw = false;
  zelvan_test::FailAllocationAfter(k, 1);
  try {
    status = c.Run();
  } catch (const std::bad_alloc&) {
    threw = true;
  }
  const long refused = zelvan_test::RefusedAllocations();
  zelvan_test::StopFailing();
  if (refused == 0) {
    CHILD_CHECK(status == 0 && c.RowsRight());
    std::exit(3);  // past every allocation point
  }
  // A failed pool is status 1 with no thread left; a failed queueing step
  // is std::bad_alloc after every queued range finished.
  CHILD_CHECK(threw || status == zelvan::STATUS_ERROR);
  if (status == zelvan::STATUS_ERROR) CHILD_CHECK(zelvan_test::WaitForThreadCount(baseline));
  c.out.assign(c.out.size(), 7.0f);
  CHILD_CHECK(c.Run() == 0);
  CHILD_CHECK(c.RowsRight());
  std::exit(0);  // a normal exit, so the leak checker of sanitizer builds runs
}

TEST(FaultDeathTest, EveryAllocationOfTheFirstFind) {
  long points = 0;
  for (long k = 0; k < kMaxPoints; ++k) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) FirstFindWithFailure(k);
    int wstatus = 0;
    ASSERT_EQ(waitpid(pid, &wstatus, 0), pid);
    ASSERT_TRUE(WIFEXITED(wstatus)) << "allocation " << k << " ended the process by signal";
    if (WEXITSTATUS(wstatus) == 3) break;
    ASSERT_EQ(WEXITSTATUS(wstatus), 0) << "allocation " << k;
    ++points;
  }
  EXPECT_GE(points, 5);  // pool creation and queueing both allocate
  std::printf("first Find: %ld allocation points injected\n", points);
}

TEST(Faults, MatmulTileListFailureThrowsBeforeAnyBlasCall) {
  const int m = 300, n = 300, k = 4;  // several tiles on any machine
  std::vector<float> a(static_cast<size_t>(m) * k, 1.0f), b(static_cast<size_t>(k) * n, 1.0f);
  std::vector<float> c(static_cast<size_t>(m) * n, 5.0f);
  zelvan::MatMulParams<float> p{102, 111, 111, m, n, k, 1.0f, m, k, 0.0f, m};
  ASSERT_EQ(zelvan::Matmul(a.data(), b.data(), c.data(), p), 0);  // pool in place
  long points = 0;
  for (long point = 0; point < kMaxPoints; ++point) {
    std::fill(c.begin(), c.end(), 5.0f);
    bool threw = false;
    zelvan_test::FailAllocationAfter(point, 1);
    try {
      ASSERT_EQ(zelvan::Matmul(a.data(), b.data(), c.data(), p), 0);
    } catch (const std::bad_alloc&) {
      threw = true;
    }
    const long refused = zelvan_test::RefusedAllocations();
    zelvan_test::StopFailing();
    if (refused == 0) break;
    ASSERT_TRUE(threw);
    ASSERT_TRUE(std::all_of(c.begin(), c.end(), [](float v) { return v == 5.0f; })) << "C written at " << point;
    ++points;
  }
  EXPECT_GE(points, 1);
  ASSERT_EQ(zelvan::Matmul(a.data(), b.data(), c.data(), p), 0);
  EXPECT_EQ(c[0], 4.0f);
}

TEST(Faults, FailurePathMessagesPassBadAllocToTheCaller) {
  // The message is allocated only when a call fails; that allocation
  // failing is the caller's std::bad_alloc, and nothing is written.
  bool out = true;
  int v = 1;
  const long bucketKeys[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
  const zelvan::TableInfo table{8, 1, -1, -2, bucketKeys, nullptr};
  struct Failing {
    const char* what;
    std::function<int()> call;
  };
  const Failing calls[] = {
      {"Less", [&] { return zelvan::Less<int>(nullptr, &v, &out, 1); }},
      {"Select", [&] { return zelvan::Select<long>(nullptr, nullptr, nullptr, nullptr, 0); }},
      {"FloorMod", [&] { return zelvan::FloorMod<float>(nullptr, 1.0f, nullptr, 0); }},
      {"Find", [&] { return zelvan::Find(table, nullptr, nullptr, nullptr, 0); }},
  };
  for (const auto& f : calls) {
    bool threw = false;
    zelvan_test::FailAllocationAfter(0);
    try {
      f.call();
    } catch (const std::bad_alloc&) {
      threw = true;
    }
    zelvan_test::StopFailing();
    EXPECT_TRUE(threw) << f.what;
    EXPECT_EQ(f.call(), zelvan::STATUS_NULL_POINTER) << f.what;
  }
  EXPECT_TRUE(out);
}

}  // namespace
