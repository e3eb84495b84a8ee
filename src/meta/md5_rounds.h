// SPDX-License-Identifier: MIT
// MD5's block function over several messages at once, one in each 32-bit lane of a vector: the
// sixty-four steps written once over a set of vector operations, which SSE2 (four lanes), AVX2
// and AVX-512 (eight lanes) provide, once or twice side by side. Each step waits on the one
// before, so a lone message leaves most of a core idle; side by side in lanes, the messages share
// the same wait.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "simd/processor.h"

namespace tintrel::md5rounds {

inline constexpr std::size_t kBlockSize = 64;

// The constant each step adds: the integer part of |sin(step + 1)| * 2^32.
inline constexpr uint32_t kAdded[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

inline constexpr int kRotations[4][4] = {
    {7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

// The message word each step adds: in order, then 5i + 1, 3i + 5 and 7i, all modulo 16.
constexpr std::size_t WordOfStep(std::size_t step) {
  const std::size_t i = step % 16;
  switch (step / 16) {
    case 0: return i;
    case 1: return (5 * i + 1) % 16;
    case 2: return (3 * i + 5) % 16;
    default: return (7 * i) % 16;
  }
}

// One step. The four words take turns as a: step k computes the word at (4 - k) % 4. The sum of
// a, the message word and the constant does not wait on b, so only the round function, one add,
// the rotation and the last add stand between one step and the next. Vectors pass to the
// operations by reference, never by value, to functions built for another instruction set.
template <typename Ops, std::size_t kStep>
[[gnu::always_inline]] inline void Step(typename Ops::Vector (&abcd)[4],
                                        const typename Ops::Vector (&words)[16]) {
  constexpr std::size_t a = (4 - kStep % 4) % 4, b = (a + 1) % 4, c = (a + 2) % 4, d = (a + 3) % 4;
  typename Ops::Vector sum;
  Ops::Begin(sum, abcd[a], words[WordOfStep(kStep)], kAdded[kStep]);
  Ops::template AddRound<kStep / 16>(sum, abcd[b], abcd[c], abcd[d]);
  Ops::template End<kRotations[kStep / 16][kStep % 4]>(abcd[a], sum, abcd[b]);
}

template <typename Ops, std::size_t... kSteps>
[[gnu::always_inline]] inline void Steps(typename Ops::Vector (&abcd)[4],
                                         const typename Ops::Vector (&words)[16],
                                         std::index_sequence<kSteps...>) {
  (Step<Ops, kSteps>(abcd, words), ...);
}

// Sixteen words of every lane, word by word: a 4x4 transposition of each group of four rows.
template <typename Ops>
[[gnu::always_inline]] inline void LoadWords(typename Ops::Vector (&words)[16],
                                             const uint8_t* const* blocks) {
  for (std::size_t group = 0; group < 4; ++group) {
    typename Ops::Vector rows[4], low01, high01, low23, high23;
    for (std::size_t lane = 0; lane < 4; ++lane) Ops::Row(rows[lane], blocks, lane, group);
    Ops::Interleave32(low01, high01, rows[0], rows[1]);
    Ops::Interleave32(low23, high23, rows[2], rows[3]);
    Ops::Interleave64(words[4 * group], words[4 * group + 1], low01, low23);
    Ops::Interleave64(words[4 * group + 2], words[4 * group + 3], high01, high23);
  }
}

// Runs `count` blocks of each lane, lane i's from blocks[i] on, one after another, on the state
// words at `state`: word w of lane i at state[w * stride + i].
template <typename Ops>
[[gnu::always_inline]] inline void CompressLanes(uint32_t* state, std::size_t stride,
                                                 const uint8_t* const* first_blocks,
                                                 std::size_t count) {
  using Vector = typename Ops::Vector;
  const uint8_t* blocks[Ops::kLanes];
  for (std::size_t i = 0; i < Ops::kLanes; ++i) blocks[i] = first_blocks[i];
  Vector abcd[4];
  for (std::size_t w = 0; w < 4; ++w) Ops::Load(abcd[w], state + w * stride);
  for (; count > 0; --count) {
    Vector words[16];
    LoadWords<Ops>(words, blocks);
    const Vector before[4] = {abcd[0], abcd[1], abcd[2], abcd[3]};
    Steps<Ops>(abcd, words, std::make_index_sequence<64>{});
    for (std::size_t w = 0; w < 4; ++w) Ops::AddTo(abcd[w], before[w]);
    for (std::size_t i = 0; i < Ops::kLanes; ++i) blocks[i] += kBlockSize;
  }
  for (std::size_t w = 0; w < 4; ++w) Ops::Store(state + w * stride, abcd[w]);
}

#if TINTREL_SSE2

// The four-lane operations. Each round function does first what does not wait on b: G as the
// sum of two terms that share no bit, one of them without b.
struct Sse2 {
  using Vector = __m128i;
  static constexpr std::size_t kLanes = 4;

  static void Load(Vector& v, const uint32_t* words) {
    v = _mm_load_si128(reinterpret_cast<const __m128i*>(words));
  }
  static void Store(uint32_t* words, const Vector& v) {
    _mm_store_si128(reinterpret_cast<__m128i*>(words), v);
  }
  static void AddTo(Vector& x, const Vector& y) { x = _mm_add_epi32(x, y); }
  static void Begin(Vector& sum, const Vector& a, const Vector& word, uint32_t added) {
    sum = _mm_add_epi32(_mm_add_epi32(a, word), _mm_set1_epi32(static_cast<int>(added)));
  }
  // sum += F, G, H or I of b, c and d.
  template <std::size_t kRound>
  static void AddRound(Vector& sum, const Vector& b, const Vector& c, const Vector& d) {
    if constexpr (kRound == 0) {  // d ^ (b & (c ^ d)): b chooses c or d
      sum = _mm_add_epi32(sum, _mm_xor_si128(d, _mm_and_si128(b, _mm_xor_si128(c, d))));
    } else if constexpr (kRound == 1) {  // (c & ~d) + (b & d): d chooses b or c
      sum = _mm_add_epi32(_mm_add_epi32(sum, _mm_andnot_si128(d, c)), _mm_and_si128(b, d));
    } else if constexpr (kRound == 2) {  // b ^ c ^ d
      sum = _mm_add_epi32(sum, _mm_xor_si128(b, _mm_xor_si128(c, d)));
    } else {  // c ^ (b | ~d)
      const __m128i not_d = _mm_xor_si128(d, _mm_set1_epi32(-1));
      sum = _mm_add_epi32(sum, _mm_xor_si128(c, _mm_or_si128(b, not_d)));
    }
  }
  // a = b + (sum rotated left by kBits)
  template <int kBits>
  static void End(Vector& a, const Vector& sum, const Vector& b) {
    a = _mm_add_epi32(b, _mm_or_si128(_mm_slli_epi32(sum, kBits), _mm_srli_epi32(sum, 32 - kBits)));
  }
  // Words 4 * group to 4 * group + 3 of a lane.
  static void Row(Vector& row, const uint8_t* const* blocks, std::size_t lane, std::size_t group) {
    row = _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks[lane] + 16 * group));
  }
  static void Interleave32(Vector& low, Vector& high, const Vector& x, const Vector& y) {
    low = _mm_unpacklo_epi32(x, y);
    high = _mm_unpackhi_epi32(x, y);
  }
  static void Interleave64(Vector& low, Vector& high, const Vector& x, const Vector& y) {
    low = _mm_unpacklo_epi64(x, y);
    high = _mm_unpackhi_epi64(x, y);
  }
};

// The same on eight lanes.
struct Avx2 {
  using Vector = __m256i;
  static constexpr std::size_t kLanes = 8;

  [[TINTREL_TARGET_AVX2]] static void Load(Vector& v, const uint32_t* words) {
    v = _mm256_load_si256(reinterpret_cast<const __m256i*>(words));
  }
  [[TINTREL_TARGET_AVX2]] static void Store(uint32_t* words, const Vector& v) {
    _mm256_store_si256(reinterpret_cast<__m256i*>(words), v);
  }
  [[TINTREL_TARGET_AVX2]] static void AddTo(Vector& x, const Vector& y) {
    x = _mm256_add_epi32(x, y);
  }
  [[TINTREL_TARGET_AVX2]] static void Begin(Vector& sum, const Vector& a, const Vector& word,
                                            uint32_t added) {
    sum = _mm256_add_epi32(_mm256_add_epi32(a, word), _mm256_set1_epi32(static_cast<int>(added)));
  }
  template <std::size_t kRound>
  [[TINTREL_TARGET_AVX2]] static void AddRound(Vector& sum, const Vector& b, const Vector& c,
                                               const Vector& d) {
    if constexpr (kRound == 0) {
      sum = _mm256_add_epi32(sum, _mm256_xor_si256(d, _mm256_and_si256(b, _mm256_xor_si256(c, d))));
    } else if constexpr (kRound == 1) {
      sum = _mm256_add_epi32(_mm256_add_epi32(sum, _mm256_andnot_si256(d, c)),
                             _mm256_and_si256(b, d));
    } else if constexpr (kRound == 2) {
      sum = _mm256_add_epi32(sum, _mm256_xor_si256(b, _mm256_xor_si256(c, d)));
    } else {
      const __m256i not_d = _mm256_xor_si256(d, _mm256_set1_epi32(-1));
      sum = _mm256_add_epi32(sum, _mm256_xor_si256(c, _mm256_or_si256(b, not_d)));
    }
  }
  template <int kBits>
  [[TINTREL_TARGET_AVX2]] static void End(Vector& a, const Vector& sum, const Vector& b) {
    a = _mm256_add_epi32(
        b, _mm256_or_si256(_mm256_slli_epi32(sum, kBits), _mm256_srli_epi32(sum, 32 - kBits)));
  }
  // Four words of lane `lane` in the low half and of lane `lane` + 4 in the high half, so that
  // the transposition never crosses the halves.
  [[TINTREL_TARGET_AVX2]] static void Row(Vector& row, const uint8_t* const* blocks,
                                          std::size_t lane, std::size_t group) {
    row = _mm256_inserti128_si256(
        _mm256_castsi128_si256(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks[lane] + 16 * group))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks[lane + 4] + 16 * group)), 1);
  }
  [[TINTREL_TARGET_AVX2]] static void Interleave32(Vector& low, Vector& high, const Vector& x,
                                                   const Vector& y) {
    low = _mm256_unpacklo_epi32(x, y);
    high = _mm256_unpackhi_epi32(x, y);
  }
  [[TINTREL_TARGET_AVX2]] static void Interleave64(Vector& low, Vector& high, const Vector& x,
                                                   const Vector& y) {
    low = _mm256_unpacklo_epi64(x, y);
    high = _mm256_unpackhi_epi64(x, y);
  }
};

