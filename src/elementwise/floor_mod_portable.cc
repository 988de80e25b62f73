#include <cmath>
#include <cstdint>
#include <limits>

#include "elementwise/floor_mod_kernels.h"
#include "elementwise/operand.h"

namespace zelvan {
namespace portable {
namespace {

inline float LibraryFmod(float x, float y) { return std::fmod(x, y); }
inline double LibraryFmod(double x, double y) { return std::fmod(x, y); }

// True when the fast path cannot be trusted for this lane.
template <class T>
inline bool NeedsLibrary(T x, T y, double q) {
  const T max = std::numeric_limits<T>::max();
  return std::fabs(q) >= double{kExactQuotientLimit<T>} && std::fabs(x) <= max && std::fabs(y) <= max && y != 0;
}

// The mended fast path of one lane, written without data-dependent branches
// so the compiler turns a loop of it into vector selects.
//
// Float lanes run in double: t * y is then exact without a fused
// multiply-add, and t never overshoots. A float quotient that is not an
// integer lies at least 2^-24 from one, while the double quotient of a
// value below 2^24 errs by less than 2^-29.
inline float FastRemainder(float x, float y, bool& slow) {
  const double xd = x, yd = y;
  const double q = xd / yd;
  slow = NeedsLibrary(x, y, q);
  const float r = static_cast<float>(xd - std::trunc(q) * yd);
  const float result = std::copysign(std::fabs(r), x);
  return std::isfinite(x) && std::isinf(y) ? x : result;
}

inline double FastRemainder(double x, double y, bool& slow) {
  const double q = x / y;
  slow = NeedsLibrary(x, y, q);
  const double t = std::trunc(q);
  const double r = std::fma(-t, y, x);
  const bool over = r != 0 && std::signbit(r) != std::signbit(x);
  const double t2 = over ? t - std::copysign(1.0, t) : t;
  const double result = std::copysign(std::fabs(std::fma(-t2, y, x)), x);
  return std::isfinite(x) && std::isinf(y) ? x : result;
}

// Blocks are computed a chunk at a time into a local buffer, so lanes that
// need the library can still read their operands when out aliases them.
template <class T, class A, class B>
inline void FloorModLoop(A x, B y, T* out, size_t n) {
  constexpr size_t kLanes = 16 / sizeof(T);
  constexpr size_t kChunk = 64;
  const size_t blocked = n - n % kLanes;
  for (size_t base = 0; base < blocked; base += kChunk) {
    const size_t len = blocked - base < kChunk ? blocked - base : kChunk;
    T result[kChunk];
    bool slow[kChunk];
    bool anySlow = false;
    for (size_t j = 0; j < len; ++j) {
      result[j] = FastRemainder(x[base + j], y[base + j], slow[j]);
      anySlow |= slow[j];
    }
    if (anySlow) {
      for (size_t j = 0; j < len; ++j) {
        if (slow[j]) result[j] = LibraryFmod(x[base + j], y[base + j]);
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
