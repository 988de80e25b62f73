// Less and Greater: validation, then the selected comparison kernel.
// Less(x, y) is computed as Greater(y, x).
#include "common/log.h"
#include "elementwise/compare_kernels.h"
#include "elementwise/operand.h"
#include "zelvan/zelvan.h"

namespace zelvan {
namespace {

constexpr char kLessMessage[] = "Parameter verification failed for the Less Op.";
constexpr char kGreaterMessage[] = "Parameter verification failed for the Greater Op.";

// a and b are each a pointer or a scalar; out[i] = a > b.
template <class A, class B>
int CheckedGreater(const char* message, A a, B b, bool* out, unsigned long n) {
  if (IsNull(a) || IsNull(b) || out == nullptr) {
    return LogError(STATUS_NULL_POINTER, message);
  }
  arch::Greater(a, b, out, n);
  return STATUS_SUCCESS;
}

}  // namespace

template <typename T>
int Less(T* x, T* y, bool* out, unsigned long n) {
  return CheckedGreater(kLessMessage, y, x, out, n);
}
template <typename T>
int Less(T* x, T y, bool* out, unsigned long n) {
  return CheckedGreater(kLessMessage, y, x, out, n);
}
template <typename T>
int Less(T x, T* y, bool* out, unsigned long n) {
  return CheckedGreater(kLessMessage, y, x, out, n);
}
template <typename T>
int Greater(T* x, T* y, bool* out, unsigned long n) {
  return CheckedGreater(kGreaterMessage, x, y, out, n);
}
template <typename T>
int Greater(T* x, T y, bool* out, unsigned long n) {
  return CheckedGreater(kGreaterMessage, x, y, out, n);
}
template <typename T>
int Greater(T x, T* y, bool* out, unsigned long n) {
  return CheckedGreater(kGreaterMessage, x, y, out, n);
}

template int Less<int>(int*, int*, bool*, unsigned long);
template int Less<int>(int*, int, bool*, unsigned long);
template int Less<int>(int, int*, bool*, unsigned long);
template int Less<long>(long*, long*, bool*, unsigned long);
template int Less<long>(long*, long, bool*, unsigned long);
template int Less<long>(long, long*, bool*, unsigned long);
template int Greater<int>(int*, int*, bool*, unsigned long);
template int Greater<int>(int*, int, bool*, unsigned long);
template int Greater<int>(int, int*, bool*, unsigned long);
template int Greater<long>(long*, long*, bool*, unsigned long);
template int Greater<long>(long*, long, bool*, unsigned long);
template int Greater<long>(long, long*, bool*, unsigned long);

}  // namespace zelvan
