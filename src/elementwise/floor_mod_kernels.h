// FloorMod kernels: out[i] = fmod(x, y) exactly, bit for bit (NaN where fmod
// gives NaN), where x and y are each an array or a broadcast scalar. out may
// be the same buffer as an array operand.
//
// Whole 128-bit blocks take the fast path: q = x / y, t = trunc(q),
// r = x - t * y with one rounding. That r is exact whenever t is the true
// truncated quotient or one past it, but two things need mending for
// fmod's result:
//  - q can round up onto the next integer, so t overshoots by one and r has
//    the sign opposite x's: one y of x's sign is added back;
//  - an exact multiple gives +0 where fmod keeps the dividend's sign: the
//    result always takes the sign of x.
// A finite x over an infinite y is x, where the fast path gives 0 * inf:
// those lanes are mended too. Lanes whose quotient is too large for t to be
// exact (|q| >= 2^24 for float, 2^53 for double, y non-zero) are rare and
// go through fmodf / fmod. The last n mod W elements go through fmodf /
// fmod directly.
#ifndef ZELVAN_ELEMENTWISE_FLOOR_MOD_KERNELS_H_
#define ZELVAN_ELEMENTWISE_FLOOR_MOD_KERNELS_H_

#include <cstddef>

#include "common/arch.h"

#define ZELVAN_DECLARE_FLOOR_MOD_KERNELS()                                \
  void FloorMod(const float* x, const float* y, float* out, size_t n);    \
  void FloorMod(float x, const float* y, float* out, size_t n);           \
  void FloorMod(const float* x, float y, float* out, size_t n);           \
  void FloorMod(const double* x, const double* y, double* out, size_t n); \
  void FloorMod(double x, const double* y, double* out, size_t n);        \
  void FloorMod(const double* x, double y, double* out, size_t n);

namespace zelvan {
namespace portable {
ZELVAN_DECLARE_FLOOR_MOD_KERNELS()
}  // namespace portable
namespace neon {
ZELVAN_DECLARE_FLOOR_MOD_KERNELS()
}  // namespace neon

// Quotient magnitude from which the fast path cannot be trusted.
template <class T>
constexpr T kExactQuotientLimit = sizeof(T) == 4 ? T(16777216.0) : T(9007199254740992.0);

}  // namespace zelvan

#undef ZELVAN_DECLARE_FLOOR_MOD_KERNELS

#endif  // ZELVAN_ELEMENTWISE_FLOOR_MOD_KERNELS_H_
