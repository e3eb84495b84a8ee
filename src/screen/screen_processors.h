// SPDX-License-Identifier: MIT
// What the quick steps of the screen take from the processor, with the best instructions it has
// (AVX-512, AVX2) or those every processor has: the classification of a window of 64 bytes into
// the bytes that end runs of glyphs, a sequence's key, and writing a run into its row's cells.
// Only screen_quick.cc includes it.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "scan/byte_classes.h"
#include "screen/screen_draw.h"
#include "screen/screen_state.h"
#include "screen/sequence_cache.h"
#include "simd/bits.h"
#include "simd/nibble_classes.h"

namespace tintrel {

namespace screen_quick {

inline constexpr std::size_t kWindow = 64;
// The parameters and the final byte of the longest sequence a key holds.
inline constexpr std::size_t kKeyBytes = 16;
// A run of glyphs is written sixteen cells at a time.
inline constexpr uint32_t kRunPiece = 16;

// What fills a key's sixteen bytes past its own, for each length.
alignas(16) inline constexpr std::array<std::array<uint8_t, kKeyBytes>, kKeyBytes + 1> kKeyPads =
    [] {
      std::array<std::array<uint8_t, kKeyBytes>, kKeyBytes + 1> pads{};
      for (std::size_t length = 0; length <= kKeyBytes; ++length) {
        for (std::size_t i = length; i < kKeyBytes; ++i) pads[length][i] = 0xFF;
      }
      return pads;
    }();

struct Key {
  uint64_t Low, High;
};

inline std::size_t EntryOf(Key key) {
  return ((key.Low + key.High * 9) * kHashMultiplier) >> (64 - kSequenceCacheBits);
}

// The bytes of the first n cells of sixteen, glyph and attribute each.
alignas(32) inline constexpr std::array<std::array<uint8_t, 32>, kRunPiece + 1> kRunMasks = [] {
  std::array<std::array<uint8_t, 32>, kRunPiece + 1> masks{};
  for (std::size_t n = 0; n <= kRunPiece; ++n) {
    for (std::size_t i = 0; i < 2 * n; ++i) masks[n][i] = 0xFF;
  }
  return masks;
}();

// The bytes that end a run of glyphs wherever high bytes are glyphs too; elsewhere the high
// bytes end runs as well.
constexpr bool EndsGlyphs(uint8_t b) {
  return b == kEscapeByte || b == kPipeByte || b == '\n' || b == '\r' || b == '\t';
}

constexpr bool EndsRun(uint8_t b, bool high_glyphs) {
  return EndsGlyphs(b) || (!high_glyphs && b >= 0x80);
}

inline constexpr std::array<ByteRule, 1> kScreenRules = {EndsGlyphs};
inline constexpr NibbleTables<1> kNibbleTables = BuildNibbleTables(kScreenRules);
static_assert(TablesFollowRules<1>(kNibbleTables, kScreenRules));

// The parameter characters from `bytes` on (up to kKeyBytes, which means as many or more), and
// the key of the sequence they and the final byte after them form.
struct SequenceKey {
  std::size_t Params;
  Key Bytes;
};

#if TINTREL_SSE2
// Sixteen copies of a byte, read from memory where they are used: the calls of the uncommon steps
// would otherwise have them made anew for every sequence.
struct alignas(16) Lanes {
  std::array<uint8_t, 16> Bytes;
};

constexpr Lanes Splat(int byte) {
  Lanes lanes{};
  for (uint8_t& lane : lanes.Bytes) lane = static_cast<uint8_t>(byte);
  return lanes;
}

inline constexpr std::array<Lanes, 4> kParamLanes = {
    Splat(kParamSeparators[0]), Splat(kParamSeparators[1]), Splat(0x80 - '0'), Splat(0x80 + 10)};

// The lanes where the compiler cannot see their values, which it would otherwise make anew in
// registers for every sequence.
inline const Lanes* LanesInMemory() {
  const Lanes* lanes = kParamLanes.data();
  asm("" : "+r"(lanes));
  return lanes;
}

[[gnu::always_inline]] inline SequenceKey KeyAt(const uint8_t* bytes) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
  const Lanes* lanes = LanesInMemory();
  auto lane = [lanes](std::size_t i) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(lanes[i].Bytes.data()));
  };
  // A digit is a byte whose distance from '0', taken unsigned, is below 10: with the sign bit
  // flipped, signed below -128 + 10.
  const __m128i digits = _mm_cmplt_epi8(_mm_add_epi8(v, lane(2)), lane(3));
  const __m128i params =
      _mm_or_si128(digits, _mm_or_si128(_mm_cmpeq_epi8(v, lane(0)), _mm_cmpeq_epi8(v, lane(1))));
  const std::size_t count = Zeros(~static_cast<uint64_t>(_mm_movemask_epi8(params)));
  const std::size_t length = std::min(count + 1, kKeyBytes);
  const __m128i key =
      _mm_or_si128(v, _mm_load_si128(reinterpret_cast<const __m128i*>(kKeyPads[length].data())));
  return {std::min(count, kKeyBytes),
          {static_cast<uint64_t>(_mm_cvtsi128_si64(key)),
           static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(key, key)))}};
}
#else
[[gnu::always_inline]] inline SequenceKey KeyAt(const uint8_t* bytes) {
  std::size_t count = 0;
  while (count < kKeyBytes && IsParamChar(bytes[count])) ++count;
  std::array<uint8_t, kKeyBytes> key;
  std::memcpy(key.data(), bytes, kKeyBytes);
  for (std::size_t i = std::min(count + 1, kKeyBytes); i < kKeyBytes; ++i) key[i] = 0xFF;
  return {count, {Load64(key.data()), Load64(key.data() + 8)}};
}
#endif

