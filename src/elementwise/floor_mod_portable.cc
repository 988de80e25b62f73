#include <cmath>
#include <cstdint>
#include <limits>

#include "elementwise/floor_mod_kernels.h"
#include "elementwise/operand.h"

namespace zelvan {
namespace portable {
namespace {

ZELVAN_KERNEL_INLINE float LibraryFmod(float x, float y) { return std::fmod(x, y); }
ZELVAN_KERNEL_INLINE double LibraryFmod(double x, double y) { return std::fmod(x, y); }

// Lane masks are ints combined with &, never && or ||, so the loop body
// stays free of control flow and the compiler if-converts it into vector
// selects.
//
// Lanes the fast path cannot serve go to the library: quotients too large
// for trunc(q) to be exact (a zero divisor aside, whose NaN is already
// right), and infinite divisors, where fmod keeps the dividend but the
// fast path multiplies 0 by infinity. An infinite dividend lands here too,
// through its infinite quotient; both are rare enough not to matter.
template <class T>
ZELVAN_KERNEL_INLINE int NeedsLibrary(T y, T q) {
  return (static_cast<int>(std::fabs(q) >= kExactQuotientLimit<T>) & static_cast<int>(y != 0)) |
         static_cast<int>(std::fabs(y) == std::numeric_limits<T>::infinity());
}

// The fast path of one lane. Both types may find trunc(q) one past the
// true quotient when q rounds up onto an integer: r (exact all the same)
// then has the sign opposite x's, and one y of x's sign mends it. That sum
// is exact because it is fmod's result. For x = 0, r is 0.
template <class T>
ZELVAN_KERNEL_INLINE T Mend(T r, T x, T y) {
  const int over = static_cast<int>(r != 0) & static_cast<int>((r < 0) != (x < 0));
  const T mended = over ? r + std::copysign(y, x) : r;
  // An exact multiple gives +0; fmod keeps the dividend's sign.
  return std::copysign(mended, x);
}

// Float lanes divide in float, twice as many to a vector as in double.
// With fused multiply-add, r is exact for the same reason as in double.
// Without it (std::fma would be a library call per lane), r is formed in
// double, where t * y (24 by 24 bits) and the difference are exact; it then
// fits a float, being a multiple of the finer of x's and y's units and
// smaller than y.
template <bool kFma>
ZELVAN_KERNEL_INLINE float FastRemainder(float x, float y, int& slow) {
  const float q = x / y;
  slow = NeedsLibrary(y, q);
  const float t = std::trunc(q);
  const float r = kFma ? std::fma(-t, y, x) : static_cast<float>(double{x} - double{t} * double{y});
  return Mend(r, x, y);
}

template <bool kFma>
ZELVAN_KERNEL_INLINE double FastRemainder(double x, double y, int& slow) {
  static_assert(kFma, "double lanes have no exact remainder without fused multiply-add");
  const double q = x / y;
  slow = NeedsLibrary(y, q);
  return Mend(std::fma(-std::trunc(q), y, x), x, y);
}

// Blocks are computed a chunk at a time into a local buffer, so lanes that
// need the library can still read their operands when out aliases them.
template <bool kFma, class T, class A, class B>
ZELVAN_KERNEL_INLINE void FloorModLoopWith(A x, B y, T* out, size_t n) {
  constexpr size_t kLanes = 16 / sizeof(T);
  constexpr size_t kChunk = 256;
  const size_t blocked = n - n % kLanes;
  for (size_t base = 0; base < blocked; base += kChunk) {
    const size_t len = blocked - base < kChunk ? blocked - base : kChunk;
    T result[kChunk];
    int slow[kChunk];
    int anySlow = 0;
    for (size_t j = 0; j < len; ++j) {
      result[j] = FastRemainder<kFma>(x[base + j], y[base + j], slow[j]);
      anySlow |= slow[j];
    }
    if (anySlow) {
      for (size_t j = 0; j < len; ++j) {
        if (slow[j]) {
          result[j] = LibraryFmod(x[base + j], y[base + j]);
        }
      }
    }
    for (size_t j = 0; j < len; ++j) {
      out[base + j] = result[j];
    }
  }
  for (size_t i = blocked; i < n; ++i) {
    out[i] = LibraryFmod(x[i], y[i]);
  }
}

// The float formula is chosen once per call, so each loop stays
// branch-free. Double lanes have no cheap exact form without a fused
// multiply-add and always use it.
template <class T, class A, class B>
ZELVAN_KERNEL_INLINE void FloorModLoop(A x, B y, T* out, size_t n) {
  if constexpr (sizeof(T) == 4) {
    if (!FmaIsNative()) {
      FloorModLoopWith<false>(x, y, out, n);
      return;
    }
  }
  FloorModLoopWith<true>(x, y, out, n);
}

}  // namespace

ZELVAN_PORTABLE_CLONES void FloorMod(const float* x, const float* y, float* out, size_t n) {
  FloorModLoop(Operand(x), Operand(y), out, n);
}
ZELVAN_PORTABLE_CLONES void FloorMod(float x, const float* y, float* out, size_t n) {
  FloorModLoop(Operand(x), Operand(y), out, n);
}
ZELVAN_PORTABLE_CLONES void FloorMod(const float* x, float y, float* out, size_t n) {
  FloorModLoop(Operand(x), Operand(y), out, n);
}
ZELVAN_PORTABLE_CLONES void FloorMod(const double* x, const double* y, double* out, size_t n) {
  FloorModLoop(Operand(x), Operand(y), out, n);
}
ZELVAN_PORTABLE_CLONES void FloorMod(double x, const double* y, double* out, size_t n) {
  FloorModLoop(Operand(x), Operand(y), out, n);
}
ZELVAN_PORTABLE_CLONES void FloorMod(const double* x, double y, double* out, size_t n) {
  FloorModLoop(Operand(x), Operand(y), out, n);
}

}  // namespace portable
}  // namespace zelvan
