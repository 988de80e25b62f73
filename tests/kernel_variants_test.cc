// Every compiled kernel variant against the reference: on AArch64 both the
// NEON and the portable kernels run, so each target's code is proven.
#include <gtest/gtest.h>

#include <functional>

#include "common/arch.h"
#include "elementwise/compare_kernels.h"
#include "elementwise_tester.h"

namespace {

using zelvan_test::Form;

template <class T, void (*AA)(const T*, const T*, bool*, size_t), void (*AS)(const T*, T, bool*, size_t),
          void (*SA)(T, const T*, bool*, size_t)>
int CallKernel(Form form, T* x, T* y, bool* out, size_t n) {
  switch (form) {
    case Form::kArrayArray: AA(x, y, out, n); break;
    case Form::kArrayScalar: AS(x, y[0], out, n); break;
    default: SA(x[0], y, out, n); break;
  }
  return 0;
}

template <class T>
struct Variant {
  const char* name;
  zelvan_test::CompareFn<T> greater;
};

template <class T>
std::vector<Variant<T>> Variants() {
  namespace p = zelvan::portable;
  std::vector<Variant<T>> v = {{"portable", &CallKernel<T, p::Greater, p::Greater, p::Greater>}};
#if ZELVAN_HAVE_NEON
  namespace n = zelvan::neon;
  v.push_back({"neon", &CallKernel<T, n::Greater, n::Greater, n::Greater>});
#endif
  return v;
}

template <class T>
void CheckAllVariants() {
  for (const Variant<T>& variant : Variants<T>()) {
    SCOPED_TRACE(variant.name);
    for (Form form : {Form::kArrayArray, Form::kArrayScalar, Form::kScalarArray}) {
      zelvan_test::CheckCompare<T>(variant.greater, form, std::greater<T>(), 11 + static_cast<int>(form));
    }
  }
}

TEST(CompareKernels, Int32EveryVariant) { CheckAllVariants<int>(); }
TEST(CompareKernels, Int64EveryVariant) { CheckAllVariants<long>(); }

}  // namespace