// What the steps take from the processor: the classification of a window of 64 bytes into the
// bytes that end runs (and the high bytes, unless they are glyphs), and writing a run of at most
// 16 glyphs with their attribute into cells, which reads sixteen glyphs and leaves the cells
// past the run as they were.
struct BlockWalk;

// Where the steps of a block that call nothing stop: at the block's end, at a run or at a
// token they leave to the steps apart.
enum class Exit : uint8_t { kEnd, kRun, kToken };

// Packing the cursor's coordinates into vectors costs more than it saves.
#if defined(__GNUC__) && !defined(__clang__)
#define TINTREL_SCREEN_STEPS gnu::optimize("no-tree-slp-vectorize")
#else
#define TINTREL_SCREEN_STEPS
#endif

struct Portably {
  static Exit CommonSteps(Screen& screen, BlockWalk& walk, const SequenceEntry* entries);
  static Exit TrueColorSteps(Screen& screen, BlockWalk& walk, const SequenceEntry* entries);

  template <bool kHighGlyphs>
  static uint64_t Classify(const uint8_t* bytes) {
    uint64_t enders = 0;
#if TINTREL_SSE2
    for (int part = 0; part < 4; ++part) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * part));
      auto is = [v](char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
      const __m128i ends = _mm_or_si128(_mm_or_si128(_mm_or_si128(is(kEscapeByte), is(kPipeByte)),
                                                     _mm_or_si128(is('\n'), is('\r'))),
                                        is('\t'));
      auto bits = static_cast<uint32_t>(_mm_movemask_epi8(ends));
      if (!kHighGlyphs) bits |= static_cast<uint32_t>(_mm_movemask_epi8(v));
      enders |= uint64_t{bits} << (16 * part);
    }
#else
    for (std::size_t i = 0; i < kWindow; ++i)
      enders |= uint64_t{EndsRun(bytes[i], kHighGlyphs)} << i;
#endif
    return enders;
  }

  static SequenceKey Key(const uint8_t* bytes) {
    return KeyAt(bytes);
  }

  // How many of n glyphs (at most 16) have ink; reads sixteen.
  static uint32_t Ink(const uint8_t* glyphs, uint32_t n) {
    uint32_t ink = 0;
    for (uint32_t i = 0; i < n; ++i) ink += !IsBlank(glyphs[i]);
    return ink;
  }

  static void Write(Cell* cells, const uint8_t* glyphs, uint32_t n, uint8_t attr) {
#if TINTREL_SSE2
    const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(glyphs));
    const __m128i a = _mm_set1_epi8(static_cast<char>(attr));
    auto* to = reinterpret_cast<__m128i*>(cells);
    for (int half = 0; half < 2; ++half) {
      const __m128i mask =
          _mm_load_si128(reinterpret_cast<const __m128i*>(kRunMasks[n].data()) + half);
      const __m128i drawn = half == 0 ? _mm_unpacklo_epi8(g, a) : _mm_unpackhi_epi8(g, a);
      const __m128i was = _mm_loadu_si128(to + half);
      _mm_storeu_si128(to + half,
                       _mm_or_si128(_mm_and_si128(mask, drawn), _mm_andnot_si128(mask, was)));
    }
#else
    for (uint32_t i = 0; i < n; ++i) cells[i] = {glyphs[i], attr};
#endif
  }
};

#if TINTREL_SSE2
struct WithAvx2 {
  static Exit CommonSteps(Screen& screen, BlockWalk& walk, const SequenceEntry* entries);
  static Exit TrueColorSteps(Screen& screen, BlockWalk& walk, const SequenceEntry* entries);

