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
#include "simd/nibble_classes.h"

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

// The scan's two classes by nibble tables: the bytes that extend a key, and those that end runs.
// High bytes are a range and need no table.
constexpr bool EndsRunByTable(uint8_t b) {
  return byte_table::EndsRun(byte_table::kTable[b]);
}

inline constexpr std::array<ByteRule, 2> kScanRules = {ExtendsKey, EndsRunByTable};

struct ScanNibbleTables : NibbleTables<2> {
  uint8_t KeyBits, RunEndBits;
};

inline constexpr ScanNibbleTables kNibbleTables = [] {
  const NibbleTables<2> tables = BuildNibbleTables(kScanRules);
  return ScanNibbleTables{tables, tables.Bits[0], tables.Bits[1]};
}();

// The run ends take the top bits of a byte's classes: a byte ends a run when its classes, added
// to this without wrapping, have the top bit set.
inline constexpr uint8_t kRunEndToTop =
    0x80 - (kNibbleTables.RunEndBits & -kNibbleTables.RunEndBits);
static_assert(kNibbleTables.KeyBits < (kNibbleTables.RunEndBits & -kNibbleTables.RunEndBits));

static_assert(TablesFollowRules<2>(kNibbleTables, kScanRules));

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

// The nibble tables sixteen bytes at a time. Only for processors with SSSE3.
[[TINTREL_TARGET_SSSE3]] inline WindowClasses ClassifyWindow(const uint8_t* bytes) {
  const __m128i low_table = Table(kNibbleTables.Low), high_table = Table(kNibbleTables.High);
  // A byte from kLowestHigh on, added to this without wrapping, has its top bit set.
  const __m128i to_top = _mm_set1_epi8(static_cast<char>(128 - kLowestHigh));
  const __m128i run_end_to_top = _mm_set1_epi8(static_cast<char>(kRunEndToTop));
  uint64_t run_ends = 0, key_stops = 0, high = 0;
  for (std::size_t i = 0; i < kWindowSize; i += 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
    const __m128i classes = Classes(chunk, low_table, high_table);
    run_ends |= TopBits(_mm_adds_epu8(classes, run_end_to_top)) << i;
    key_stops |= WithNone(classes, kNibbleTables.KeyBits) << i;
    high |= TopBits(_mm_adds_epu8(chunk, to_top)) << i;
  }
  WindowClasses window;
  window.RunEnds = run_ends;
  window.KeyStops = key_stops;
  window.High = high;
  return window;
}

}  // namespace ssse3

namespace avx2 {

// Only for processors with AVX2.
[[TINTREL_TARGET_AVX2]] inline WindowClasses ClassifyWindow(const uint8_t* bytes) {
  const __m256i low_table = Table(kNibbleTables.Low), high_table = Table(kNibbleTables.High);
  const __m256i to_top = _mm256_set1_epi8(static_cast<char>(128 - kLowestHigh));
  const __m256i run_end_to_top = _mm256_set1_epi8(static_cast<char>(kRunEndToTop));
  uint64_t run_ends = 0, key_stops = 0, high = 0;
  for (std::size_t i = 0; i < kWindowSize; i += 32) {
    const __m256i chunk = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i));
    const __m256i classes = Classes(chunk, low_table, high_table);
    run_ends |= TopBits(_mm256_adds_epu8(classes, run_end_to_top)) << i;
    key_stops |= WithNone(classes, kNibbleTables.KeyBits) << i;
    high |= TopBits(_mm256_adds_epu8(chunk, to_top)) << i;
  }
  WindowClasses window;
  window.RunEnds = run_ends;
  window.KeyStops = key_stops;
  window.High = high;
  return window;
}

}  // namespace avx2

namespace avx512 {

inline constexpr std::array<uint8_t, 64> kLowTables = ForEachLane(kNibbleTables.Low),
                                         kHighTables = ForEachLane(kNibbleTables.High);

// The nibble tables over the whole window at once, each class straight into a mask. Only for
// processors with AVX-512 BW, VL and VBMI2, and what AVX2 needs.
[[TINTREL_TARGET_AVX512]] inline WindowClasses ClassifyWindow(const uint8_t* bytes) {
  const __m512i chunk = _mm512_loadu_si512(bytes);
  const __m512i classes = Classes(chunk, Table(kLowTables), Table(kHighTables));
  WindowClasses window;
  window.RunEnds = WithAny(classes, kNibbleTables.RunEndBits);
  window.KeyStops = WithNone(classes, kNibbleTables.KeyBits);
  window.High = _mm512_cmpge_epu8_mask(chunk, _mm512_set1_epi8(static_cast<char>(kLowestHigh)));
  return window;
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
