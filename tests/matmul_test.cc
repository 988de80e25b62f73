// Matmul through the exported entry points, against a double-precision
// reference loop, with the CBLAS calls observed by the spy.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <limits>
#include <random>
#include <thread>
#include <type_traits>
#include <vector>

#include "alloc_fail.h"
#include "blas_spy.h"
#include "child.h"
#include "log_capture.h"
#include "zelvan/zelvan.h"

namespace {

using zelvan::MatMulParams;
using zelvan_test::LogCapture;

constexpr int kRow = 101, kCol = 102, kN = 111, kT = 112;

static_assert(offsetof(MatMulParams<float>, order) == 0 && offsetof(MatMulParams<float>, transA) == 4 &&
                  offsetof(MatMulParams<float>, transB) == 8 && offsetof(MatMulParams<float>, m) == 12 &&
                  offsetof(MatMulParams<float>, n) == 16 && offsetof(MatMulParams<float>, k) == 20 &&
                  offsetof(MatMulParams<float>, alpha) == 24 && offsetof(MatMulParams<float>, lda) == 28 &&
                  offsetof(MatMulParams<float>, ldb) == 32 && offsetof(MatMulParams<float>, beta) == 36 &&
                  offsetof(MatMulParams<float>, ldc) == 40 && sizeof(MatMulParams<float>) == 44,
              "float record layout is part of the binary interface");
static_assert(offsetof(MatMulParams<double>, alpha) == 24 && offsetof(MatMulParams<double>, lda) == 32 &&
                  offsetof(MatMulParams<double>, ldb) == 36 && offsetof(MatMulParams<double>, beta) == 40 &&
                  offsetof(MatMulParams<double>, ldc) == 48 && sizeof(MatMulParams<double>) == 56,
              "double record layout is part of the binary interface");

// Stored extent of op(X) (rows x cols) as (leading extent, other extent).
struct Stored {
  int lead, other;
};
Stored StoredShape(int order, int trans, int rows, int cols) {
  const int sr = trans == kT ? cols : rows;
  const int sc = trans == kT ? rows : cols;
  return order == kCol ? Stored{sr, sc} : Stored{sc, sr};
}

// Element (i, j) of op(X) for X stored with leading dimension ld.
template <class T>
double OpAt(const std::vector<T>& x, int order, int trans, int ld, int i, int j) {
  const int si = trans == kT ? j : i;
  const int sj = trans == kT ? i : j;
  const size_t off = order == kCol ? static_cast<size_t>(si) + static_cast<size_t>(sj) * ld
                                   : static_cast<size_t>(si) * ld + static_cast<size_t>(sj);
  return static_cast<double>(x[off]);
}
size_t COffset(int order, int ldc, int i, int j) {
  return order == kCol ? static_cast<size_t>(i) + static_cast<size_t>(j) * ldc
                       : static_cast<size_t>(i) * ldc + static_cast<size_t>(j);
}

template <class T>
struct Problem {
  MatMulParams<T> p;
  std::vector<T> a, b, c;

  Problem(int order, int transA, int transB, int m, int n, int k, int pad, T alpha, T beta, uint64_t seed) {
    const Stored sa = StoredShape(order, transA, m, k), sb = StoredShape(order, transB, k, n),
                 sc = StoredShape(order, kN, m, n);
    p = {order, transA, transB, m, n, k, alpha, sa.lead + pad, sb.lead + pad, beta, sc.lead + pad};
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(-1, 1);
    a.resize(static_cast<size_t>(p.lda) * sa.other);
    b.resize(static_cast<size_t>(p.ldb) * sb.other);
    c.resize(static_cast<size_t>(p.ldc) * sc.other);
    for (T& v : a) v = static_cast<T>(u(rng));
    for (T& v : b) v = static_cast<T>(u(rng));
    for (T& v : c) v = static_cast<T>(u(rng));
  }

  int Run() { return zelvan::Matmul<T>(a.data(), b.data(), c.data(), p); }

