// SPDX-License-Identifier: MIT
// Windows of 64 bytes classified at once into bit masks, by the byte table: with SSE2 sixteen
// bytes at a time, with SSSE3, AVX2 and AVX-512 (where the processor has them) 16, 32 or 64 at a
// time through nibble tables derived from the byte table, and without SIMD one byte at a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "scan/byte_classes.h"

#if TINTREL_SSE2
#include <immintrin.h>
// The C library's view of the processor; its header reads as C++ to GCC only.
#if defined(__GLIBC__) && !defined(__clang__)
#define TINTREL_GLIBC_CPU_FEATURES 1
#include <sys/platform/x86.h>
#endif
#endif

namespace tintrel {

inline constexpr std::size_t kWindowSize = 64;

// Bit i of RunEnds is set when byte i ends a run of cells, bit i of KeyStops when it does not
// extend a token's key, bit i of High when it would be a high character if drawn.
struct WindowClasses {
  uint64_t RunEnds = 0;
  uint64_t KeyStops = 0;
  uint64_t High = 0;

  bool operator==(const WindowClasses&) const = default;
};

// One byte at a time, straight from the table.
inline WindowClasses ClassifyWindowByTable(const uint8_t* bytes) {
  WindowClasses window;
  for (std::size_t i = 0; i < kWindowSize; ++i) {
    window.RunEnds |= static_cast<uint64_t>(byte_table::EndsRun(byte_table::kTable[bytes[i]])) << i;
    window.KeyStops |= static_cast<uint64_t>(!ExtendsKey(bytes[i])) << i;
    window.High |= static_cast<uint64_t>(IsHigh(bytes[i])) << i;
  }
  return window;
}

// Each byte's classes are lookups of its low and its high nibble, ANDed: a class that holds for
// the low nibbles L of the bytes with high nibble h gets one bit for every distinct L, set in the
// high table at each such h and in the low table at each nibble of L. High bytes are a range and
// need no table.
struct NibbleTables {
  std::array<uint8_t, 16> Low{}, High{};
  uint8_t RunEndBits = 0, KeyBits = 0;
};

constexpr NibbleTables BuildNibbleTables() {
  NibbleTables tables;
  uint8_t next_bit = 1;
  auto add_class = [&](auto holds) {
    uint8_t class_bits = 0;
    std::array<uint16_t, 16> low_sets{};
    for (int h = 0; h < 16; ++h) {
      for (int l = 0; l < 16; ++l) {
        if (holds(static_cast<uint8_t>(h << 4 | l))) low_sets[h] |= static_cast<uint16_t>(1 << l);
      }
    }
    for (int h = 0; h < 16; ++h) {
      if (low_sets[h] == 0) continue;
      uint8_t bit = 0;
      for (int earlier = 0; earlier < h; ++earlier) {
        if (low_sets[earlier] == low_sets[h]) bit = tables.High[earlier] & class_bits;
      }
      if (bit == 0) {
        bit = next_bit;
        next_bit = static_cast<uint8_t>(next_bit << 1);  // a ninth bit would fail the build
        for (int l = 0; l < 16; ++l) {
          if (low_sets[h] & (1 << l)) tables.Low[l] |= bit;
        }
      }
      tables.High[h] |= bit;
      class_bits |= bit;
    }
    return class_bits;
  };
  tables.KeyBits = add_class([](uint8_t b) { return ExtendsKey(b); });
  tables.RunEndBits =
      add_class([](uint8_t b) { return byte_table::EndsRun(byte_table::kTable[b]); });
  return tables;
}

inline constexpr NibbleTables kNibbleTables = BuildNibbleTables();

// The run ends take the top bits of a byte's classes: a byte ends a run when its classes, added
// to this without wrapping, have the top bit set.
inline constexpr uint8_t kRunEndToTop =
    0x80 - (kNibbleTables.RunEndBits & -kNibbleTables.RunEndBits);
static_assert(kNibbleTables.KeyBits < (kNibbleTables.RunEndBits & -kNibbleTables.RunEndBits));

constexpr bool NibbleTablesMatchTheByteTable() {
  for (int b = 0; b < 256; ++b) {
    const uint8_t bits = kNibbleTables.Low[b & 15] & kNibbleTables.High[b >> 4];
    const auto byte = static_cast<uint8_t>(b);
    if (((bits & kNibbleTables.RunEndBits) != 0) != byte_table::EndsRun(byte_table::kTable[b]) ||
        ((bits & kNibbleTables.KeyBits) != 0) != ExtendsKey(byte) ||
        (b >= kLowestHigh) != IsHigh(byte))
      return false;
  }
  return true;
}
static_assert(NibbleTablesMatchTheByteTable());

#if TINTREL_SSE2
namespace sse2 {

template <std::size_t... I>
__m128i IsAnyOf(__m128i bytes, std::index_sequence<I...>) {
  return (_mm_setzero_si128() | ... |
          _mm_cmpeq_epi8(bytes, _mm_set1_epi8(static_cast<char>(kRunEnders[I]))));
}

inline __m128i IsHigh(__m128i bytes) {
  return _mm_cmpeq_epi8(_mm_max_epu8(bytes, _mm_set1_epi8(static_cast<char>(kLowestHigh))), bytes);
}

inline __m128i ExtendsKey(__m128i bytes) {
  __m128i digit = _mm_sub_epi8(bytes, _mm_set1_epi8('0'));
  __m128i is_digit = _mm_cmpeq_epi8(_mm_min_epu8(digit, _mm_set1_epi8(9)), digit);
  __m128i is_other = _mm_cmpeq_epi8(bytes, _mm_set1_epi8('['));
  for (uint8_t separator : kParamSeparators) {
    is_other =
        _mm_or_si128(is_other, _mm_cmpeq_epi8(bytes, _mm_set1_epi8(static_cast<char>(separator))));
  }
  return _mm_or_si128(is_digit, is_other);
}

inline uint64_t Bits(__m128i lanes, std::size_t at) {
  return static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(lanes))) << at;
}

