// Differential fuzzing of Matmul: random records (every field), small
// matrices. Invalid records must return 5 without touching C; valid ones
// must match a double-precision reference.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#include "zelvan/zelvan.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "matmul_fuzz: %s\n", what);
  std::abort();
}

int PickEnum(FuzzedDataProvider& in, int a, int b) {
  switch (in.ConsumeIntegralInRange(0, 5)) {
    case 0:
      return in.ConsumeIntegral<int>();
    case 1:
      return a + 2;  // 103 or 113
    case 2:
    case 3:
      return a;
    default:
      return b;
  }
}

template <class T>
T PickScale(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 7)) {
    case 0:
      return std::numeric_limits<T>::infinity();
    case 1:
      return -std::numeric_limits<T>::infinity();
    case 2:
      return std::numeric_limits<T>::quiet_NaN();
    case 3:
      return 0;
    default:
      return static_cast<T>(in.ConsumeIntegralInRange(-8, 8)) / 4;
  }
}

// Independent statement of the rule: each leading dimension covers the
// contiguous extent of its matrix as stored.
template <class T>
bool Valid(const zelvan::MatMulParams<T>& p) {
  const bool col = p.order == 102;
  if (p.order != 101 && !col) return false;
  auto transOk = [](int t) { return t == 111 || t == 112; };
  if (!transOk(p.transA) || !transOk(p.transB) || p.m <= 0 || p.n <= 0 || p.k <= 0) return false;
  const int aLead = col == (p.transA == 111) ? p.m : p.k;
  const int bLead = col == (p.transB == 111) ? p.k : p.n;
  const int cLead = col ? p.m : p.n;
  const T max = std::numeric_limits<T>::max();
  return p.lda >= std::max(1, aLead) && p.ldb >= std::max(1, bLead) && p.ldc >= std::max(1, cLead) &&
         std::fabs(p.alpha) <= max && std::fabs(p.beta) <= max;
}

// Element (i, j) of op(X) for X stored with leading dimension ld.
template <class T>
double At(const std::vector<T>& x, bool col, bool trans, int ld, int i, int j) {
  if (trans) std::swap(i, j);
  const size_t off =
      col ? static_cast<size_t>(i) + static_cast<size_t>(j) * ld : static_cast<size_t>(i) * ld + static_cast<size_t>(j);
  return static_cast<double>(x[off]);
}

template <class T>
void RunOne(FuzzedDataProvider& in) {
  zelvan::MatMulParams<T> p{};
  p.order = PickEnum(in, 101, 102);
  p.transA = PickEnum(in, 111, 112);
  p.transB = PickEnum(in, 111, 112);
  p.m = in.ConsumeIntegralInRange(-2, 40);
  p.n = in.ConsumeIntegralInRange(-2, 40);
  p.k = in.ConsumeIntegralInRange(-2, 40);
  p.alpha = PickScale<T>(in);
  p.beta = PickScale<T>(in);
  p.lda = in.ConsumeIntegralInRange(-1, 45);
  p.ldb = in.ConsumeIntegralInRange(-1, 45);
  p.ldc = in.ConsumeIntegralInRange(-1, 45);
  const int nulls = in.ConsumeIntegralInRange(0, 20);
  // Large enough for any record with these bounds: 45 x 45.
  std::vector<T> a(45 * 45), b(45 * 45), c(45 * 45);
  for (T& v : a) v = static_cast<T>(in.ConsumeIntegralInRange(-4, 4));
  for (T& v : b) v = static_cast<T>(in.ConsumeIntegralInRange(-4, 4));
  for (size_t i = 0; i < c.size(); ++i) c[i] = static_cast<T>(static_cast<int>(i % 7) - 3);
  const std::vector<T> c0 = c;
  const int status = zelvan::Matmul<T>(nulls == 1 ? nullptr : a.data(), nulls == 2 ? nullptr : b.data(),
                                       nulls == 3 ? nullptr : c.data(), p);
  if (nulls >= 1 && nulls <= 3) {
    if (status != 2 || c != c0) Fail("null pointer must give 2 and leave C");
    return;
  }
  if (!Valid(p)) {
    if (status != 5 || c != c0) Fail("invalid record must give 5 and leave C");
    return;
  }
  if (status != 0) Fail("valid record failed");
  const bool col = p.order == 102;
  std::vector<bool> inBlock(c.size(), false);
  for (int i = 0; i < p.m; ++i) {
    for (int j = 0; j < p.n; ++j) {
      double sum = 0;
      for (int l = 0; l < p.k; ++l) {
        sum += At(a, col, p.transA == 112, p.lda, i, l) * At(b, col, p.transB == 112, p.ldb, l, j);
      }
      const size_t off = col ? static_cast<size_t>(i) + static_cast<size_t>(j) * p.ldc
                             : static_cast<size_t>(i) * p.ldc + static_cast<size_t>(j);
      inBlock[off] = true;
      const double want = p.alpha * sum + (p.beta == 0 ? 0.0 : p.beta * static_cast<double>(c0[off]));
      if (std::fabs(static_cast<double>(c[off]) - want) > 1e-3 * (1 + std::fabs(want))) Fail("product differs");
    }
  }
  for (size_t off = 0; off < c.size(); ++off) {
    if (!inBlock[off] && c[off] != c0[off]) Fail("C written outside the m x n block");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  if (in.ConsumeBool()) {
    RunOne<float>(in);
  } else {
    RunOne<double>(in);
  }
  return 0;
}