// The same eight lanes, with the rotation in one instruction and each round function in one: the
// truth table of F, G, H or I over b, c and d.
struct Avx512 : Avx2 {
  static constexpr int kTruthTables[4] = {0xCA, 0xE4, 0x96, 0x39};

  template <std::size_t kRound>
  [[TINTREL_TARGET_AVX512VL]] static void AddRound(Vector& sum, const Vector& b, const Vector& c,
                                                   const Vector& d) {
    constexpr int kTable = kTruthTables[kRound];
    sum = _mm256_add_epi32(sum, _mm256_ternarylogic_epi32(b, c, d, kTable));
  }
  template <int kBits>
  [[TINTREL_TARGET_AVX512VL]] static void End(Vector& a, const Vector& sum, const Vector& b) {
    a = _mm256_add_epi32(b, _mm256_rol_epi32(sum, kBits));
  }
};

#endif

// Two sets of lanes side by side, lanes 0 to kLanes - 1 and the next as many: two chains of steps
// that do not wait on each other, for a core that can run more than one chain's operations while
// each waits on the one before.
template <typename Half>
struct Twice {
  struct Vector {
    typename Half::Vector Low, High;
  };
  static constexpr std::size_t kLanes = 2 * Half::kLanes;

  [[gnu::always_inline]] static void Load(Vector& v, const uint32_t* words) {
    Half::Load(v.Low, words);
    Half::Load(v.High, words + Half::kLanes);
  }
  [[gnu::always_inline]] static void Store(uint32_t* words, const Vector& v) {
    Half::Store(words, v.Low);
    Half::Store(words + Half::kLanes, v.High);
  }
  [[gnu::always_inline]] static void AddTo(Vector& x, const Vector& y) {
    Half::AddTo(x.Low, y.Low);
    Half::AddTo(x.High, y.High);
  }
  [[gnu::always_inline]] static void Begin(Vector& sum, const Vector& a, const Vector& word,
                                           uint32_t added) {
    Half::Begin(sum.Low, a.Low, word.Low, added);
    Half::Begin(sum.High, a.High, word.High, added);
  }
  template <std::size_t kRound>
  [[gnu::always_inline]] static void AddRound(Vector& sum, const Vector& b, const Vector& c,
                                              const Vector& d) {
    Half::template AddRound<kRound>(sum.Low, b.Low, c.Low, d.Low);
    Half::template AddRound<kRound>(sum.High, b.High, c.High, d.High);
  }
  template <int kBits>
  [[gnu::always_inline]] static void End(Vector& a, const Vector& sum, const Vector& b) {
    Half::template End<kBits>(a.Low, sum.Low, b.Low);
    Half::template End<kBits>(a.High, sum.High, b.High);
  }
  [[gnu::always_inline]] static void Row(Vector& row, const uint8_t* const* blocks,
                                         std::size_t lane, std::size_t group) {
    Half::Row(row.Low, blocks, lane, group);
    Half::Row(row.High, blocks + Half::kLanes, lane, group);
  }
  [[gnu::always_inline]] static void Interleave32(Vector& low, Vector& high, const Vector& x,
                                                  const Vector& y) {
    Half::Interleave32(low.Low, high.Low, x.Low, y.Low);
    Half::Interleave32(low.High, high.High, x.High, y.High);
  }
  [[gnu::always_inline]] static void Interleave64(Vector& low, Vector& high, const Vector& x,
                                                  const Vector& y) {
    Half::Interleave64(low.Low, high.Low, x.Low, y.Low);
    Half::Interleave64(low.High, high.High, x.High, y.High);
  }
};

}  // namespace tintrel::md5rounds