// The run enders are compared one by one, the digits and high bytes by range.
inline WindowClasses ClassifyWindow(const uint8_t* bytes) {
  WindowClasses window;
  for (std::size_t i = 0; i < kWindowSize; i += 16) {
    __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
    window.RunEnds |= Bits(IsAnyOf(chunk, std::make_index_sequence<kRunEnders.size()>()), i);
    window.KeyStops |= Bits(ExtendsKey(chunk), i);
    window.High |= Bits(IsHigh(chunk), i);
  }
  window.KeyStops = ~window.KeyStops;
  return window;
}

}  // namespace sse2

namespace ssse3 {

inline uint64_t Bits(__m128i classes, uint8_t class_bits, std::size_t at) {
  const __m128i none = _mm_cmpeq_epi8(
      _mm_and_si128(classes, _mm_set1_epi8(static_cast<char>(class_bits))), _mm_setzero_si128());
  return static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(none))) << at;
}

// The nibble tables sixteen bytes at a time, with no 256-bit instruction, which would start
// slowly on a core that has not run one lately. Only for processors with SSSE3.
[[gnu::target("ssse3")]] inline WindowClasses ClassifyWindow(const uint8_t* bytes) {
  const __m128i low_table =
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(kNibbleTables.Low.data()));
  const __m128i high_table =
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(kNibbleTables.High.data()));
  const __m128i nibble = _mm_set1_epi8(15);
  // A byte from kLowestHigh on, added to this without wrapping, has its top bit set.
  const __m128i to_top = _mm_set1_epi8(static_cast<char>(128 - kLowestHigh));
  const __m128i run_end_to_top = _mm_set1_epi8(static_cast<char>(kRunEndToTop));
  uint64_t run_ends = 0, key_stops = 0, high = 0;
  for (std::size_t i = 0; i < kWindowSize; i += 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
    const __m128i classes = _mm_and_si128(
        _mm_shuffle_epi8(low_table, _mm_and_si128(chunk, nibble)),
        _mm_shuffle_epi8(high_table, _mm_and_si128(_mm_srli_epi16(chunk, 4), nibble)));
    run_ends |= sse2::Bits(_mm_adds_epu8(classes, run_end_to_top), i);
    key_stops |= Bits(classes, kNibbleTables.KeyBits, i);
    high |= sse2::Bits(_mm_adds_epu8(chunk, to_top), i);
  }
  WindowClasses window;
  window.RunEnds = run_ends;
  window.KeyStops = key_stops;
  window.High = high;
  return window;
}

}  // namespace ssse3

namespace avx2 {

[[gnu::target("avx2,popcnt")]] inline __m256i Table(const std::array<uint8_t, 16>& nibbles) {
  return _mm256_broadcastsi128_si256(
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(nibbles.data())));
}

[[gnu::target("avx2,popcnt")]] inline uint64_t TopBits(__m256i lanes) {
  return static_cast<uint32_t>(_mm256_movemask_epi8(lanes));
}

[[gnu::target("avx2,popcnt")]] inline uint64_t Bits(__m256i classes, uint8_t class_bits) {
  __m256i none =
      _mm256_cmpeq_epi8(_mm256_and_si256(classes, _mm256_set1_epi8(static_cast<char>(class_bits))),
                        _mm256_setzero_si256());
  return static_cast<uint32_t>(_mm256_movemask_epi8(none));
}

