// One tester for every element-wise kernel variant: counts around the block
// edges, guard bytes past the end, and random data seeded with the type's
// extremes, all against a plain per-element reference.
#ifndef ZELVAN_TESTS_ELEMENTWISE_TESTER_H_
#define ZELVAN_TESTS_ELEMENTWISE_TESTER_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace zelvan_test {

// Every count from 0 to 130 crosses each block and prefetch edge; the large
// ones exercise the steady state.
inline std::vector<size_t> TestCounts() {
  std::vector<size_t> counts;
  for (size_t n = 0; n <= 130; ++n) counts.push_back(n);
  for (size_t n : {255u, 256u, 1000u, 4099u, 65537u}) counts.push_back(n);
  return counts;
}

// Random integers with a generous share of the extremes and their
// neighbours, and of small values so equal pairs occur.
template <class T>
std::vector<T> RandomIntegers(size_t n, std::mt19937_64& rng) {
  using L = std::numeric_limits<T>;
  const T specials[] = {L::min(), static_cast<T>(L::min() + 1), T{-1},   T{0},
                        T{1},     static_cast<T>(L::max() - 1), L::max()};
  std::vector<T> v(n);
  for (T& e : v) {
    switch (rng() % 4) {
      case 0:
        e = specials[rng() % 7];
        break;
      case 1:
        e = static_cast<T>(static_cast<int64_t>(rng() % 7) - 3);
        break;
      default:
        e = static_cast<T>(rng());
        break;
    }
  }
  return v;
}

constexpr unsigned char kGuard = 0xA5;
constexpr size_t kGuardBytes = 32;
constexpr size_t kLineBytes = 64;

// A buffer of n elements starting offset bytes past a cache-line boundary,
// with guard bytes before and after it that must survive.
template <class T>
class Guarded {
 public:
  explicit Guarded(size_t n, size_t offset = 0)
      : n_(n), bytes_(2 * kLineBytes + offset + n * sizeof(T) + kGuardBytes, kGuard) {
    const auto base = reinterpret_cast<uintptr_t>(bytes_.data());
    begin_ = (base + kLineBytes) / kLineBytes * kLineBytes - base + offset;
  }
  T* data() { return reinterpret_cast<T*>(bytes_.data() + begin_); }
  T& operator[](size_t i) { return data()[i]; }
  bool GuardIntact() const {
    for (size_t i = 0; i < bytes_.size(); ++i) {
      if ((i < begin_ || i >= begin_ + n_ * sizeof(T)) && bytes_[i] != kGuard) return false;
    }
    return true;
  }

 private:
  size_t n_;
  size_t begin_;
  std::vector<unsigned char> bytes_;
};

// Counts short of, at and past a line's worth of elements, and past a block.
inline std::vector<size_t> PlacementCounts() { return {0, 1, 7, 8, 9, 15, 16, 17, 63, 64, 65, 130, 1100}; }

enum class Form { kArrayArray, kArrayScalar, kScalarArray };
inline const char* FormName(Form f) {
  return f == Form::kArrayArray ? "array-array" : f == Form::kArrayScalar ? "array-scalar" : "scalar-array";
}

// A comparison under test, called as the form says: the scalar operand is
// element 0 of its array.
template <class T>
using CompareFn = int (*)(Form, T* x, T* y, bool* out, size_t n);

// Calls fn on x, y and out and checks each byte of out against the
// reference relation rel, plus the guard bytes around it; where names the
// case in a failure.
template <class T, class Rel>
void ExpectCompared(CompareFn<T> fn, Form form, Rel rel, T* x, T* y, Guarded<bool>& out, size_t n,
                    const std::string& where) {
  ASSERT_EQ(fn(form, x, y, out.data(), n), 0) << where;
  for (size_t i = 0; i < n; ++i) {
    const T xi = form == Form::kScalarArray ? x[0] : x[i];
    const T yi = form == Form::kArrayScalar ? y[0] : y[i];
    unsigned char byte;
    std::memcpy(&byte, out.data() + i, 1);
    ASSERT_EQ(byte, rel(xi, yi) ? 1 : 0) << FormName(form) << " " << where << " i=" << i << " x=" << xi << " y=" << yi;
  }
  ASSERT_TRUE(out.GuardIntact()) << FormName(form) << " " << where << ": wrote outside out";
}

// Runs fn over every test count on random data.
template <class T, class Rel>
void CheckCompare(CompareFn<T> fn, Form form, Rel rel, uint64_t seed) {
  std::mt19937_64 rng(seed);
  for (size_t n : TestCounts()) {
    std::vector<T> x = RandomIntegers<T>(n + 1, rng);
    std::vector<T> y = RandomIntegers<T>(n + 1, rng);
    Guarded<bool> out(n);
    ExpectCompared(fn, form, rel, x.data(), y.data(), out, n, "n=" + std::to_string(n));
  }
}

// fn with its arrays starting at every element of a cache line, the other
// array and the output each at a few places of their own: kernels may peel
// elements to line up a stream, and must neither lose nor add any.
template <class T, class Rel>
void CheckComparePlacement(CompareFn<T> fn, Form form, Rel rel, uint64_t seed) {
  std::mt19937_64 rng(seed);
  constexpr size_t kLine = kLineBytes / sizeof(T);
  for (size_t n : PlacementCounts()) {
    for (size_t lead = 0; lead < kLine; ++lead) {
      for (size_t other : {size_t{0}, size_t{1}, kLine - 1}) {
        for (size_t outBytes : {size_t{0}, size_t{1}, size_t{31}}) {
          // The scalar of a broadcast form is element 0 of its array.
          const size_t xAt = form == Form::kScalarArray ? other : lead;
          const size_t yAt = form == Form::kScalarArray ? lead : other;
          Guarded<T> x(n + 1, xAt * sizeof(T)), y(n + 1, yAt * sizeof(T));
          const std::vector<T> xs = RandomIntegers<T>(n + 1, rng), ys = RandomIntegers<T>(n + 1, rng);
          std::copy(xs.begin(), xs.end(), x.data());
          std::copy(ys.begin(), ys.end(), y.data());
          Guarded<bool> out(n, outBytes);
          ExpectCompared(fn, form, rel, x.data(), y.data(), out, n,
                         "n=" + std::to_string(n) + " x at " + std::to_string(xAt) + " y at " + std::to_string(yAt) +
                             " out at " + std::to_string(outBytes));
        }
      }
    }
  }
}

}  // namespace zelvan_test

#endif  // ZELVAN_TESTS_ELEMENTWISE_TESTER_H_