  // Checks c against alpha * op(A) op(B) + beta * c0 with a tolerance scaled
  // by k, and that every element outside the m x n block is unchanged.
  void Verify(const std::vector<T>& c0) const {
    const double eps = std::numeric_limits<T>::epsilon();
    std::vector<bool> inBlock(c.size(), false);
    for (int i = 0; i < p.m; ++i) {
      for (int j = 0; j < p.n; ++j) {
        double sum = 0, mag = 0;
        for (int l = 0; l < p.k; ++l) {
          const double t = OpAt(a, p.order, p.transA, p.lda, i, l) * OpAt(b, p.order, p.transB, p.ldb, l, j);
          sum += t;
          mag += std::fabs(t);
        }
        const size_t off = COffset(p.order, p.ldc, i, j);
        inBlock[off] = true;
        const double want = p.alpha * sum + p.beta * static_cast<double>(c0[off]);
        const double tol = 4 * eps * (p.k + 2) * (std::fabs(p.alpha) * mag + std::fabs(p.beta * c0[off]) + 1);
        ASSERT_NEAR(static_cast<double>(c[off]), want, tol) << "i=" << i << " j=" << j;
      }
    }
    for (size_t off = 0; off < c.size(); ++off) {
      if (!inBlock[off]) {
        ASSERT_EQ(c[off], c0[off]) << "element outside the block written at " << off;
      }
    }
  }
};

template <class T>
class MatmulTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LogCapture::Get().Install();
    LogCapture::Get().Clear();
    zelvan_test::ResetGemmCalls();
  }
};
using FloatTypes = ::testing::Types<float, double>;
TYPED_TEST_SUITE(MatmulTest, FloatTypes);

TYPED_TEST(MatmulTest, EveryOrderTranspositionSizeAndPadding) {
  using T = TypeParam;
  const int sizes[][3] = {{1, 1, 1}, {5, 3, 7}, {31, 33, 17}, {32, 32, 32}, {33, 65, 40}, {100, 70, 45}, {130, 97, 3}};
  uint64_t seed = 1;
  for (int order : {kRow, kCol}) {
    for (int transA : {kN, kT}) {
      for (int transB : {kN, kT}) {
        for (const auto& s : sizes) {
          for (int pad : {0, 3}) {
            for (T beta : {T(0), T(0.5)}) {
              Problem<T> prob(order, transA, transB, s[0], s[1], s[2], pad, T(1.25), beta, seed++);
              const std::vector<T> c0 = prob.c;
              ASSERT_EQ(prob.Run(), 0);
              SCOPED_TRACE(testing::Message() << "order " << order << " trans " << transA << "/" << transB
                                              << " m=" << s[0] << " n=" << s[1] << " k=" << s[2] << " pad=" << pad);
              prob.Verify(c0);
              if (::testing::Test::HasFatalFailure()) return;
            }
          }
        }
      }
    }
  }
  EXPECT_TRUE(LogCapture::Get().Take().empty());
}

TYPED_TEST(MatmulTest, OneBlasCallExceptForTiledColumnMajorFloat) {
  using T = TypeParam;
  for (int order : {kRow, kCol}) {
    Problem<T> prob(order, kN, kN, 100, 70, 9, 0, T(1), T(0), 5);
    zelvan_test::ResetGemmCalls();
    ASSERT_EQ(prob.Run(), 0);
    const auto calls = zelvan_test::GemmCalls();
    const bool tiled = std::is_same_v<T, float> && order == kCol;
    if (!tiled) {
      ASSERT_EQ(calls.size(), 1u);
      EXPECT_EQ(calls[0].single, (std::is_same_v<T, float>));
      EXPECT_EQ(calls[0].m, 100);
      EXPECT_EQ(calls[0].n, 70);
      EXPECT_EQ(calls[0].c, prob.c.data());
    } else {
      // Tiles cover C exactly once, each with the whole k.
      std::vector<int> covered(100 * 70, 0);
      for (const auto& call : calls) {
        EXPECT_EQ(call.k, 9);
        const auto off = static_cast<const float*>(call.c) - reinterpret_cast<const float*>(prob.c.data());
        const long r = off % 100, col = off / 100;
        for (long i = r; i < r + call.m; ++i)
          for (long j = col; j < col + call.n; ++j) covered[static_cast<size_t>(i + j * 100)]++;
      }
      EXPECT_TRUE(std::all_of(covered.begin(), covered.end(), [](int v) { return v == 1; }));
    }
  }
}

TYPED_TEST(MatmulTest, FailuresLeaveCUntouchedAndCallNoBlas) {
  using T = TypeParam;
  Problem<T> prob(kCol, kN, kN, 8, 8, 8, 0, T(1), T(0), 3);
  const std::vector<T> c0 = prob.c;
  const char* kMsg = "Parameter verification failed for the Matmul Op.";
  auto bad = prob.p;
  bad.m = 0;
  EXPECT_EQ(zelvan::Matmul<T>(prob.a.data(), prob.b.data(), nullptr, bad), 2);  // null beats invalid
  EXPECT_EQ(LogCapture::Get().Take(), zelvan_test::One(kMsg));
  EXPECT_EQ(zelvan::Matmul<T>(nullptr, prob.b.data(), prob.c.data(), prob.p), 2);
  EXPECT_EQ(zelvan::Matmul<T>(prob.a.data(), nullptr, prob.c.data(), prob.p), 2);
  EXPECT_EQ(LogCapture::Get().Take().size(), 2u);
  EXPECT_EQ(zelvan::Matmul<T>(prob.a.data(), prob.b.data(), prob.c.data(), bad), 5);
  EXPECT_EQ(LogCapture::Get().Take(), zelvan_test::One(kMsg));
  EXPECT_EQ(prob.c, c0);
  EXPECT_TRUE(zelvan_test::GemmCalls().empty());
}

