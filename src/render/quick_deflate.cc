// SPDX-License-Identifier: MIT
#include "render/quick_deflate.h"

#include <libdeflate.h>

#include <array>
#include <bit>
#include <cstring>

namespace tintrel {

namespace {

constexpr std::size_t kWindow = 32768;
constexpr std::size_t kShortest = 3, kLongest = 258;

// A code and the bits it takes, in the order deflate writes them (first bit lowest).
struct Bits {
  uint32_t Code = 0;
  uint32_t Count = 0;
};

constexpr uint32_t Reversed(uint32_t code, uint32_t count) {
  uint32_t out = 0;
  for (uint32_t i = 0; i < count; ++i) out |= ((code >> i) & 1) << (count - 1 - i);
  return out;
}

// The fixed code of a literal/length symbol.
constexpr Bits FixedSymbol(uint32_t symbol) {
  if (symbol < 144) return {Reversed(0x30 + symbol, 8), 8};
  if (symbol < 256) return {Reversed(0x190 + symbol - 144, 9), 9};
  if (symbol < 280) return {Reversed(symbol - 256, 7), 7};
  return {Reversed(0xC0 + symbol - 280, 8), 8};
}

constexpr std::array<uint16_t, 29> kLengthBase = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                  15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                  67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<uint16_t, 30> kDistanceBase = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<uint8_t, 30> kDistanceExtra = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                    4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                    9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Every length's symbol and extra bits as one code.
constexpr std::array<Bits, kLongest + 1> MakeLengthCodes() {
  std::array<Bits, kLongest + 1> codes{};
  for (std::size_t length = kShortest; length <= kLongest; ++length) {
    std::size_t k = kLengthBase.size() - 1;
    while (kLengthBase[k] > length) --k;
    const Bits symbol = FixedSymbol(static_cast<uint32_t>(257 + k));
    codes[length] = {symbol.Code | static_cast<uint32_t>(length - kLengthBase[k]) << symbol.Count,
                     symbol.Count + kLengthExtra[k]};
  }
  return codes;
}
constexpr std::array<Bits, kLongest + 1> kLengthCodes = MakeLengthCodes();

Bits DistanceCode(std::size_t distance) {
  std::size_t k = kDistanceBase.size() - 1;
  while (kDistanceBase[k] > distance) --k;
  return {Reversed(static_cast<uint32_t>(k), 5) | static_cast<uint32_t>(distance - kDistanceBase[k])
                                                      << 5,
          5u + kDistanceExtra[k]};
}

// Bits into a buffer sized for the worst case, a word at a time.
struct BitWriter {
  uint8_t* At;
  uint64_t Held = 0;
  uint32_t Count = 0;

  void Put(Bits bits) {
    Held |= uint64_t{bits.Code} << Count;
    Count += bits.Count;
    if (Count >= 32) {
      const auto word = static_cast<uint32_t>(Held);
      const uint8_t bytes[4] = {static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8),
                                static_cast<uint8_t>(word >> 16), static_cast<uint8_t>(word >> 24)};
      std::memcpy(At, bytes, 4);
      At += 4;
      Held >>= 32;
      Count -= 32;
    }
  }

  void Flush() {
    for (; Count > 0; Count = Count > 8 ? Count - 8 : 0, Held >>= 8)
      *At++ = static_cast<uint8_t>(Held);
  }
};

// How far the bytes from `at` repeat those from `from`, up to `most`.
std::size_t MatchLength(const uint8_t* data, std::size_t at, std::size_t from, std::size_t most) {
  std::size_t length = 0;
  while (length + 8 <= most) {
    uint64_t a, b;
    std::memcpy(&a, data + at + length, 8);
    std::memcpy(&b, data + from + length, 8);
    if (a != b) return length + static_cast<std::size_t>(std::countr_zero(a ^ b)) / 8;
    length += 8;
  }
  while (length < most && data[at + length] == data[from + length]) ++length;
  return length;
}

// The first three bytes at `at`, read as four.
uint32_t First3(const uint8_t* at) {
  uint32_t bytes;
  std::memcpy(&bytes, at, 4);
  return bytes & 0x00FFFFFF;
}

}  // namespace

std::vector<uint8_t> QuickZlib(std::span<const uint8_t> data, std::size_t stride) {
  // At worst every byte is a literal of 9 bits.
  std::vector<uint8_t> out(2 + data.size() / 8 * 9 + 32);
  out[0] = 0x78;
  out[1] = 0x01;
  BitWriter writer{out.data() + 2};
  writer.Put({0b011, 3});  // the last block, of fixed codes
  const bool rows = stride > 1 && stride <= kWindow;
  const Bits one_back = DistanceCode(1), row_back = DistanceCode(rows ? stride : 1);
  std::array<Bits, 256> literals;
  for (uint32_t b = 0; b < 256; ++b) literals[b] = FixedSymbol(b);
  const uint8_t* bytes = data.data();
  const std::size_t size = data.size();
  for (std::size_t at = 0; at < size;) {
    const std::size_t most = std::min(kLongest, size - at);
    // A match is at least three bytes: the first three decide most places. The last few bytes
    // go as literals.
    if (most < 4) {
      writer.Put(literals[bytes[at++]]);
      continue;
    }
    const uint32_t here = First3(bytes + at);
    const std::size_t run =
        at >= 1 && First3(bytes + at - 1) == here ? MatchLength(bytes, at, at - 1, most) : 0;
    const std::size_t above =
        rows && at >= stride && run < most && First3(bytes + at - stride) == here
            ? MatchLength(bytes, at, at - stride, most)
            : 0;
    if (run == 0 && above == 0) {
      writer.Put(literals[bytes[at++]]);
      continue;
    }
    const bool up = above > run;
    const std::size_t length = up ? above : run;
    writer.Put(kLengthCodes[length]);
    writer.Put(up ? row_back : one_back);
    at += length;
  }
  writer.Put(FixedSymbol(256));
  writer.Flush();
  const uint32_t adler = libdeflate_adler32(1, data.data(), data.size());
  const uint8_t check[4] = {static_cast<uint8_t>(adler >> 24), static_cast<uint8_t>(adler >> 16),
                            static_cast<uint8_t>(adler >> 8), static_cast<uint8_t>(adler)};
  std::memcpy(writer.At, check, 4);
  out.resize(static_cast<std::size_t>(writer.At + 4 - out.data()));
  return out;
}

}  // namespace tintrel
