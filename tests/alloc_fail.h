// Allocation-failure injection: a counting replacement of operator new for
// the test binary that links alloc_fail.cc. Armed per thread, so workers
// running unrelated tasks are not disturbed.
#ifndef ZELVAN_TESTS_ALLOC_FAIL_H_
#define ZELVAN_TESTS_ALLOC_FAIL_H_

namespace zelvan_test {

// The next `allocations` calls of operator new on this thread succeed; the
// one after throws std::bad_alloc, and so does every later one until
// StopFailing().
void FailAllocationAfter(long allocations);
void StopFailing();

// Allocations that operator new has refused on this thread since arming.
long RefusedAllocations();

}  // namespace zelvan_test

#endif  // ZELVAN_TESTS_ALLOC_FAIL_H_
