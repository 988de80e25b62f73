// One tester for every FloorMod variant: each element must equal fmodf/fmod
// of its operands bit for bit (any NaN where they give NaN), whatever its
// position, so special pairs are rotated through blocks and tails.
#ifndef ZELVAN_TESTS_FLOOR_MOD_TESTER_H_
#define ZELVAN_TESTS_FLOOR_MOD_TESTER_H_

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <type_traits>
#include <utility>
#include <vector>

#include "elementwise_tester.h"

namespace zelvan_test {

template <class T>
using Bits = std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>;

template <class T>
bool SameResult(T got, T want) {
  if (std::isnan(want)) return std::isnan(got);
  Bits<T> a, b;
  std::memcpy(&a, &got, sizeof(T));
  std::memcpy(&b, &want, sizeof(T));
  return a == b;
}

template <class T>
T Reference(T x, T y) {
  return std::fmod(x, y);
}

// Operand pairs that each break a naive quotient formula somewhere.
template <class T>
std::vector<std::pair<T, T>> SpecialPairs() {
  using L = std::numeric_limits<T>;
  const T inf = L::infinity(), nan = L::quiet_NaN(), den = L::denorm_min(), big = L::max();
  const T exactLimit = sizeof(T) == 4 ? T(16777216.0) : T(9007199254740992.0);
  std::vector<std::pair<T, T>> p = {
      {-7, 3},
      {7, -3},
      {-7, -3},
      {7, 3},
      {-6, 3},
      {6, -3},
      {-0.0, 3},
      {0.0, -3},
      {0, 0},
      {5, 0},
      {-5, -0.0},
      {inf, 3},
      {-inf, 3},
      {nan, 3},
      {3, nan},
      {nan, nan},
      {5, inf},
      {-5, -inf},
      {-0.0, inf},
      {inf, inf},
      {den, 3},
      {-den, den},
      {3 * den, 2 * den},
      {L::min(), den},
      {big, den},
      {big, 3},
      {-big, T(1.5)},
      {T(1e10), 3},
      {T(-1e10), 3},
      {exactLimit, 3},
      {exactLimit - 1, 1},
      {exactLimit * 3, 3},
      {std::nextafter(exactLimit, T(0)), T(0.5)},
      {exactLimit * 2 + 2, 1},
      {T(1e30), T(1e-30)},
      {std::nextafter(T(3), T(0)), T(1)},
      {std::nextafter(T(9), T(0)), T(3)},
      {T(0.3), T(0.1)},
      {T(-0.3), T(0.1)},
      {T(1), std::nextafter(T(1), T(2))},
      {T(1), std::nextafter(T(1), T(0))},
  };
  return p;
}

// A random value of any magnitude: uniform over bit patterns, which covers
// every exponent, subnormals, infinities and NaNs.
template <class T>
T RandomBits(std::mt19937_64& rng) {
  const Bits<T> bits = static_cast<Bits<T>>(rng());
  T v;
  std::memcpy(&v, &bits, sizeof(T));
  return v;
}

// Pairs whose quotient lies just below or above an integer, where the
// rounded quotient may land on the wrong side.
template <class T>
std::pair<T, T> NearIntegerQuotient(std::mt19937_64& rng) {
  std::uniform_real_distribution<double> u(0.5, 2);
  const T y = static_cast<T>(u(rng) * std::ldexp(1.0, static_cast<int>(rng() % 40) - 20));
  const double k = std::floor(std::ldexp(u(rng), static_cast<int>(rng() % (sizeof(T) == 4 ? 24 : 53))));
  T x = static_cast<T>(k * static_cast<double>(y));
  for (int steps = static_cast<int>(rng() % 4); steps > 0; --steps) x = std::nextafter(x, rng() % 2 ? T(0) : y * 1e30f);
  return {rng() % 2 ? -x : x, rng() % 2 ? -y : y};
}

template <class T>
std::pair<T, T> RandomPair(std::mt19937_64& rng, const std::vector<std::pair<T, T>>& specials) {
  switch (rng() % 5) {
    case 0:
      return specials[rng() % specials.size()];
    case 1:
      return NearIntegerQuotient<T>(rng);
    case 2: {
      std::uniform_real_distribution<double> u(-1000, 1000);
      return {static_cast<T>(u(rng)), static_cast<T>(u(rng) / 37)};
    }
    default:
      return {RandomBits<T>(rng), RandomBits<T>(rng)};
  }
}

// fn(form, x, y, out, n): the scalar operand is element 0 of its array.
template <class T>
using FloorModFn = int (*)(Form, T* x, T* y, T* out, size_t n);

template <class T>
void CheckFloorModCase(FloorModFn<T> fn, Form form, std::vector<T> x, std::vector<T> y, const char* where) {
  const size_t n = x.size();
  if (form == Form::kScalarArray) std::fill(x.begin(), x.end(), x.empty() ? T(0) : x[0]);
  if (form == Form::kArrayScalar) std::fill(y.begin(), y.end(), y.empty() ? T(0) : y[0]);
  std::vector<T> want(n);
  for (size_t i = 0; i < n; ++i) want[i] = Reference(x[i], y[i]);
  // A separate output with a guard, then the output aliasing each array
  // operand in turn.
  Guarded<T> out(n);
  // One spare element keeps the pointers non-null when n is 0.
  std::vector<T> xs = x, ys = y;
  xs.push_back(T(1));
  ys.push_back(T(1));
  ASSERT_EQ(fn(form, xs.data(), ys.data(), out.data(), n), 0);
  for (size_t i = 0; i < n; ++i) {
    ASSERT_TRUE(SameResult(out[i], want[i]))
        << where << " " << FormName(form) << " n=" << n << " i=" << i << " x=" << x[i] << " y=" << y[i] << " got "
        << out[i] << " want " << want[i];
  }
  ASSERT_TRUE(out.GuardIntact()) << "wrote outside out[0, " << n << ")";
  if (n == 0) return;
  if (form != Form::kScalarArray) {
    std::vector<T> inPlace = x;
    ASSERT_EQ(fn(form, inPlace.data(), ys.data(), inPlace.data(), n), 0);
    for (size_t i = 0; i < n; ++i) ASSERT_TRUE(SameResult(inPlace[i], want[i])) << where << " out==x i=" << i;
  }
  if (form != Form::kArrayScalar) {
    std::vector<T> inPlace = y;
    ASSERT_EQ(fn(form, xs.data(), inPlace.data(), inPlace.data(), n), 0);
    for (size_t i = 0; i < n; ++i) ASSERT_TRUE(SameResult(inPlace[i], want[i])) << where << " out==y i=" << i;
  }
}

// Every count from 0 to 20 and some large ones; each special pair is tried
// at every position of the short buffers.
template <class T>
void CheckFloorMod(FloorModFn<T> fn, uint64_t seed) {
  std::mt19937_64 rng(seed);
  const auto specials = SpecialPairs<T>();
  for (Form form : {Form::kArrayArray, Form::kArrayScalar, Form::kScalarArray}) {
    for (size_t n = 0; n <= 20; ++n) {
      for (size_t s = 0; s < specials.size(); ++s) {
        for (size_t pos = 0; pos < n; ++pos) {
          std::vector<T> x(n), y(n);
          for (size_t i = 0; i < n; ++i) std::tie(x[i], y[i]) = RandomPair<T>(rng, specials);
          std::tie(x[pos], y[pos]) = specials[s];
          if (form == Form::kScalarArray) std::swap(x[0], x[pos]);
          if (form == Form::kArrayScalar) std::swap(y[0], y[pos]);
          CheckFloorModCase<T>(fn, form, x, y, "special");
          if (::testing::Test::HasFatalFailure()) return;
        }
      }
      if (n == 0) CheckFloorModCase<T>(fn, form, {}, {}, "empty");
    }
    for (size_t n : {1001u, 65539u}) {
      std::vector<T> x(n), y(n);
      for (size_t i = 0; i < n; ++i) std::tie(x[i], y[i]) = RandomPair<T>(rng, specials);
      CheckFloorModCase<T>(fn, form, x, y, "random");
      if (::testing::Test::HasFatalFailure()) return;
    }
  }
}

}  // namespace zelvan_test

#endif  // ZELVAN_TESTS_FLOOR_MOD_TESTER_H_
