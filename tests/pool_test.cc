// The pool is a process-wide singleton created once, so every case runs in
// a fresh child process; the parent never creates it.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "alloc_fail.h"
#include "child.h"
#include "common/thread_pool.h"
#include "log_capture.h"

// Interposes the libc call so a case can make the affinity query fail.
static std::atomic<bool> failAffinity{false};
extern "C" int sched_getaffinity(pid_t pid, size_t size, cpu_set_t* mask) {
  if (failAffinity) {
    errno = EINVAL;
    return -1;
  }
  const long copied = syscall(SYS_sched_getaffinity, pid, size, mask);
  if (copied < 0) return -1;
  std::memset(reinterpret_cast<char*>(mask) + copied, 0, size - static_cast<size_t>(copied));
  return 0;
}

namespace {

using zelvan::ThreadPool;
using zelvan_test::LogCapture;

using zelvan_test::ThreadCount;
using zelvan_test::WaitForThreadCount;

void RestrictToCpus(int count) {
  cpu_set_t mask;
  CPU_ZERO(&mask);
  sched_getaffinity(0, sizeof(mask), &mask);
  cpu_set_t chosen;
  CPU_ZERO(&chosen);
  int taken = 0;
  for (int cpu = 0; cpu < CPU_SETSIZE && taken < count; ++cpu) {
    if (CPU_ISSET(cpu, &mask)) {
      CPU_SET(cpu, &chosen);
      ++taken;
    }
  }
  sched_setaffinity(0, sizeof(chosen), &chosen);
}

TEST(ThreadPoolDeathTest, WorkerCountFollowsTheCreatorsAffinityMask) {
  for (int cpus = 1; cpus <= 2; ++cpus) {
    EXPECT_IN_CHILD({
      RestrictToCpus(cpus);
      cpu_set_t mask;
      sched_getaffinity(0, sizeof(mask), &mask);
      const int allowed = CPU_COUNT(&mask);
      const int before = ThreadCount();
      ThreadPool* pool = ThreadPool::GetInstance();
      CHILD_CHECK(pool != nullptr);
      CHILD_CHECK(pool->GetThreadNum() == allowed);
      CHILD_CHECK(WaitForThreadCount(before + allowed));
      // The count is read once: a later change of the mask does not move it.
      RestrictToCpus(1);
      CHILD_CHECK(ThreadPool::GetInstance()->GetThreadNum() == allowed);
    });
  }
}

TEST(ThreadPoolDeathTest, OneWorkerRunsTasksInEnqueueOrder) {
  EXPECT_IN_CHILD({
    RestrictToCpus(1);
    ThreadPool* pool = ThreadPool::GetInstance();
    CHILD_CHECK(pool->GetThreadNum() == 1);
    std::mutex mutex;
    std::vector<int> order;
    std::vector<std::future<void>> futures;
    for (int i = 0; i < 200; ++i) {
      futures.push_back(pool->Enqueue([&, i] {
        std::lock_guard<std::mutex> lock(mutex);
        order.push_back(i);
      }));
    }
    for (auto& f : futures) f.wait();
    CHILD_CHECK(order.size() == 200);
    for (int i = 0; i < 200; ++i) CHILD_CHECK(order[i] == i);
  });
}

TEST(ThreadPoolDeathTest, ThrowingTaskStoresItsExceptionAndTheWorkerKeepsServing) {
  EXPECT_IN_CHILD({
    RestrictToCpus(1);
    ThreadPool* pool = ThreadPool::GetInstance();
    auto failing = pool->Enqueue([] { throw std::logic_error("boom"); });
    std::atomic<bool> ran{false};
    auto next = pool->Enqueue([&] { ran = true; });
    // Wait for the next task first: the worker has then let go of the
    // failing one, and the stored exception dies on this thread.
    next.get();
    bool threw = false;
    try {
      failing.get();
    } catch (const std::logic_error& e) {
      threw = std::strcmp(e.what(), "boom") == 0;
    }
    CHILD_CHECK(threw);
    CHILD_CHECK(ran);
  });
}

TEST(ThreadPoolDeathTest, EnqueueDuringShutdownThrows) {
  // A running task keeps enqueueing until the exit-time destructor sets
  // stop; the refusal must carry the documented text.
  EXPECT_IN_CHILD({
    ThreadPool* pool = ThreadPool::GetInstance();
    std::atomic<bool> started{false};
    pool->Enqueue([pool, &started] {
      started = true;
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (std::chrono::steady_clock::now() < deadline) {
        try {
          pool->Enqueue([] {});
        } catch (const std::runtime_error& e) {
          std::_Exit(std::strcmp(e.what(), "enqueue on stopped ThreadPool") == 0 ? 0 : 2);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      std::_Exit(3);
    });
    while (!started) std::this_thread::yield();
    std::exit(4);  // runs the pool's destructor; the task exits first
  });
}

TEST(ThreadPoolDeathTest, FailedConstructionLeavesNoThreadAndTheNextCallSucceeds) {
  // Fail each allocation of the construction in turn: the first attempts
  // print the line and yield null with no thread left; a later one succeeds.
  EXPECT_EXIT(
      {
        dup2(2, 1);
        const int before = ThreadCount();
        int failures = 0;
        ThreadPool* pool = nullptr;
        for (long k = 0; k < 64 && pool == nullptr; ++k) {
          zelvan_test::FailAllocationAfter(k);
          pool = ThreadPool::GetInstance();
          const long refused = zelvan_test::RefusedAllocations();
          zelvan_test::StopFailing();
          if (pool == nullptr) {
            CHILD_CHECK(refused > 0);
            CHILD_CHECK(WaitForThreadCount(before));
            ++failures;
          }
        }
        CHILD_CHECK(pool != nullptr);
        CHILD_CHECK(failures >= 3);  // queue storage, first worker, later worker
        CHILD_CHECK(WaitForThreadCount(before + pool->GetThreadNum()));
        auto done = pool->Enqueue([] {});
        done.get();
        std::fflush(stdout);
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0), "^( create singleton error\n){3,}$");
}

TEST(ThreadPoolDeathTest, UnreadableAffinityLogsOnceAndRunsOneWorker) {
  EXPECT_IN_CHILD({
    LogCapture::Get().Install();
    failAffinity = true;
    const int before = ThreadCount();
    ThreadPool* pool = ThreadPool::GetInstance();
    CHILD_CHECK(pool != nullptr);
    CHILD_CHECK(pool->GetThreadNum() == 1);
    CHILD_CHECK(pool->GetThreadNum() == 1);
    CHILD_CHECK(LogCapture::Get().Take() == zelvan_test::One("Failed to get CPU affinity"));
    CHILD_CHECK(WaitForThreadCount(before + 1));
  });
}

TEST(ThreadPoolDeathTest, ExitWithQueuedTasksDestroysThemUnrun) {
  EXPECT_IN_CHILD({
    // Registered before the pool exists, so it runs after its destructor.
    static std::atomic<int> ran{0};
    std::atexit([] { std::_Exit(ran.load() == 0 ? 0 : 5); });
    RestrictToCpus(1);
    ThreadPool* pool = ThreadPool::GetInstance();
    static std::atomic<bool> release{false};
    pool->Enqueue([] {
      while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    for (int i = 0; i < 10; ++i) pool->Enqueue([] { ran++; });
    // exit: the destructor sets stop, the worker finishes its task and ends
    // without taking another; the ten queued tasks never run.
    std::thread releaser([] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      release = true;
    });
    releaser.detach();
    std::exit(0);
  });
}

}  // namespace
