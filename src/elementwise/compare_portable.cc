#include <cstdint>

#include "elementwise/compare_kernels.h"
#include "elementwise/operand.h"
#include "elementwise/streamed_loop.h"

namespace zelvan {
namespace portable {
namespace {

template <class A, class B>
ZELVAN_KERNEL_INLINE void GreaterBlock(A a, B b, bool* out, size_t i) {
  for (size_t j = i; j < i + kStreamBlock; ++j) {
    out[j] = a[j] > b[j];
  }
}

template <class A, class B>
ZELVAN_KERNEL_INLINE void GreaterLoop(A a, B b, bool* out, size_t n) {
  BlockLoop(
      n, [=](size_t i) { GreaterBlock(a, b, out, i); }, [=](size_t i) { out[i] = a[i] > b[i]; });
}

// Two input streams: the blocks hint both ahead.
template <class T>
ZELVAN_KERNEL_INLINE void GreaterLoop(const T* a, const T* b, bool* out, size_t n) {
  StreamedLoop<StreamAhead<T>()>(
      n,
      [=](size_t i) {
        PrefetchStreamBlock(a + i);
        PrefetchStreamBlock(b + i);
      },
      [=](size_t i) { GreaterBlock(a, b, out, i); }, [=](size_t i) { out[i] = a[i] > b[i]; });
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
