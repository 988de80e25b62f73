// FloorMod: validation, then the selected remainder kernel.
#include "common/log.h"
#include "elementwise/floor_mod_kernels.h"
#include "elementwise/operand.h"
#include "zelvan/zelvan.h"

namespace zelvan {
namespace {

template <class A, class B, class T>
int CheckedFloorMod(A x, B y, T* out, unsigned long n) {
  if (IsNull(x) || IsNull(y) || out == nullptr) {
    return LogError(STATUS_NULL_POINTER, "Parameter verification failed for the FloorMod Op.");
  }
  arch::FloorMod(x, y, out, n);
  return STATUS_SUCCESS;
}

}  // namespace

template <typename T>
int FloorMod(T* x, T* y, T* out, unsigned long n) {
  return CheckedFloorMod(x, y, out, n);
}
template <typename T>
int FloorMod(T x, T* y, T* out, unsigned long n) {
  return CheckedFloorMod(x, y, out, n);
}
template <typename T>
int FloorMod(T* x, T y, T* out, unsigned long n) {
  return CheckedFloorMod(x, y, out, n);
}

template int FloorMod<float>(float*, float*, float*, unsigned long);
template int FloorMod<float>(float, float*, float*, unsigned long);
template int FloorMod<float>(float*, float, float*, unsigned long);
template int FloorMod<double>(double*, double*, double*, unsigned long);
template int FloorMod<double>(double, double*, double*, unsigned long);
template int FloorMod<double>(double*, double, double*, unsigned long);

}  // namespace zelvan
