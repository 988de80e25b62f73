// Cases that need a process of their own: a sink that throws (the sink
// stays installed for good) and a pool whose creation fails.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <vector>

#include "alloc_fail.h"
#include "child.h"
#include "dense_table.h"
#include "log_capture.h"
#include "zelvan/zelvan.h"

namespace {

using zelvan_test::DenseTable;
using zelvan_test::LogCapture;

void ThrowingSink(int, const char*) { throw std::runtime_error("sink failed"); }

void ThrowingSinkChild() {
  zelvan::SetExternalLogFunc(&ThrowingSink);
  DenseTable table(64, 2);
  for (long k = 0; k < 40; ++k) table.Insert(k);
  const std::vector<float> def = {0, 0};
  std::vector<long> keys(1000, 5);
  keys[10] = -1;   // emptyKey: logs, the sink throws
  keys[900] = -2;  // deletedKey in another range
  std::vector<float> out(keys.size() * 2, 7.0f);
  const int status = zelvan::Find(table.Info(), keys.data(), out.data(), def.data(), 1000);
  CHILD_CHECK(status == 3 || status == 4);
  // Another call still works.
  keys[10] = 5;
  keys[900] = 5;
  CHILD_CHECK(zelvan::Find(table.Info(), keys.data(), out.data(), def.data(), 1000) == 0);
  // A failing check on the caller's thread lets the sink's exception out.
  bool threw = false;
  try {
    zelvan::Find(table.Info(), nullptr, out.data(), def.data(), 1);
  } catch (const std::runtime_error&) {
    threw = true;
  }
  CHILD_CHECK(threw);
  std::_Exit(0);
}

TEST(FreshProcessDeathTest, ThrowingSinkInsideARangeNeverReportsSuccess) {
  EXPECT_EXIT(ThrowingSinkChild(), ::testing::ExitedWithCode(0), "");
}

void FailedPoolChild() {
  dup2(2, 1);
  LogCapture::Get().Install();
  DenseTable table(8, 1);
  table.Insert(3);
  const long key = 3;
  float out = 7.0f;
  const float def = 0;
  zelvan_test::FailAllocationAfter(0, 1);  // the pool's first allocation
  const int status = zelvan::Find(table.Info(), &key, &out, &def, 1);
  zelvan_test::StopFailing();
  CHILD_CHECK(status == zelvan::STATUS_ERROR);
  CHILD_CHECK(out == 7.0f);
  CHILD_CHECK(LogCapture::Get().Take() == zelvan_test::One("Failed to create the thread pool."));
  CHILD_CHECK(zelvan::Find(table.Info(), &key, &out, &def, 1) == 0);
  CHILD_CHECK(out == table.RowFor(3)[0]);
  std::fflush(stdout);
  std::_Exit(0);
}

TEST(FreshProcessDeathTest, FindReportsAFailedPoolAndTheNextCallRetries) {
  EXPECT_EXIT(FailedPoolChild(), ::testing::ExitedWithCode(0), "^ create singleton error\n$");
}

}  // namespace
