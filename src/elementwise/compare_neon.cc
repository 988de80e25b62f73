// AArch64 Advanced SIMD comparison kernels.
#include <arm_neon.h>

#include <cstdint>
#include <cstring>

#include "common/prefetch.h"
#include "elementwise/blocked_loop.h"
#include "elementwise/compare_kernels.h"

namespace zelvan {
namespace neon {
namespace {

// 4 x int32 and 2 x int64 operands: an array loads a vector per step, a
// scalar is broadcast once per call.
struct Array32 {
  const int* data;
  int32x4_t Load(size_t i) const { return vld1q_s32(data + i); }
  int operator[](size_t i) const { return data[i]; }
};
struct Scalar32 {
  explicit Scalar32(int v) : value(v), lanes(vdupq_n_s32(v)) {}
  int value;
  int32x4_t lanes;
  int32x4_t Load(size_t /*i*/) const { return lanes; }
  int operator[](size_t /*i*/) const { return value; }
};
struct Array64 {
  const long* data;
  int64x2_t Load(size_t i) const { return vld1q_s64(reinterpret_cast<const int64_t*>(data + i)); }
  long operator[](size_t i) const { return data[i]; }
};
struct Scalar64 {
  explicit Scalar64(long v) : value(v), lanes(vdupq_n_s64(v)) {}
  long value;
  int64x2_t lanes;
  int64x2_t Load(size_t /*i*/) const { return lanes; }
  long operator[](size_t /*i*/) const { return value; }
};

template <class A, class B>
void Greater32(const A& a, const B& b, bool* out, size_t n) {
  auto* bytes = reinterpret_cast<uint8_t*>(out);
  const uint8x8_t one = vdup_n_u8(1);
  size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const uint32x4_t mask = vcgtq_s32(a.Load(i), b.Load(i));
    const uint16x4_t half = vmovn_u32(mask);
    const uint8x8_t truth = vand_u8(vmovn_u16(vcombine_u16(half, half)), one);
    const uint32_t packed = vget_lane_u32(vreinterpret_u32_u8(truth), 0);
    std::memcpy(bytes + i, &packed, 4);
  }
  for (; i < n; ++i) {
    bytes[i] = a[i] > b[i] ? 1 : 0;
  }
}

template <class A, class B>
void Greater64(const A& a, const B& b, bool* out, size_t n) {
  auto* bytes = reinterpret_cast<uint8_t*>(out);
  size_t i = 0;
  for (; i + 2 <= n; i += 2) {
    const uint64x2_t mask = vcgtq_s64(a.Load(i), b.Load(i));
    const uint32x2_t truth = vand_u32(vmovn_u64(mask), vdup_n_u32(1));
    bytes[i] = static_cast<uint8_t>(vget_lane_u32(truth, 0));
    bytes[i + 1] = static_cast<uint8_t>(vget_lane_u32(truth, 1));
  }
  if (i < n) {
    bytes[i] = a[i] > b[i] ? 1 : 0;
  }
}

// The 64-bit array-array form is plain scalar code: the compiler vectorises
// each 16-element block, and the prefetch 64 ahead keeps both input streams
// and the output in L2 at memory speed.
void GreaterBlocked(const long* a, const long* b, bool* out, size_t n) {
  BlockedPrefetchLoop(
      n,
      [=](size_t i) ZELVAN_LAMBDA_INLINE {
        PrefetchReadL2(a + i);
        PrefetchReadL2(b + i);
        PrefetchWriteL2(out + i);
      },
      [=](size_t i) ZELVAN_LAMBDA_INLINE {
        for (size_t j = i; j < i + kBlock; ++j) {
          out[j] = a[j] > b[j];
        }
      },
      [=](size_t i) ZELVAN_LAMBDA_INLINE { out[i] = a[i] > b[i]; });
}

}  // namespace

void Greater(const int* a, const int* b, bool* out, size_t n) { Greater32(Array32{a}, Array32{b}, out, n); }
void Greater(const int* a, int b, bool* out, size_t n) { Greater32(Array32{a}, Scalar32(b), out, n); }
void Greater(int a, const int* b, bool* out, size_t n) { Greater32(Scalar32(a), Array32{b}, out, n); }
void Greater(const long* a, const long* b, bool* out, size_t n) { GreaterBlocked(a, b, out, n); }
void Greater(const long* a, long b, bool* out, size_t n) { Greater64(Array64{a}, Scalar64(b), out, n); }
void Greater(long a, const long* b, bool* out, size_t n) { Greater64(Scalar64(a), Array64{b}, out, n); }

}  // namespace neon
}  // namespace zelvan
