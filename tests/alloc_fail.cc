#include "alloc_fail.h"

#include <cstdlib>
#include <new>

namespace zelvan_test {
namespace {
thread_local long remaining = -1;  // -1: disarmed
thread_local long toRefuse = -1;   // -1: no limit
thread_local long refused = 0;
}  // namespace

void FailAllocationAfter(long allocations, long failures) {
  remaining = allocations;
  toRefuse = failures;
  refused = 0;
}
void StopFailing() { remaining = -1; }
long RefusedAllocations() { return refused; }

}  // namespace zelvan_test

namespace {
void* Allocate(std::size_t size) {
  using zelvan_test::refused;
  using zelvan_test::remaining;
  using zelvan_test::toRefuse;
  if (remaining == 0) {
    if (toRefuse != 0) {
      if (toRefuse > 0) --toRefuse;
      ++refused;
      throw std::bad_alloc();
    }
    remaining = -1;
  }
  if (remaining > 0) --remaining;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
}  // namespace

// Both new and delete are replaced so that every pair is malloc/free, which
// keeps AddressSanitizer's mismatch check satisfied.
void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
