#include <cstdint>

#include "elementwise/compare_kernels.h"
#include "elementwise/operand.h"

namespace zelvan {
namespace portable {
namespace {

template <class A, class B>
ZELVAN_KERNEL_INLINE void GreaterLoop(A a, B b, bool* out, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    out[i] = a[i] > b[i];
  }
}

}  // namespace

ZELVAN_PORTABLE_CLONES void Greater(const int* a, const int* b, bool* out, size_t n) {
  GreaterLoop(Operand(a), Operand(b), out, n);
}
ZELVAN_PORTABLE_CLONES void Greater(const int* a, int b, bool* out, size_t n) {
  GreaterLoop(Operand(a), Operand(b), out, n);
}
ZELVAN_PORTABLE_CLONES void Greater(int a, const int* b, bool* out, size_t n) {
  GreaterLoop(Operand(a), Operand(b), out, n);
}
ZELVAN_PORTABLE_CLONES void Greater(const long* a, const long* b, bool* out, size_t n) { GreaterBlocked(a, b, out, n); }
ZELVAN_PORTABLE_CLONES void Greater(const long* a, long b, bool* out, size_t n) {
  GreaterLoop(Operand(a), Operand(b), out, n);
}
ZELVAN_PORTABLE_CLONES void Greater(long a, const long* b, bool* out, size_t n) {
  GreaterLoop(Operand(a), Operand(b), out, n);
}

}  // namespace portable
}  // namespace zelvan
