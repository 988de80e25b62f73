#include "blas_spy.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace zelvan_test {
namespace {
std::mutex mutex;
std::vector<GemmCall> calls;

void Record(const GemmCall& call) {
  std::lock_guard<std::mutex> lock(mutex);
  calls.push_back(call);
}

template <class F>
F Next(const char* name) {
  void* symbol = dlsym(RTLD_NEXT, name);
  if (symbol == nullptr) {
    std::fprintf(stderr, "blas_spy: no %s after the spy\n", name);
    std::abort();
  }
  return reinterpret_cast<F>(symbol);
}
}  // namespace

void ResetGemmCalls() {
  std::lock_guard<std::mutex> lock(mutex);
  calls.clear();
  // Recording must not allocate, so allocation-failure cases can spy too.
  calls.reserve(1 << 16);
}
std::vector<GemmCall> GemmCalls() {
  std::lock_guard<std::mutex> lock(mutex);
  return calls;
}

}  // namespace zelvan_test

using SgemmFn = void (*)(int, int, int, int, int, int, float, const float*, int, const float*, int, float, float*, int);
using DgemmFn = void (*)(int, int, int, int, int, int, double, const double*, int, const double*, int, double, double*,
                         int);

extern "C" __attribute__((visibility("default"))) void cblas_sgemm(int order, int transA, int transB, int m, int n,
                                                                   int k, float alpha, const float* a, int lda,
                                                                   const float* b, int ldb, float beta, float* c,
                                                                   int ldc) {
  static const SgemmFn next = zelvan_test::Next<SgemmFn>("cblas_sgemm");
  zelvan_test::Record({true, m, n, k, a, b, c});
  next(order, transA, transB, m, n, k, alpha, a, lda, b, ldb, beta, c, ldc);
}

extern "C" __attribute__((visibility("default"))) void cblas_dgemm(int order, int transA, int transB, int m, int n,
                                                                   int k, double alpha, const double* a, int lda,
                                                                   const double* b, int ldb, double beta, double* c,
                                                                   int ldc) {
  static const DgemmFn next = zelvan_test::Next<DgemmFn>("cblas_dgemm");
  zelvan_test::Record({false, m, n, k, a, b, c});
  next(order, transA, transB, m, n, k, alpha, a, lda, b, ldb, beta, c, ldc);
}
