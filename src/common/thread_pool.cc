#include "common/thread_pool.h"

#include <sched.h>

#include <exception>
#include <iostream>

#include "common/log.h"

namespace zelvan {

ThreadPool* ThreadPool::GetInstance() {
  try {
    // A throwing constructor leaves the static uninitialised, so the next
    // call constructs it again from scratch.
    static ThreadPool instance;
    return &instance;
  } catch (const std::exception&) {
    std::cout << " create singleton error" << std::endl;
    return nullptr;
  }
}

int ThreadPool::GetThreadNum() {
  if (threadNum != 0) {
    return threadNum;
  }
  cpu_set_t mask;
  CPU_ZERO(&mask);
  static_assert(sizeof(cpu_set_t) == 128, "the pool is sized from a 128-byte mask");
  if (sched_getaffinity(0, sizeof(mask), &mask) == -1) {
    WriteLog(LOG_LEVEL_ERROR, "Failed to get CPU affinity");
    threadNum = 1;
    return threadNum;
  }
  threadNum = CPU_COUNT(&mask);
  return threadNum;
}

ThreadPool::ThreadPool() {
  try {
    for (int i = 0; i < GetThreadNum(); ++i) {
      workers.emplace_back([this] { WorkerLoop(); });
    }
  } catch (...) {
    // No worker may outlive a failed construction: they refer to *this.
    StopAndJoin();
    throw;
  }
}

ThreadPool::~ThreadPool() { StopAndJoin(); }

void ThreadPool::StopAndJoin() noexcept {
  {
    std::lock_guard<std::mutex> lock(taskMutex);
    stop.store(true, std::memory_order_relaxed);
  }
  taskCondition.notify_all();
  for (std::thread& worker : workers) {
    if (worker.joinable()) {
      worker.join();
    }
  }
}

void ThreadPool::WorkerLoop() {
  // Kept across iterations: the entry run last lives until the next is taken.
  std::function<void()> task;
  for (;;) {
    if (stop.load(std::memory_order_relaxed)) {
      return;
    }
    {
      std::unique_lock<std::mutex> lock(taskMutex);
      taskCondition.wait(lock, [this] { return stop.load(std::memory_order_relaxed) || !tasks.empty(); });
      if (stop.load(std::memory_order_relaxed) && tasks.empty()) {
        return;
      }
      task = std::move(tasks.front());
      tasks.pop_front();
    }
    task();
  }
}

}  // namespace zelvan
