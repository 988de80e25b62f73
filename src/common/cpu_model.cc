#include "common/cpu_model.h"

#if defined(__x86_64__)
#include <cpuid.h>
#endif

namespace zelvan {

bool IsZen4Signature(unsigned signature) {
  const unsigned family = ((signature >> 8) & 0xfu) + ((signature >> 20) & 0xffu);
  const unsigned model = ((signature >> 4) & 0xfu) | ((signature >> 12) & 0xf0u);
  return family == 0x19 &&
         ((model >= 0x10 && model <= 0x1f) || (model >= 0x60 && model <= 0x7f) || (model >= 0xa0 && model <= 0xaf));
}

namespace {

bool DetectZen4() {
#if defined(__x86_64__)
  unsigned eax = 0;
  unsigned ebx = 0;
  unsigned ecx = 0;
  unsigned edx = 0;
  // "AuthenticAMD", as leaf 0 spreads it over ebx, edx, ecx.
  if (__get_cpuid(0, &eax, &ebx, &ecx, &edx) == 0 || ebx != 0x68747541u || edx != 0x69746e65u || ecx != 0x444d4163u) {
    return false;
  }
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) {
    return false;
  }
  return IsZen4Signature(eax);
#else
  return false;
#endif
}

}  // namespace

bool RunningOnZen4() {
  static const bool zen4 = DetectZen4();
  return zen4;
}

}  // namespace zelvan
