// One tester for every Select variant: condition patterns including bytes
// other than 0 and 1, the extremes of long, every count from 0 to 130, the
// output aliasing x or y, and guard elements past the end.
#ifndef ZELVAN_TESTS_SELECT_TESTER_H_
#define ZELVAN_TESTS_SELECT_TESTER_H_

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>
#include <vector>

#include "elementwise_tester.h"

namespace zelvan_test {

// fn(cond bytes, x, y, out, n).
using SelectFn = int (*)(const unsigned char* cond, long* x, long* y, long* out, size_t n);

enum class Pattern { kAllTrue, kAllFalse, kAlternating, kRandomBytes };

inline void CheckSelect(SelectFn fn, uint64_t seed) {
  std::mt19937_64 rng(seed);
  for (Pattern pattern : {Pattern::kAllTrue, Pattern::kAllFalse, Pattern::kAlternating, Pattern::kRandomBytes}) {
    for (size_t n : TestCounts()) {
      // One spare element each keeps the pointers non-null when n is 0.
      std::vector<unsigned char> cond(n + 1, 1);
      for (size_t i = 0; i < n; ++i) {
        switch (pattern) {
          case Pattern::kAllTrue:
            cond[i] = 1;
            break;
          case Pattern::kAllFalse:
            cond[i] = 0;
            break;
          case Pattern::kAlternating:
            cond[i] = i % 2;
            break;
          // Half zero, half any non-zero byte (2, 0x80, 0xFF...).
          default:
            cond[i] = rng() % 2 ? 0 : static_cast<unsigned char>(1 + rng() % 255);
            break;
        }
      }
      std::vector<long> x = RandomIntegers<long>(n + 1, rng);
      std::vector<long> y = RandomIntegers<long>(n + 1, rng);
      if (n > 1) {
        x[0] = LONG_MIN;
        y[1] = LONG_MAX;
      }
      std::vector<long> want(n + 1);
      for (size_t i = 0; i < n; ++i) want[i] = cond[i] != 0 ? x[i] : y[i];

      Guarded<long> out(n);
      ASSERT_EQ(fn(cond.data(), x.data(), y.data(), out.data(), n), 0);
      for (size_t i = 0; i < n; ++i) {
        ASSERT_EQ(out[i], want[i]) << "n=" << n << " i=" << i << " cond=" << int(cond[i]);
      }
      ASSERT_TRUE(out.GuardIntact()) << "wrote outside out[0, " << n << ")";

      std::vector<long> onX = x, onY = y;
      want[n] = x[n];  // the spare element is not written
      ASSERT_EQ(fn(cond.data(), onX.data(), y.data(), onX.data(), n), 0);
      ASSERT_EQ(onX, want) << "out == x, n=" << n;
      want[n] = y[n];
      ASSERT_EQ(fn(cond.data(), x.data(), onY.data(), onY.data(), n), 0);
      ASSERT_EQ(onY, want) << "out == y, n=" << n;
    }
  }
}

// fn with the output starting at every element of a cache line and the
// inputs each at a few places of their own.
inline void CheckSelectPlacement(SelectFn fn, uint64_t seed) {
  std::mt19937_64 rng(seed);
  constexpr size_t kLine = kLineBytes / sizeof(long);
  for (size_t n : PlacementCounts()) {
    for (size_t outAt = 0; outAt < kLine; ++outAt) {
      for (size_t condBytes : {size_t{0}, size_t{1}, size_t{63}}) {
        for (size_t inAt : {size_t{0}, size_t{1}, kLine - 1}) {
          Guarded<unsigned char> cond(n, condBytes);
          Guarded<long> x(n, inAt * sizeof(long)), y(n, (kLine - 1 - inAt) * sizeof(long)),
              out(n, outAt * sizeof(long));
          const std::vector<long> xs = RandomIntegers<long>(n, rng), ys = RandomIntegers<long>(n, rng);
          for (size_t i = 0; i < n; ++i) {
            cond[i] = rng() % 2 ? 0 : static_cast<unsigned char>(1 + rng() % 255);
            x[i] = xs[i];
            y[i] = ys[i];
          }
          ASSERT_EQ(fn(cond.data(), x.data(), y.data(), out.data(), n), 0);
          for (size_t i = 0; i < n; ++i) {
            ASSERT_EQ(out[i], cond[i] != 0 ? x[i] : y[i])
                << "n=" << n << " out at " << outAt << " cond at " << condBytes << " x at " << inAt << " i=" << i;
          }
          ASSERT_TRUE(out.GuardIntact()) << "n=" << n << " out at " << outAt << ": wrote outside out";
        }
      }
    }
  }
}

}  // namespace zelvan_test

#endif  // ZELVAN_TESTS_SELECT_TESTER_H_
