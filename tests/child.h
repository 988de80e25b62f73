// Helpers for cases that run in a child process (death-test style): a
// failed check ends the child with a message instead of returning.
#ifndef ZELVAN_TESTS_CHILD_H_
#define ZELVAN_TESTS_CHILD_H_

#include <dirent.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#define CHILD_CHECK(cond)                          \
  do {                                             \
    if (!(cond)) {                                 \
      std::fprintf(stderr, "failed: %s\n", #cond); \
      std::_Exit(1);                               \
    }                                              \
  } while (0)

// Runs body in a fresh child process that must exit with status 0.
#define EXPECT_IN_CHILD(body) \
  EXPECT_EXIT(                \
      {                       \
        body;                 \
        std::_Exit(0);        \
      },                      \
      ::testing::ExitedWithCode(0), "")

namespace zelvan_test {

inline int ThreadCount() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/task")) {
    while (dirent* e = readdir(dir)) {
      if (e->d_name[0] != '.') ++count;
    }
    closedir(dir);
  }
  return count;
}

#if defined(__SANITIZE_THREAD__)
// ThreadSanitizer starts a background thread of its own with the first one.
constexpr int kRuntimeThreads = 1;
#else
constexpr int kRuntimeThreads = 0;
#endif

// Threads start and end asynchronously with respect to /proc: waits up to
// a second for the count to be within [atLeast, atMost] plus the runtime's
// own helpers.
inline bool WaitForThreadCountIn(int atLeast, int atMost) {
  for (int i = 0; i < 500; ++i) {
    const int now = ThreadCount();
    if (now >= atLeast && now <= atMost + kRuntimeThreads) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}
// The thread count once it has held still for 50 ms: threads of an earlier
// unload may still be leaving, above all under an emulator.
inline int SettledThreadCount() {
  int threads = ThreadCount();
  for (int settled = 0; settled < 25;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const int now = ThreadCount();
    settled = now == threads ? settled + 1 : 0;
    threads = now;
  }
  return threads;
}
inline bool WaitForThreadCount(int expected) { return WaitForThreadCountIn(expected, expected); }
inline bool WaitForThreadCountAtMost(int expected) { return WaitForThreadCountIn(0, expected); }

}  // namespace zelvan_test

#endif  // ZELVAN_TESTS_CHILD_H_
