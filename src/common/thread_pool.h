// The library's one process-wide worker pool: a FIFO task queue served by
// one worker per CPU in the creating thread's affinity mask.
#ifndef ZELVAN_COMMON_THREAD_POOL_H_
#define ZELVAN_COMMON_THREAD_POOL_H_

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

namespace zelvan {

class ThreadPool {
 public:
  // The process-wide pool, created on first use; null when creation threw
  // (" create singleton error" is then printed and the next call retries).
  static ThreadPool* GetInstance();

  // CPUs in the creating thread's affinity mask, or 1 if it was unreadable.
  int GetThreadNum();

  // Queues f; the future becomes ready when f has returned or thrown.
  // Throws std::runtime_error once shutdown has begun.
  template <class F>
  std::future<void> Enqueue(F&& f);

  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;
  ~ThreadPool();

 private:
  ThreadPool();
  void WorkerLoop();
  void StopAndJoin() noexcept;

  int threadNum = 0;
  std::vector<std::thread> workers;
  std::deque<std::function<void()>> tasks;
  std::mutex taskMutex;
  std::condition_variable taskCondition;
  // Written only under taskMutex; atomic because workers also test it
  // before taking the lock.
  std::atomic<bool> stop{false};
};

template <class F>
std::future<void> ThreadPool::Enqueue(F&& f) {
  auto task = std::make_shared<std::packaged_task<void()>>(std::forward<F>(f));
  {
    std::lock_guard<std::mutex> lock(taskMutex);
    if (stop.load(std::memory_order_relaxed)) {
      throw std::runtime_error("enqueue on stopped ThreadPool");
    }
    tasks.emplace_back([task] { (*task)(); });
  }
  taskCondition.notify_one();
  return task->get_future();
}

}  // namespace zelvan

#endif  // ZELVAN_COMMON_THREAD_POOL_H_