  template <bool kHighGlyphs>
  [[TINTREL_TARGET_AVX2]] static uint64_t Classify(const uint8_t* bytes) {
    const __m256i low_table = avx2::Table(kNibbleTables.Low);
    const __m256i high_table = avx2::Table(kNibbleTables.High);
    uint64_t enders = 0;
    for (int part = 0; part < 2; ++part) {
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + 32 * part));
      uint64_t bits =
          ~avx2::WithNone(avx2::Classes(v, low_table, high_table), kNibbleTables.Bits[0]) &
          0xFFFFFFFFu;
      if (!kHighGlyphs) bits |= avx2::TopBits(v);
      enders |= bits << (32 * part);
    }
    return enders;
  }

  static SequenceKey Key(const uint8_t* bytes) { return KeyAt(bytes); }

  [[TINTREL_TARGET_AVX2]] static uint32_t Ink(const uint8_t* glyphs, uint32_t n) {
    const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(glyphs));
    const __m128i blank = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(g, _mm_setzero_si128()), _mm_cmpeq_epi8(g, _mm_set1_epi8(' '))),
        _mm_cmpeq_epi8(g, _mm_set1_epi8(-1)));
    return static_cast<uint32_t>(
        _mm_popcnt_u32(~static_cast<uint32_t>(_mm_movemask_epi8(blank)) & ((1u << n) - 1)));
  }

  // Sixteen glyphs, each with the attribute after it: the bytes of sixteen cells.
  [[TINTREL_TARGET_AVX2]] static __m256i CellsOf(const uint8_t* glyphs, uint8_t attr) {
    return _mm256_or_si256(
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(glyphs))),
        _mm256_set1_epi16(static_cast<int16_t>(attr << 8)));
  }

  [[TINTREL_TARGET_AVX2]] static void Write(Cell* cells, const uint8_t* glyphs, uint32_t n,
                                            uint8_t attr) {
    const __m256i drawn = CellsOf(glyphs, attr);
    auto* to = reinterpret_cast<__m256i*>(cells);
    const __m256i mask = _mm256_load_si256(reinterpret_cast<const __m256i*>(kRunMasks[n].data()));
    _mm256_storeu_si256(to, _mm256_blendv_epi8(_mm256_loadu_si256(to), drawn, mask));
  }
};

struct WithAvx512 {
  static Exit CommonSteps(Screen& screen, BlockWalk& walk, const SequenceEntry* entries);
  static Exit TrueColorSteps(Screen& screen, BlockWalk& walk, const SequenceEntry* entries);

  template <bool kHighGlyphs>
  [[TINTREL_TARGET_AVX512]] static uint64_t Classify(const uint8_t* bytes) {
    static constexpr std::array<uint8_t, 64> kLowTables = ForEachLane(kNibbleTables.Low),
                                             kHighTables = ForEachLane(kNibbleTables.High);
    const __m512i v = _mm512_loadu_si512(bytes);
    uint64_t enders =
        avx512::WithAny(avx512::Classes(v, avx512::Table(kLowTables), avx512::Table(kHighTables)),
                        kNibbleTables.Bits[0]);
    if (!kHighGlyphs) enders |= _mm512_movepi8_mask(v);
    return enders;
  }

  // The parameter characters counted with mask compares, and the key's padding by a mask.
  [[TINTREL_TARGET_AVX512]] static SequenceKey Key(const uint8_t* bytes) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    const auto params = static_cast<uint32_t>(
        _mm_cmplt_epu8_mask(_mm_sub_epi8(v, _mm_set1_epi8('0')), _mm_set1_epi8(10)) |
        _mm_cmpeq_epi8_mask(v, _mm_set1_epi8(static_cast<char>(kParamSeparators[0]))) |
        _mm_cmpeq_epi8_mask(v, _mm_set1_epi8(static_cast<char>(kParamSeparators[1]))));
    const auto count = static_cast<std::size_t>(_tzcnt_u32(~params));
    // The params and the final byte stay; the bytes past them become all ones.
    const auto kept = static_cast<__mmask16>(_bzhi_u32(0xFFFF, static_cast<uint32_t>(count + 1)));
    const __m128i key = _mm_mask_mov_epi8(_mm_set1_epi8(-1), kept, v);
    return {std::min(count, kKeyBytes),
            {static_cast<uint64_t>(_mm_cvtsi128_si64(key)),
             static_cast<uint64_t>(_mm_extract_epi64(key, 1))}};
  }

  [[TINTREL_TARGET_AVX512]] static uint32_t Ink(const uint8_t* glyphs, uint32_t n) {
    return WithAvx2::Ink(glyphs, n);
  }

  [[TINTREL_TARGET_AVX512]] static void Write(Cell* cells, const uint8_t* glyphs, uint32_t n,
                                              uint8_t attr) {
    _mm256_mask_storeu_epi16(cells, static_cast<__mmask16>((1u << n) - 1),
                             WithAvx2::CellsOf(glyphs, attr));
  }
};
#endif

}  // namespace screen_quick
}  // namespace tintrel
