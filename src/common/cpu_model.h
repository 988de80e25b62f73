// The x86-64 cores whose kernels are tuned apart, told from CPUID once.
#ifndef ZELVAN_COMMON_CPU_MODEL_H_
#define ZELVAN_COMMON_CPU_MODEL_H_

namespace zelvan {

// Whether CPUID leaf 1's signature (eax) on an AMD CPU names a Zen 4 core:
// family 19h, models 10h-1Fh, 60h-7Fh and A0h-AFh (the rest are Zen 3).
bool IsZen4Signature(unsigned signature);

// Whether this process runs on a Zen 4 core. False on any other CPU and on
// other architectures; read once.
bool RunningOnZen4();

}  // namespace zelvan

#endif  // ZELVAN_COMMON_CPU_MODEL_H_
