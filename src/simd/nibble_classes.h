// SPDX-License-Identifier: MIT
// Classes of bytes, sixteen, 32 or 64 at a time: each class is a rule over single bytes, and a
// byte's classes are the AND of a lookup of its low nibble and one of its high nibble (PSHUFB).
// The tables are built at compile time from the rules; each fast path keeps rules of its own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "simd/processor.h"

namespace tintrel {

using ByteRule = bool (*)(uint8_t);

// A class that holds for the low nibbles L of the bytes with high nibble h gets one bit for
// every distinct L, set in the high table at each such h and in the low table at each nibble
// of L. The classes together have eight bits; a ninth fails the build.
template <std::size_t kClasses>
struct NibbleTables {
  std::array<uint8_t, 16> Low{}, High{};
  std::array<uint8_t, kClasses> Bits{};  // each class's bits: a byte is in it when one is set
};

template <std::size_t kClasses>
constexpr NibbleTables<kClasses> BuildNibbleTables(const std::array<ByteRule, kClasses>& rules) {
  NibbleTables<kClasses> tables;
  unsigned next_bit = 1;
  for (std::size_t c = 0; c < kClasses; ++c) {
    uint8_t class_bits = 0;
    std::array<uint16_t, 16> low_sets{};
    for (int h = 0; h < 16; ++h) {
      for (int l = 0; l < 16; ++l) {
        if (rules[c](static_cast<uint8_t>(h << 4 | l)))
          low_sets[h] |= static_cast<uint16_t>(1 << l);
      }
    }
    for (int h = 0; h < 16; ++h) {
      if (low_sets[h] == 0) continue;
      uint8_t bit = 0;
      for (int earlier = 0; earlier < h; ++earlier) {
        if (low_sets[earlier] == low_sets[h]) bit = tables.High[earlier] & class_bits;
      }
      if (bit == 0) {
        if (next_bit > 0x80) throw "more than eight bits of classes";
        bit = static_cast<uint8_t>(next_bit);
        next_bit <<= 1;
        for (int l = 0; l < 16; ++l) {
          if (low_sets[h] & (1 << l)) tables.Low[l] |= bit;
        }
      }
      tables.High[h] |= bit;
      class_bits |= bit;
    }
    tables.Bits[c] = class_bits;
  }
  return tables;
}

// A byte's classes as the lookups give them.
template <std::size_t kClasses>
constexpr uint8_t ClassesOf(const NibbleTables<kClasses>& tables, uint8_t byte) {
  return tables.Low[byte & 15] & tables.High[byte >> 4];
}

// Whether the tables give every byte the classes its rules do: for a static_assert.
template <std::size_t kClasses>
constexpr bool TablesFollowRules(const NibbleTables<kClasses>& tables,
                                 const std::array<ByteRule, kClasses>& rules) {
  for (int b = 0; b < 256; ++b) {
    const uint8_t classes = ClassesOf(tables, static_cast<uint8_t>(b));
    for (std::size_t c = 0; c < kClasses; ++c) {
      if (((classes & tables.Bits[c]) != 0) != rules[c](static_cast<uint8_t>(b))) return false;
    }
  }
  return true;
}

// A nibble table for each 128-bit lane of a 512-bit register.
constexpr std::array<uint8_t, 64> ForEachLane(const std::array<uint8_t, 16>& table) {
  std::array<uint8_t, 64> tables{};
  for (std::size_t i = 0; i < tables.size(); ++i) tables[i] = table[i % table.size()];
  return tables;
}

#if TINTREL_SSE2
namespace ssse3 {

[[TINTREL_TARGET_SSSE3]] inline __m128i Table(const std::array<uint8_t, 16>& nibbles) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(nibbles.data()));
}

// The classes of sixteen bytes, with no 256-bit instruction, which would start slowly on a core
// that has not run one lately.
[[TINTREL_TARGET_SSSE3]] inline __m128i Classes(__m128i bytes, __m128i low_table,
                                                __m128i high_table) {
  const __m128i nibble = _mm_set1_epi8(15);
  return _mm_and_si128(
      _mm_shuffle_epi8(low_table, _mm_and_si128(bytes, nibble)),
      _mm_shuffle_epi8(high_table, _mm_and_si128(_mm_srli_epi16(bytes, 4), nibble)));
}

// A bit for each lane whose top bit is set.
inline uint64_t TopBits(__m128i lanes) {
  return static_cast<uint32_t>(_mm_movemask_epi8(lanes));
}

// A bit for each byte that has none of `bits`.
inline uint64_t WithNone(__m128i classes, uint8_t bits) {
  return TopBits(_mm_cmpeq_epi8(_mm_and_si128(classes, _mm_set1_epi8(static_cast<char>(bits))),
                                _mm_setzero_si128()));
}

}  // namespace ssse3

namespace avx2 {

[[TINTREL_TARGET_AVX2]] inline __m256i Table(const std::array<uint8_t, 16>& nibbles) {
  return _mm256_broadcastsi128_si256(ssse3::Table(nibbles));
}

[[TINTREL_TARGET_AVX2]] inline __m256i Classes(__m256i bytes, __m256i low_table,
                                               __m256i high_table) {
  const __m256i nibble = _mm256_set1_epi8(15);
  return _mm256_and_si256(
      _mm256_shuffle_epi8(low_table, _mm256_and_si256(bytes, nibble)),
      _mm256_shuffle_epi8(high_table, _mm256_and_si256(_mm256_srli_epi16(bytes, 4), nibble)));
}

[[TINTREL_TARGET_AVX2]] inline uint64_t TopBits(__m256i lanes) {
  return static_cast<uint32_t>(_mm256_movemask_epi8(lanes));
}

[[TINTREL_TARGET_AVX2]] inline uint64_t WithNone(__m256i classes, uint8_t bits) {
  return TopBits(
      _mm256_cmpeq_epi8(_mm256_and_si256(classes, _mm256_set1_epi8(static_cast<char>(bits))),
                        _mm256_setzero_si256()));
}

}  // namespace avx2

namespace avx512 {

[[TINTREL_TARGET_AVX512]] inline __m512i Table(const std::array<uint8_t, 64>& nibbles) {
  return _mm512_loadu_si512(nibbles.data());
}

// Takes the tables made by ForEachLane.
[[TINTREL_TARGET_AVX512]] inline __m512i Classes(__m512i bytes, __m512i low_tables,
                                                 __m512i high_tables) {
  const __m512i nibble = _mm512_set1_epi8(15);
  return _mm512_and_si512(
      _mm512_shuffle_epi8(low_tables, _mm512_and_si512(bytes, nibble)),
      _mm512_shuffle_epi8(high_tables, _mm512_and_si512(_mm512_srli_epi16(bytes, 4), nibble)));
}

[[TINTREL_TARGET_AVX512]] inline uint64_t WithAny(__m512i classes, uint8_t bits) {
  return _mm512_test_epi8_mask(classes, _mm512_set1_epi8(static_cast<char>(bits)));
}

[[TINTREL_TARGET_AVX512]] inline uint64_t WithNone(__m512i classes, uint8_t bits) {
  return _mm512_testn_epi8_mask(classes, _mm512_set1_epi8(static_cast<char>(bits)));
}

}  // namespace avx512
#endif

}  // namespace tintrel
