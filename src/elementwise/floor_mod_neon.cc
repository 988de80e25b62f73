// AArch64 Advanced SIMD FloorMod: one 128-bit vector per block (4 floats or
// 2 doubles) with divide, round toward zero (frintz) and fused
// multiply-subtract (fmls), plus the branch-free mending described in
// floor_mod_kernels.h.
#include <arm_neon.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "elementwise/floor_mod_kernels.h"

namespace zelvan {
namespace neon {
namespace {

struct F32 {
  using T = float;
  using V = float32x4_t;
  using M = uint32x4_t;
  static constexpr size_t kLanes = 4;
  static V Load(const float* p) { return vld1q_f32(p); }
  static V Splat(float v) { return vdupq_n_f32(v); }
  static void Store(float* p, V v) { vst1q_f32(p, v); }
  static V Div(V a, V b) { return vdivq_f32(a, b); }
  static V Trunc(V a) { return vrndq_f32(a); }
  static V MulSub(V acc, V a, V b) { return vfmsq_f32(acc, a, b); }  // acc - a * b, one rounding
  static V Abs(V a) { return vabsq_f32(a); }
  static M AbsGe(V a, V b) { return vcageq_f32(a, b); }
  static M AbsLe(V a, V b) { return vcaleq_f32(a, b); }
  static M IsZero(V a) { return vceqzq_f32(a); }
  static M SignBits(V a) { return vreinterpretq_u32_s32(vshrq_n_s32(vreinterpretq_s32_f32(a), 31)); }
  static M SignMask() { return vdupq_n_u32(0x80000000u); }
  static V Select(M m, V a, V b) { return vbslq_f32(m, a, b); }
  static M AndNot(M a, M b) { return vbicq_u32(a, b); }
  static M And(M a, M b) { return vandq_u32(a, b); }
  static M Xor(M a, M b) { return veorq_u32(a, b); }
  static bool Any(M m) { return vmaxvq_u32(m) != 0; }
  static V CopySign(V magnitude, V sign) { return vbslq_f32(SignMask(), sign, magnitude); }
  static float Library(float x, float y) { return std::fmod(x, y); }
};

struct F64 {
  using T = double;
  using V = float64x2_t;
  using M = uint64x2_t;
  static constexpr size_t kLanes = 2;
  static V Load(const double* p) { return vld1q_f64(p); }
  static V Splat(double v) { return vdupq_n_f64(v); }
  static void Store(double* p, V v) { vst1q_f64(p, v); }
  static V Div(V a, V b) { return vdivq_f64(a, b); }
  static V Trunc(V a) { return vrndq_f64(a); }
  static V MulSub(V acc, V a, V b) { return vfmsq_f64(acc, a, b); }
  static V Abs(V a) { return vabsq_f64(a); }
  static M AbsGe(V a, V b) { return vcageq_f64(a, b); }
  static M AbsLe(V a, V b) { return vcaleq_f64(a, b); }
  static M IsZero(V a) { return vceqzq_f64(a); }
  static M SignBits(V a) { return vreinterpretq_u64_s64(vshrq_n_s64(vreinterpretq_s64_f64(a), 63)); }
  static M SignMask() { return vdupq_n_u64(0x8000000000000000ull); }
  static V Select(M m, V a, V b) { return vbslq_f64(m, a, b); }
  static M AndNot(M a, M b) { return vbicq_u64(a, b); }
  static M And(M a, M b) { return vandq_u64(a, b); }
  static M Xor(M a, M b) { return veorq_u64(a, b); }
  static bool Any(M m) { return (vgetq_lane_u64(m, 0) | vgetq_lane_u64(m, 1)) != 0; }
  static V CopySign(V magnitude, V sign) { return vbslq_f64(SignMask(), sign, magnitude); }
  static double Library(double x, double y) { return std::fmod(x, y); }
};

// An array operand loads a block; a scalar one was broadcast once.
template <class D>
struct ArrayIn {
  const typename D::T* data;
  typename D::V Block(size_t i) const { return D::Load(data + i); }
  typename D::T operator[](size_t i) const { return data[i]; }
};
template <class D>
struct ScalarIn {
  explicit ScalarIn(typename D::T v) : value(v), lanes(D::Splat(v)) {}
  typename D::T value;
  typename D::V lanes;
  typename D::V Block(size_t /*i*/) const { return lanes; }
  typename D::T operator[](size_t /*i*/) const { return value; }
};

template <class D, class A, class B>
void FloorModLoop(const A& xs, const B& ys, typename D::T* out, size_t n) {
  using V = typename D::V;
  using M = typename D::M;
  using T = typename D::T;
  const V limit = D::Splat(kExactQuotientLimit<T>);
  const V maxFinite = D::Splat(std::numeric_limits<T>::max());
  const V infinity = D::Splat(std::numeric_limits<T>::infinity());
  const V one = D::Splat(T(1));
  size_t i = 0;
  for (; i + D::kLanes <= n; i += D::kLanes) {
    const V x = xs.Block(i);
    const V y = ys.Block(i);
    const V q = D::Div(x, y);
    const V t = D::Trunc(q);
    const V r = D::MulSub(x, t, y);
    // t overshot when r is non-zero with a sign other than x's.
    const M wrongSign = D::AndNot(D::Xor(D::SignBits(r), D::SignBits(x)), D::IsZero(r));
    const V t2 = D::Select(wrongSign, D::MulSub(t, D::CopySign(one, t), one), t);
    V result = D::CopySign(D::Abs(D::MulSub(x, t2, y)), x);
    const M xFinite = D::AbsLe(x, maxFinite);
    const M yFinite = D::AbsLe(y, maxFinite);
    result = D::Select(D::And(D::AbsGe(y, infinity), xFinite), x, result);
    const M huge = D::AndNot(D::And(D::And(D::AbsGe(q, limit), xFinite), yFinite), D::IsZero(y));
    if (D::Any(huge)) {
      // Rare: a quotient too large for t to be exact. The operands are
      // still in registers, so an aliased output is no obstacle.
      T xl[D::kLanes], yl[D::kLanes], rl[D::kLanes];
      D::Store(xl, x);
      D::Store(yl, y);
      for (size_t j = 0; j < D::kLanes; ++j) {
        rl[j] = D::Library(xl[j], yl[j]);
      }
      result = D::Load(rl);
    }
    D::Store(out + i, result);
  }
  for (; i < n; ++i) {
    out[i] = D::Library(xs[i], ys[i]);
  }
}

}  // namespace

void FloorMod(const float* x, const float* y, float* out, size_t n) {
  FloorModLoop<F32>(ArrayIn<F32>{x}, ArrayIn<F32>{y}, out, n);
}
void FloorMod(float x, const float* y, float* out, size_t n) {
  FloorModLoop<F32>(ScalarIn<F32>(x), ArrayIn<F32>{y}, out, n);
}
void FloorMod(const float* x, float y, float* out, size_t n) {
  FloorModLoop<F32>(ArrayIn<F32>{x}, ScalarIn<F32>(y), out, n);
}
void FloorMod(const double* x, const double* y, double* out, size_t n) {
  FloorModLoop<F64>(ArrayIn<F64>{x}, ArrayIn<F64>{y}, out, n);
}
void FloorMod(double x, const double* y, double* out, size_t n) {
  FloorModLoop<F64>(ScalarIn<F64>(x), ArrayIn<F64>{y}, out, n);
}
void FloorMod(const double* x, double y, double* out, size_t n) {
  FloorModLoop<F64>(ArrayIn<F64>{x}, ScalarIn<F64>(y), out, n);
}

}  // namespace neon
}  // namespace zelvan
