// Every compiled kernel variant against the reference: on AArch64 both the
// NEON and the portable kernels run, so each target's code is proven.
#include <gtest/gtest.h>

#include <functional>

#include "common/arch.h"
#include "common/cpu_model.h"
#include "elementwise/compare_kernels.h"
#include "elementwise/floor_mod_kernels.h"
#include "elementwise/select_kernels.h"
#include "elementwise_tester.h"
#include "floor_mod_tester.h"
#include "select_tester.h"

namespace {

using zelvan_test::Form;

template <class T, void (*AA)(const T*, const T*, bool*, size_t), void (*AS)(const T*, T, bool*, size_t),
          void (*SA)(T, const T*, bool*, size_t)>
int CallKernel(Form form, T* x, T* y, bool* out, size_t n) {
  switch (form) {
    case Form::kArrayArray:
      AA(x, y, out, n);
      break;
    case Form::kArrayScalar:
      AS(x, y[0], out, n);
      break;
    default:
      SA(x[0], y, out, n);
      break;
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

// check(fn, form, rel, seed) for every variant and form.
template <class T, class Check>
void CheckAllVariants(Check check, uint64_t seed) {
  for (const Variant<T>& variant : Variants<T>()) {
    SCOPED_TRACE(variant.name);
    for (Form form : {Form::kArrayArray, Form::kArrayScalar, Form::kScalarArray}) {
      check(variant.greater, form, std::greater<T>(), seed + static_cast<uint64_t>(form));
    }
  }
}

TEST(CompareKernels, Int32EveryVariant) {
  CheckAllVariants<int>(zelvan_test::CheckCompare<int, std::greater<int>>, 11);
}
TEST(CompareKernels, Int64EveryVariant) {
  CheckAllVariants<long>(zelvan_test::CheckCompare<long, std::greater<long>>, 11);
}
TEST(CompareKernels, Int32EveryPlaceInALine) {
  CheckAllVariants<int>(zelvan_test::CheckComparePlacement<int, std::greater<int>>, 21);
}
TEST(CompareKernels, Int64EveryPlaceInALine) {
  CheckAllVariants<long>(zelvan_test::CheckComparePlacement<long, std::greater<long>>, 21);
}

template <class T, void (*AA)(const T*, const T*, T*, size_t), void (*SA)(T, const T*, T*, size_t),
          void (*AS)(const T*, T, T*, size_t)>
int CallFloorModKernel(Form form, T* x, T* y, T* out, size_t n) {
  switch (form) {
    case Form::kArrayArray:
      AA(x, y, out, n);
      break;
    case Form::kArrayScalar:
      AS(x, y[0], out, n);
      break;
    default:
      SA(x[0], y, out, n);
      break;
  }
  return 0;
}

template <void (*Kernel)(const unsigned char*, const long*, const long*, long*, size_t)>
int CallSelectKernel(const unsigned char* cond, long* x, long* y, long* out, size_t n) {
  Kernel(cond, x, y, out, n);
  return 0;
}

TEST(FloorModKernels, EveryVariantEqualsFmod) {
  namespace p = zelvan::portable;
  zelvan_test::CheckFloorMod<float>(&CallFloorModKernel<float, p::FloorMod, p::FloorMod, p::FloorMod>, 41);
  zelvan_test::CheckFloorMod<double>(&CallFloorModKernel<double, p::FloorMod, p::FloorMod, p::FloorMod>, 42);
#if ZELVAN_HAVE_NEON
  namespace n = zelvan::neon;
  zelvan_test::CheckFloorMod<float>(&CallFloorModKernel<float, n::FloorMod, n::FloorMod, n::FloorMod>, 43);
  zelvan_test::CheckFloorMod<double>(&CallFloorModKernel<double, n::FloorMod, n::FloorMod, n::FloorMod>, 44);
#endif
}

TEST(SelectKernels, EveryVariantMatchesReference) {
  zelvan_test::CheckSelect(&CallSelectKernel<zelvan::portable::Select>, 51);
#if ZELVAN_HAVE_NEON
  zelvan_test::CheckSelect(&CallSelectKernel<zelvan::neon::Select>, 52);
#endif
}

TEST(SelectKernels, EveryVariantAtEveryPlaceInALine) {
  zelvan_test::CheckSelectPlacement(&CallSelectKernel<zelvan::portable::Select>, 53);
#if ZELVAN_HAVE_NEON
  zelvan_test::CheckSelectPlacement(&CallSelectKernel<zelvan::neon::Select>, 54);
#endif
}

// Select's loop is chosen by core, so Zen 3, which shares Zen 4's family,
// and the cores of the families around it must not pass for Zen 4.
TEST(CpuModelTest, TellsZen4FromItsNeighboursBySignature) {
  EXPECT_TRUE(zelvan::IsZen4Signature(0x00A10F11u));   // Genoa, family 19h model 11h
  EXPECT_TRUE(zelvan::IsZen4Signature(0x00A60F12u));   // Raphael, model 61h
  EXPECT_TRUE(zelvan::IsZen4Signature(0x00AA0F01u));   // Bergamo, model A0h
  EXPECT_FALSE(zelvan::IsZen4Signature(0x00A00F11u));  // Milan (Zen 3), model 01h
  EXPECT_FALSE(zelvan::IsZen4Signature(0x00A20F10u));  // Vermeer (Zen 3), model 21h
  EXPECT_FALSE(zelvan::IsZen4Signature(0x00B00F21u));  // Turin (Zen 5), family 1Ah
  EXPECT_FALSE(zelvan::IsZen4Signature(0x00830F10u));  // Rome (Zen 2), family 17h model 31h
}

}  // namespace