TYPED_TEST(MatmulTest, ConcurrentHostThreads) {
  using T = TypeParam;
  std::atomic<int> failures{0};
  std::vector<std::thread> hosts;
  for (int h = 0; h < 4; ++h) {
    hosts.emplace_back([&, h] {
      for (int round = 0; round < 6; ++round) {
        Problem<T> prob(round % 2 ? kCol : kRow, kN, h % 2 ? kT : kN, 40 + h * 13, 50 + round, 20, 1, T(1), T(1),
                        static_cast<uint64_t>(h * 100 + round));
        const std::vector<T> c0 = prob.c;
        if (prob.Run() != 0) failures++;
        Problem<T> check = prob;
        check.c = prob.c;
        // Recompute with the reference and compare.
        for (int i = 0; i < prob.p.m; ++i) {
          for (int j = 0; j < prob.p.n; ++j) {
            double sum = 0;
            for (int l = 0; l < prob.p.k; ++l) {
              sum += OpAt(prob.a, prob.p.order, prob.p.transA, prob.p.lda, i, l) *
                     OpAt(prob.b, prob.p.order, prob.p.transB, prob.p.ldb, l, j);
            }
            const size_t off = COffset(prob.p.order, prob.p.ldc, i, j);
            if (std::fabs(prob.c[off] - (sum + c0[off])) > 1e-3) failures++;
          }
        }
      }
    });
  }
  for (auto& t : hosts) t.join();
  EXPECT_EQ(failures.load(), 0);
}

template <class T>
MatMulParams<T> Valid(int order, int transA, int transB, int m, int n, int k) {
  const Stored sa = StoredShape(order, transA, m, k), sb = StoredShape(order, transB, k, n),
               sc = StoredShape(order, kN, m, n);
  return {order, transA, transB, m, n, k, T(1), sa.lead, sb.lead, T(0), sc.lead};
}

// Status 5 or 0 decides validity; a valid record runs a tiny product.
template <class T>
bool Accepted(MatMulParams<T> p) {
  std::vector<T> a(4096, 1), b(4096, 1), c(4096, 0);
  const int status = zelvan::Matmul<T>(a.data(), b.data(), c.data(), p);
  LogCapture::Get().Clear();
  return status == 0;
}

