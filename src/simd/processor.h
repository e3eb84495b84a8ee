// SPDX-License-Identifier: MIT
// What the processor runs, asked once for every fast path: the scan, the screen and the MD5
// lanes. Code built for more than SSE2 carries one of the target attributes below and runs only
// where ThisProcessor() says so; a build with TINTREL_SCALAR uses no SIMD at all.
#pragma once

#if defined(__SSE2__) && !defined(TINTREL_SCALAR)
#define TINTREL_SSE2 1
#include <immintrin.h>
#endif

// Each level takes what the one before it has: every processor with AVX2 has SSSE3, POPCNT and
// BMI1 and BMI2 as well.
#define TINTREL_TARGET_SSSE3 gnu::target("ssse3,popcnt,bmi,bmi2")
#define TINTREL_TARGET_AVX2 gnu::target("avx2,popcnt,bmi,bmi2")
#define TINTREL_TARGET_AVX512 \
  gnu::target("avx2,popcnt,bmi,bmi2,avx512f,avx512bw,avx512vl,avx512vbmi2")
// AVX-512's rotations and three-way logic on 256-bit registers, which the MD5 lanes use.
#define TINTREL_TARGET_AVX512VL gnu::target("avx2,popcnt,bmi,bmi2,avx512f,avx512vl")

namespace tintrel {

struct ProcessorFeatures {
  bool Avx2 = false;      // with POPCNT, BMI1 and BMI2
  bool Avx512Vl = false;  // Avx2 and AVX-512 F and VL
  bool Avx512 = false;    // Avx512Vl and AVX-512 BW and VBMI2
};

// All false in a build without SIMD. Asked when the program starts, of the C library, which has
// asked the processor already: asking again costs a trip out of a virtual machine.
const ProcessorFeatures& ThisProcessor();

}  // namespace tintrel
