// Allocation-failure injection: a counting replacement of operator new for
// the test binary that links alloc_fail.cc. Armed per thread, so workers
// running unrelated tasks are not disturbed.
#ifndef ZELVAN_TESTS_ALLOC_FAIL_H_
#define ZELVAN_TESTS_ALLOC_FAIL_H_

namespace zelvan_test {

// The next `allocations` calls of operator new on this thread succeed; the
// `failures` after them throw std::bad_alloc (all of them until
// StopFailing() by default), and later ones succeed again.
void FailAllocationAfter(long allocations, long failures = -1);
void StopFailing();

// Allocations that operator new has refused on this thread since arming.
long RefusedAllocations();

}  // namespace zelvan_test

#endif  // ZELVAN_TESTS_ALLOC_FAIL_H_
