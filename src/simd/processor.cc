// SPDX-License-Identifier: MIT
#include "simd/processor.h"

// The C library's view of the processor; its header reads as C++ to GCC only.
#if TINTREL_SSE2 && defined(__GLIBC__) && !defined(__clang__)
#define TINTREL_GLIBC_CPU_FEATURES 1
#include <sys/platform/x86.h>
#endif

namespace tintrel {

namespace {

ProcessorFeatures AskProcessor() {
  ProcessorFeatures features;
#if TINTREL_GLIBC_CPU_FEATURES
  features.Avx2 = CPU_FEATURE_ACTIVE(AVX2) && CPU_FEATURE_ACTIVE(POPCNT) &&
                  CPU_FEATURE_ACTIVE(BMI1) && CPU_FEATURE_ACTIVE(BMI2);
  features.Avx512Vl = features.Avx2 && CPU_FEATURE_ACTIVE(AVX512F) && CPU_FEATURE_ACTIVE(AVX512VL);
  features.Avx512 =
      features.Avx512Vl && CPU_FEATURE_ACTIVE(AVX512BW) && CPU_FEATURE_ACTIVE(AVX512_VBMI2);
#elif TINTREL_SSE2
  features.Avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") &&
                  __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
  features.Avx512Vl =
      features.Avx2 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
  features.Avx512 = features.Avx512Vl && __builtin_cpu_supports("avx512bw") &&
                    __builtin_cpu_supports("avx512vbmi2");
#endif
  return features;
}

// Zero before it is set, which the fast paths read as no more than SSE2.
const ProcessorFeatures kThisProcessor = AskProcessor();

}  // namespace

const ProcessorFeatures& ThisProcessor() {
  return kThisProcessor;
}

}  // namespace tintrel
