// Select: validation, then the selected kernel.
#include "common/log.h"
#include "elementwise/select_kernels.h"
#include "zelvan/zelvan.h"

namespace zelvan {

template <typename T>
int Select(bool* cond, T* x, T* y, T* out, unsigned long n) {
  if (cond == nullptr || x == nullptr || y == nullptr || out == nullptr) {
    return LogError(STATUS_NULL_POINTER, "Parameter verification failed for the Select Op.");
  }
  // Read as bytes: a bool object holding anything but 0 or 1 would be
  // undefined behaviour, and every non-zero byte counts as true.
  arch::Select(reinterpret_cast<const unsigned char*>(cond), x, y, out, n);
  return STATUS_SUCCESS;
}

template int Select<long>(bool*, long*, long*, long*, unsigned long);

}  // namespace zelvan
