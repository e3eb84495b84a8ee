// SPDX-License-Identifier: MIT
// The bit and word helpers the fast paths share: counting and finding the set bits of a word,
// unaligned loads, and the multiplier of their hashes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tintrel {

// 2^64 divided by the golden ratio: a multiplicative hash spreads keys over the top bits.
inline constexpr uint64_t kHashMultiplier = 0x9E3779B97F4A7C15ull;

// The set bits of a word, with no instruction an old processor lacks.
constexpr int CountBits(uint64_t bits) {
  bits -= (bits >> 1) & 0x5555555555555555ull;
  bits = (bits & 0x3333333333333333ull) + ((bits >> 2) & 0x3333333333333333ull);
  bits = (bits + (bits >> 4)) & 0x0F0F0F0F0F0F0F0Full;
  return static_cast<int>((bits * 0x0101010101010101ull) >> 56);
}

// The trailing zero bits of a word that has a bit set.
inline std::size_t Zeros(uint64_t bits) {
  return static_cast<std::size_t>(__builtin_ctzll(bits));
}

inline uint64_t Load64(const uint8_t* bytes) {
  uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

}  // namespace tintrel
