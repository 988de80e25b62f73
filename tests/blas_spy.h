// Interposes cblas_sgemm/cblas_dgemm in the test binary: every call the
// library makes is counted and recorded, then forwarded to the CBLAS that
// the binary links (OpenBLAS or the reference BLAS).
#ifndef ZELVAN_TESTS_BLAS_SPY_H_
#define ZELVAN_TESTS_BLAS_SPY_H_

#include <vector>

namespace zelvan_test {

struct GemmCall {
  bool single;
  int m, n, k;
  const void* a;
  const void* b;
  const void* c;
};

void ResetGemmCalls();
std::vector<GemmCall> GemmCalls();

}  // namespace zelvan_test

#endif  // ZELVAN_TESTS_BLAS_SPY_H_
