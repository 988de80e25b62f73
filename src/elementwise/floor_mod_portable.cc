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
template <class T>
ZELVAN_KERNEL_INLINE int Finite(T v) {
  return static_cast<int>(std::fabs(v) <= std::numeric_limits<T>::max());
}

// True when the fast path cannot be trusted for this lane.
template <class T>
ZELVAN_KERNEL_INLINE int NeedsLibrary(T x, T y, double q) {
  return static_cast<int>(std::fabs(q) >= double{kExactQuotientLimit<T>}) & Finite(x) & Finite(y) &
         static_cast<int>(y != 0);
}

// A finite dividend over an infinite divisor is the dividend itself.
template <class T>
ZELVAN_KERNEL_INLINE int FiniteOverInfinite(T x, T y) {
  return Finite(x) & static_cast<int>(std::fabs(y) == std::numeric_limits<T>::infinity());
}

// The mended fast path of one lane.
//
// Float lanes run in double: t * y is then exact without a fused
// multiply-add, and t never overshoots. A float quotient that is not an
// integer lies at least 2^-24 from one, while the double quotient of a
// value below 2^24 errs by less than 2^-29.
ZELVAN_KERNEL_INLINE float FastRemainder(float x, float y, int& slow) {
  const double xd = x, yd = y;
  const double q = xd / yd;
  slow = NeedsLibrary(x, y, q);
  const float r = static_cast<float>(xd - std::trunc(q) * yd);
  const float result = std::copysign(std::fabs(r), x);
  return FiniteOverInfinite(x, y) ? x : result;
}

ZELVAN_KERNEL_INLINE double FastRemainder(double x, double y, int& slow) {
  const double q = x / y;
  slow = NeedsLibrary(x, y, q);
  const double t = std::trunc(q);
  const double r = std::fma(-t, y, x);
  // t overshot when r is non-zero with a sign other than x's (for x = 0,
  // r is 0). Plain comparisons keep the lane branch-free.
  const int over = static_cast<int>(r != 0) & static_cast<int>((r < 0) != (x < 0));
  const double t2 = t - (over ? (t > 0 ? 1.0 : -1.0) : 0.0);
  const double result = std::copysign(std::fabs(std::fma(-t2, y, x)), x);
  return FiniteOverInfinite(x, y) ? x : result;
}

// Blocks are computed a chunk at a time into a local buffer, so lanes that
// need the library can still read their operands when out aliases them.
template <class T, class A, class B>
ZELVAN_KERNEL_INLINE void FloorModLoop(A x, B y, T* out, size_t n) {
  constexpr size_t kLanes = 16 / sizeof(T);
  constexpr size_t kChunk = 256;
  const size_t blocked = n - n % kLanes;
  for (size_t base = 0; base < blocked; base += kChunk) {
    const size_t len = blocked - base < kChunk ? blocked - base : kChunk;
    T result[kChunk];
    int slow[kChunk];
    int anySlow = 0;
    for (size_t j = 0; j < len; ++j) {
      result[j] = FastRemainder(x[base + j], y[base + j], slow[j]);
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