// Only for processors with AVX2 and POPCNT.
[[gnu::target("avx2,popcnt")]] inline WindowClasses ClassifyWindow(const uint8_t* bytes) {
  const __m256i low_table = Table(kNibbleTables.Low), high_table = Table(kNibbleTables.High);
  const __m256i nibble = _mm256_set1_epi8(15);
  // A byte from kLowestHigh on, added to this without wrapping, has its top bit set.
  const __m256i to_top = _mm256_set1_epi8(static_cast<char>(128 - kLowestHigh));
  const __m256i run_end_to_top = _mm256_set1_epi8(static_cast<char>(kRunEndToTop));
  uint64_t run_ends = 0, key_stops = 0, high = 0;
  for (std::size_t i = 0; i < kWindowSize; i += 32) {
    __m256i chunk = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i));
    __m256i classes = _mm256_and_si256(
        _mm256_shuffle_epi8(low_table, _mm256_and_si256(chunk, nibble)),
        _mm256_shuffle_epi8(high_table, _mm256_and_si256(_mm256_srli_epi16(chunk, 4), nibble)));
    run_ends |= TopBits(_mm256_adds_epu8(classes, run_end_to_top)) << i;
    key_stops |= Bits(classes, kNibbleTables.KeyBits) << i;
    high |= TopBits(_mm256_adds_epu8(chunk, to_top)) << i;
  }
  WindowClasses window;
  window.RunEnds = run_ends;
  window.KeyStops = key_stops;
  window.High = high;
  return window;
}

// Whether this processor runs the AVX2 classification, and the steps built with it, which use
// BMI1 and BMI2 as well; the SSSE3 classification runs wherever this one does. The C library has
// asked the processor already; asking again costs a trip out of a virtual machine on every run.
inline bool Available() {
#if TINTREL_GLIBC_CPU_FEATURES
  return CPU_FEATURE_ACTIVE(AVX2) && CPU_FEATURE_ACTIVE(POPCNT) && CPU_FEATURE_ACTIVE(BMI1) &&
         CPU_FEATURE_ACTIVE(BMI2);
#else
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") &&
         __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
#endif
}

}  // namespace avx2

namespace avx512 {

#define TINTREL_AVX512 gnu::target("avx2,popcnt,bmi,bmi2,avx512f,avx512bw,avx512vl,avx512vbmi2")

// A nibble table for each 128-bit lane.
constexpr std::array<uint8_t, 64> ForEachLane(const std::array<uint8_t, 16>& table) {
  std::array<uint8_t, 64> tables{};
  for (std::size_t i = 0; i < tables.size(); ++i) tables[i] = table[i % table.size()];
  return tables;
}

inline constexpr std::array<uint8_t, 64> kLowTables = ForEachLane(kNibbleTables.Low),
                                         kHighTables = ForEachLane(kNibbleTables.High);

// The nibble tables over the whole window at once, each class straight into a mask. Only for
// processors with AVX-512 BW, VL and VBMI2, and what AVX2 needs.
[[TINTREL_AVX512]] inline WindowClasses ClassifyWindow(const uint8_t* bytes) {
  const __m512i low_table = _mm512_loadu_si512(kLowTables.data());
  const __m512i high_table = _mm512_loadu_si512(kHighTables.data());
  const __m512i nibble = _mm512_set1_epi8(15);
  const __m512i chunk = _mm512_loadu_si512(bytes);
  const __m512i classes = _mm512_and_si512(
      _mm512_shuffle_epi8(low_table, _mm512_and_si512(chunk, nibble)),
      _mm512_shuffle_epi8(high_table, _mm512_and_si512(_mm512_srli_epi16(chunk, 4), nibble)));
  WindowClasses window;
  window.RunEnds = _mm512_movepi8_mask(
      _mm512_adds_epu8(classes, _mm512_set1_epi8(static_cast<char>(kRunEndToTop))));
  window.KeyStops =
      _mm512_testn_epi8_mask(classes, _mm512_set1_epi8(static_cast<char>(kNibbleTables.KeyBits)));
  window.High = _mm512_cmpge_epu8_mask(chunk, _mm512_set1_epi8(static_cast<char>(kLowestHigh)));
  return window;
}

// Whether this processor runs the AVX-512 classification and the steps built with it.
inline bool Available() {
#if TINTREL_GLIBC_CPU_FEATURES
  return avx2::Available() && CPU_FEATURE_ACTIVE(AVX512BW) && CPU_FEATURE_ACTIVE(AVX512VL) &&
         CPU_FEATURE_ACTIVE(AVX512_VBMI2);
#else
  return avx2::Available() && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi2");
#endif
}

}  // namespace avx512
#endif

// The classification without AVX2: SSE2, or the table one byte at a time.
inline WindowClasses ClassifyWindow(const uint8_t* bytes) {
#if TINTREL_SSE2
  return sse2::ClassifyWindow(bytes);
#else
  return ClassifyWindowByTable(bytes);
#endif
}

}  // namespace tintrel
