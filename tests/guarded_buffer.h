// Buffers that end exactly at an inaccessible page, so any access past the
// documented bounds faults at once instead of going unnoticed.
#ifndef ZELVAN_TESTS_GUARDED_BUFFER_H_
#define ZELVAN_TESTS_GUARDED_BUFFER_H_

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace zelvan_test {

template <class T>
class PageGuarded {
 public:
  explicit PageGuarded(size_t n) : n_(n) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t bytes = n * sizeof(T);
    dataPages_ = (bytes + page - 1) / page;
    mapped_ = (dataPages_ + 1) * page;
    void* base = mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) std::abort();
    base_ = static_cast<char*>(base);
    if (mprotect(base_ + dataPages_ * page, page, PROT_NONE) != 0) std::abort();
    data_ = reinterpret_cast<T*>(base_ + dataPages_ * page - bytes);
  }
  ~PageGuarded() { munmap(base_, mapped_); }
  PageGuarded(const PageGuarded&) = delete;
  PageGuarded& operator=(const PageGuarded&) = delete;

  T* data() { return data_; }
  T& operator[](size_t i) { return data_[i]; }
  size_t size() const { return n_; }

 private:
  size_t n_;
  size_t dataPages_ = 0;
  size_t mapped_ = 0;
  char* base_ = nullptr;
  T* data_ = nullptr;
};

}  // namespace zelvan_test

#endif  // ZELVAN_TESTS_GUARDED_BUFFER_H_