TYPED_TEST(MatmulTest, RecordRulesEachBoundMetAndMissed) {
  using T = TypeParam;
  const T inf = std::numeric_limits<T>::infinity();
  const T nan = std::numeric_limits<T>::quiet_NaN();
  const T big = std::numeric_limits<T>::max();
  auto with = [](MatMulParams<T> p, auto change) {
    change(p);
    return p;
  };
  const auto colA = Valid<T>(kCol, kN, kN, 5, 4, 3);
  EXPECT_TRUE(Accepted(colA));  // lda = 5
  EXPECT_FALSE(Accepted(with(colA, [](auto& p) { p.lda = 4; })));
  EXPECT_TRUE(Accepted(with(colA, [](auto& p) {
    p.lda = 9;
    p.ldb = 7;
    p.ldc = 8;
  })));  // padded
  const auto rowA = Valid<T>(kRow, kN, kN, 2, 3, 7);
  EXPECT_EQ(rowA.lda, 7);
  EXPECT_TRUE(Accepted(rowA));
  EXPECT_FALSE(Accepted(with(rowA, [](auto& p) { p.lda = 6; })));
  const auto colBT = Valid<T>(kCol, kN, kT, 3, 9, 2);
  EXPECT_EQ(colBT.ldb, 9);
  EXPECT_TRUE(Accepted(colBT));
  EXPECT_FALSE(Accepted(with(colBT, [](auto& p) { p.ldb = 8; })));
  const auto rowC = Valid<T>(kRow, kN, kN, 4, 6, 2);
  EXPECT_TRUE(Accepted(rowC));
  EXPECT_FALSE(Accepted(with(rowC, [](auto& p) { p.ldc = 5; })));
  EXPECT_TRUE(Accepted(with(Valid<T>(kCol, kN, kN, 4, 6, 2), [](auto& p) { p.ldc = 4; })));
  // Transposed A: the stored extents swap.
  EXPECT_TRUE(Accepted(Valid<T>(kCol, kT, kN, 6, 2, 3)));
  EXPECT_FALSE(Accepted(with(Valid<T>(kCol, kT, kN, 6, 2, 3), [](auto& p) { p.lda = 2; })));
  EXPECT_FALSE(Accepted(with(Valid<T>(kRow, kT, kN, 6, 2, 3), [](auto& p) { p.lda = 5; })));
  EXPECT_FALSE(Accepted(with(Valid<T>(kRow, kN, kT, 6, 2, 3), [](auto& p) { p.ldb = 2; })));
  // Enumerations.
  for (int bad : {0, 100, 103, 113}) {
    EXPECT_FALSE(Accepted(with(colA, [bad](auto& p) { p.order = bad; })));
  }
  EXPECT_FALSE(Accepted(with(colA, [](auto& p) { p.transA = 113; })));
  EXPECT_FALSE(Accepted(with(colA, [](auto& p) { p.transB = 113; })));
  EXPECT_FALSE(Accepted(with(colA, [](auto& p) { p.transB = 110; })));
  // Sizes.
  for (int v : {0, -1}) {
    EXPECT_FALSE(Accepted(with(colA, [v](auto& p) { p.m = v; })));
    EXPECT_FALSE(Accepted(with(colA, [v](auto& p) { p.n = v; })));
    EXPECT_FALSE(Accepted(with(colA, [v](auto& p) { p.k = v; })));
  }
  // Scale factors.
  for (T v : {inf, -inf, nan}) {
    EXPECT_FALSE(Accepted(with(colA, [v](auto& p) { p.alpha = v; })));
    EXPECT_FALSE(Accepted(with(colA, [v](auto& p) { p.beta = v; })));
  }
  EXPECT_TRUE(Accepted(with(colA, [big](auto& p) {
    p.alpha = big;
    p.beta = -big;
  })));
}

// Death-test suites run first, before any other case starts the pool or
// OpenMP threads in this process.
void PoolFailureChild() {
  dup2(2, 1);
  LogCapture::Get().Install();
  zelvan_test::ResetGemmCalls();
  // Small enough that the BLAS runs them on the calling thread.
  Problem<float> col(kCol, kN, kN, 40, 40, 8, 0, 1.0f, 0.0f, 1);
  Problem<float> row(kRow, kN, kN, 8, 8, 8, 0, 1.0f, 0.0f, 2);
  Problem<double> dbl(kCol, kN, kN, 8, 8, 8, 0, 1.0, 0.0, 3);
  const std::vector<float> c0 = col.c;
  // An invalid record never creates the pool.
  const int before = zelvan_test::ThreadCount();
  auto bad = col.p;
  bad.k = 0;
  CHILD_CHECK(zelvan::Matmul<float>(col.a.data(), col.b.data(), col.c.data(), bad) == 5);
  CHILD_CHECK(zelvan_test::ThreadCount() == before);
  CHILD_CHECK(LogCapture::Get().Take().size() == 1);
  // The tiled path reports the failed pool and makes no BLAS call.
  zelvan_test::FailAllocationAfter(0, 1);
  const int colStatus = col.Run();
  zelvan_test::StopFailing();
  CHILD_CHECK(colStatus == zelvan::STATUS_ERROR);
  CHILD_CHECK(col.c == c0);
  CHILD_CHECK(zelvan_test::GemmCalls().empty());
  CHILD_CHECK(LogCapture::Get().Take() == zelvan_test::One("Failed to create ThreadPool singleton instance."));
  // Double and row-major float never touch the pool: they succeed while
  // every allocation fails, and start no thread.
  zelvan_test::FailAllocationAfter(0);
  const int rowStatus = row.Run();
  const int dblStatus = dbl.Run();
  zelvan_test::StopFailing();
  CHILD_CHECK(rowStatus == 0 && dblStatus == 0);
  CHILD_CHECK(zelvan_test::GemmCalls().size() == 2);
  CHILD_CHECK(zelvan_test::ThreadCount() == before);
  // Nothing is cached: the next call creates the pool and multiplies.
  CHILD_CHECK(col.Run() == 0);
  CHILD_CHECK(col.c != c0);
  std::fflush(stdout);
  std::_Exit(0);
}

TEST(MatmulDeathTest, FailedPoolCreationIsReportedAndRetried) {
  EXPECT_EXIT(PoolFailureChild(), ::testing::ExitedWithCode(0), "^ create singleton error\n$");
}

}  // namespace
