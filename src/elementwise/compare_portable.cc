#include <cstdint>

#include "elementwise/compare_kernels.h"
#include "elementwise/operand.h"
#include "elementwise/streamed_loop.h"

namespace zelvan {
namespace portable {
namespace {

template <class A, class B>
ZELVAN_KERNEL_INLINE void GreaterBlock(A a, B b, bool* out, size_t i) {
  for (size_t j = 0; j < kStreamBlock; ++j) {
    out[i + j] = a[i + j] > b[i + j];
  }
}

// The one array of a broadcast form.
template <class T>
ZELVAN_KERNEL_INLINE const T* Stream(ArrayOperand<T> a, ScalarOperand<T> /*b*/) {
  return a.data;
}
template <class T>
ZELVAN_KERNEL_INLINE const T* Stream(ScalarOperand<T> /*a*/, ArrayOperand<T> b) {
  return b.data;
}

template <class A, class B>
ZELVAN_KERNEL_INLINE void GreaterLoop(A a, B b, bool* out, size_t n) {
  BlockLoop(
      n, LineHead(Stream(a, b), n), [=](size_t i) ZELVAN_LAMBDA_INLINE { GreaterBlock(a, b, out, i); },
      [=](size_t i) ZELVAN_LAMBDA_INLINE { out[i] = a[i] > b[i]; });
}

// Two input streams: the blocks hint both ahead and line up the first.
template <class T>
ZELVAN_KERNEL_INLINE void GreaterLoop(const T* a, const T* b, bool* out, size_t n) {
  StreamedLoop<StreamAhead<T>()>(
      n, LineHead(a, n),
      [=](size_t i) ZELVAN_LAMBDA_INLINE {
        PrefetchStreamBlock(a + i);
        PrefetchStreamBlock(b + i);
      },
      [=](size_t i) ZELVAN_LAMBDA_INLINE { GreaterBlock(a, b, out, i); },
      [=](size_t i) ZELVAN_LAMBDA_INLINE { out[i] = a[i] > b[i]; });
}

}  // namespace

ZELVAN_PORTABLE_CLONES void Greater(const int* a, const int* b, bool* out, size_t n) { GreaterLoop(a, b, out, n); }
ZELVAN_PORTABLE_CLONES void Greater(const int* a, int b, bool* out, size_t n) {
  GreaterLoop(Operand(a), Operand(b), out, n);
}
ZELVAN_PORTABLE_CLONES void Greater(int a, const int* b, bool* out, size_t n) {
  GreaterLoop(Operand(a), Operand(b), out, n);
}
ZELVAN_PORTABLE_CLONES void Greater(const long* a, const long* b, bool* out, size_t n) { GreaterLoop(a, b, out, n); }
ZELVAN_PORTABLE_CLONES void Greater(const long* a, long b, bool* out, size_t n) {
  GreaterLoop(Operand(a), Operand(b), out, n);
}
ZELVAN_PORTABLE_CLONES void Greater(long a, const long* b, bool* out, size_t n) {
  GreaterLoop(Operand(a), Operand(b), out, n);
}

}  // namespace portable
}  // namespace zelvan
