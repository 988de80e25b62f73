// The one place that picks the per-architecture kernels.
//
// Every kernel family declares the same functions in namespace `neon`
// (AArch64 Advanced SIMD intrinsics) and namespace `portable` (plain
// branch-free C++ that the compiler vectorises). Operator code calls
// `arch::`, which names the variant this build runs; tests can drive both.
#ifndef ZELVAN_COMMON_ARCH_H_
#define ZELVAN_COMMON_ARCH_H_

namespace zelvan {
namespace neon {}
namespace portable {}

#if defined(__aarch64__) && defined(__ARM_NEON)
#define ZELVAN_HAVE_NEON 1
namespace arch = neon;
#else
#define ZELVAN_HAVE_NEON 0
namespace arch = portable;
#endif
}  // namespace zelvan

// Portable kernels are also built for the wider x86-64 levels and picked at
// load time (ifunc), so a plain x86-64 build still runs AVX-512 or AVX2/FMA
// code on machines that have it. Every clone computes the same bits.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(ZELVAN_NO_CLONES)
#define ZELVAN_HAVE_CLONES 1
#define ZELVAN_PORTABLE_CLONES __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#else
#define ZELVAN_HAVE_CLONES 0
#define ZELVAN_PORTABLE_CLONES
#endif

// Kernel loops and their helpers are forced inline: a clone only runs the
// wider instructions for code inlined into it, and the compiler's size
// heuristics would otherwise leave the loop in a shared default-target copy.
// The lambdas a kernel loop takes are forced inline too, after their
// parameter list: left to the heuristics, a lambda holding only hints is
// taken for a call without effects and deleted before it is inlined.
#if defined(__GNUC__)
#define ZELVAN_KERNEL_INLINE inline __attribute__((always_inline))
#define ZELVAN_LAMBDA_INLINE __attribute__((always_inline))
#else
#define ZELVAN_KERNEL_INLINE inline
#define ZELVAN_LAMBDA_INLINE
#endif

namespace zelvan {

// Hides v from the optimiser, which would otherwise turn a selection made
// arithmetically on purpose back into a branch on unpredictable data.
template <typename T>
ZELVAN_KERNEL_INLINE T Opaque(T v) {
#if defined(__GNUC__)
  __asm__("" : "+r"(v));
#endif
  return v;
}

// Among the clones only the default one lacks x86-64-v3 (AVX2, FMA,
// gathers), and the loader picks that one exactly on CPUs below it.
#if ZELVAN_HAVE_CLONES
#define ZELVAN_CLONE_HAS_V3() (__builtin_cpu_supports("x86-64-v3") != 0)
#endif

// Whether the code running now has fused multiply-add as an instruction
// rather than a library call, for kernels with a cheaper formula without
// it. Other builds than the clones know at compile time.
ZELVAN_KERNEL_INLINE bool FmaIsNative() {
#if ZELVAN_HAVE_CLONES
  return ZELVAN_CLONE_HAS_V3();
#elif defined(__FMA__) || defined(__aarch64__)
  return true;
#else
  return false;
#endif
}

// Whether the code running now has vector gathers (the x86-64-v3 and v4
// clones), for loops that are only worth vectorising with them: built
// without, their element-by-element loads cost more than the scalar form.
ZELVAN_KERNEL_INLINE bool GathersAreNative() {
#if ZELVAN_HAVE_CLONES
  return ZELVAN_CLONE_HAS_V3();
#elif defined(__AVX2__)
  return true;
#else
  return false;
#endif
}

}  // namespace zelvan

#endif  // ZELVAN_COMMON_ARCH_H_
