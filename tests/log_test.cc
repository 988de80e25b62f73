// The sink slot is process-wide and never cleared, so each case runs in a
// fresh child process (death-test style) and reports through its exit code.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "child.h"
#include "log_capture.h"
#include "zelvan/zelvan.h"

namespace {

using zelvan_test::LogCapture;

std::atomic<int> secondSinkCalls{0};
void SecondSink(int, const char*) { secondSinkCalls++; }

int NullLess() {
  int v = 0;
  return zelvan::Less<int>(nullptr, &v, nullptr, 1);
}

TEST(LogDeathTest, FirstNonNullSinkStaysInstalled) {
  EXPECT_IN_CHILD({
    CHILD_CHECK(zelvan::SetExternalLogFunc(nullptr) == 0);
    CHILD_CHECK(NullLess() == zelvan::STATUS_NULL_POINTER);  // no sink yet: lost
    CHILD_CHECK(zelvan::SetExternalLogFunc(&LogCapture::Sink) == 0);
    CHILD_CHECK(LogCapture::Get().Take().empty());
    CHILD_CHECK(zelvan::SetExternalLogFunc(&SecondSink) == 0);
    CHILD_CHECK(zelvan::SetExternalLogFunc(nullptr) == 0);
    CHILD_CHECK(NullLess() == zelvan::STATUS_NULL_POINTER);
    CHILD_CHECK(LogCapture::Get().Take() == zelvan_test::One("Parameter verification failed for the Less Op."));
    CHILD_CHECK(secondSinkCalls == 0);
  });
}

TEST(LogDeathTest, NothingReachesStdoutOrStderrWithoutASink) {
  // The child writes nothing at all; the matcher on stderr demands that.
  EXPECT_EXIT(
      {
        std::fflush(stdout);
        // Route stdout into stderr so that either would fail the match.
        dup2(2, 1);
        CHILD_CHECK(NullLess() == zelvan::STATUS_NULL_POINTER);
        long v = 0;
        CHILD_CHECK(zelvan::Greater<long>(&v, 1L, nullptr, 0) == zelvan::STATUS_NULL_POINTER);
        std::fflush(stdout);
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0), "^$");
}

TEST(LogDeathTest, ExactTextAtLevelThreeWithoutLineEnd) {
  EXPECT_IN_CHILD({
    LogCapture::Get().Install();
    CHILD_CHECK(zelvan::Greater<int>(nullptr, 1, nullptr, 3) == zelvan::STATUS_NULL_POINTER);
    const auto entries = LogCapture::Get().Take();
    CHILD_CHECK(entries.size() == 1);
    CHILD_CHECK(entries[0].level == 3);
    CHILD_CHECK(entries[0].text == "Parameter verification failed for the Greater Op.");
  });
}

TEST(LogDeathTest, SinkInstalledWhileOtherThreadsLogIsSeenSafely) {
  // Run under TSan too: the slot is atomic, so this is race-free.
  EXPECT_IN_CHILD({
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([&] {
        while (!go) {
        }
        for (int i = 0; i < 2000; ++i) NullLess();
      });
    }
    go = true;
    zelvan::SetExternalLogFunc(&LogCapture::Sink);
    for (auto& th : threads) th.join();
    const auto entries = LogCapture::Get().Take();
    CHILD_CHECK(entries.size() <= 8000);
    for (const auto& e : entries) CHILD_CHECK(e.text == "Parameter verification failed for the Less Op.");
    CHILD_CHECK(NullLess() == zelvan::STATUS_NULL_POINTER);
    CHILD_CHECK(LogCapture::Get().Take().size() == 1);
  });
}

}  // namespace
