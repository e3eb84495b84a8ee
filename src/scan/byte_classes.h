// SPDX-License-Identifier: MIT
// What each byte is to the scan, in one table: its class in the normal state (a drawn cell, a
// control the interpreter acts on, ESC, "|" or the end mark), whether a drawn cell of it is a
// high character, and whether it may stand among a sequence's parameters. The byte loop, the
// quick steps and the classification of whole windows all read it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tintrel {

enum class ByteClass : uint8_t {
  kCell,     // draws one cell and counts as a low or high character
  kControl,  // 0, tab, line feed, form feed, shift-out and shift-in: the interpreter acts on it
  kEscape,   // starts a sequence
  kPipe,     // may start a pipe code; on its own an ordinary cell
  kEndMark,  // ends the scan; past the reader an ordinary cell
};

inline constexpr uint8_t kEndMark = 26;
inline constexpr uint8_t kEscapeByte = 27;
inline constexpr uint8_t kPipeByte = '|';
// Drawn cells of this byte and above are high characters.
inline constexpr uint8_t kLowestHigh = 127;
// Parameter characters: the digits and these two separators.
inline constexpr std::array<uint8_t, 2> kParamSeparators = {';', '?'};

namespace byte_table {

inline constexpr uint8_t kClassBits = 7;
inline constexpr uint8_t kHighBit = 8;
inline constexpr uint8_t kParamBit = 16;

constexpr uint8_t Entry(ByteClass byte_class) {
  return static_cast<uint8_t>(byte_class);
}

constexpr std::array<uint8_t, 256> Build() {
  std::array<uint8_t, 256> table{};
  for (int b = 0; b < 256; ++b) {
    bool high = b >= kLowestHigh;
    bool param = (b >= '0' && b <= '9') || b == kParamSeparators[0] || b == kParamSeparators[1];
    table[b] = static_cast<uint8_t>(Entry(ByteClass::kCell) | (high ? kHighBit : 0) |
                                    (param ? kParamBit : 0));
  }
  for (uint8_t b : {uint8_t{0}, uint8_t{9}, uint8_t{10}, uint8_t{12}, uint8_t{14}, uint8_t{15}})
    table[b] = Entry(ByteClass::kControl);
  table[kEscapeByte] = Entry(ByteClass::kEscape);
  table[kPipeByte] = Entry(ByteClass::kPipe);
  table[kEndMark] = Entry(ByteClass::kEndMark);
  return table;
}

inline constexpr std::array<uint8_t, 256> kTable = Build();

constexpr bool EndsRun(uint8_t entry) {
  return (entry & kClassBits) != Entry(ByteClass::kCell);
}

constexpr std::size_t CountRunEnders() {
  std::size_t count = 0;
  for (uint8_t entry : kTable) count += EndsRun(entry);
  return count;
}

}  // namespace byte_table

constexpr ByteClass ClassOf(uint8_t b) {
  return static_cast<ByteClass>(byte_table::kTable[b] & byte_table::kClassBits);
}

constexpr bool IsHigh(uint8_t b) {
  return (byte_table::kTable[b] & byte_table::kHighBit) != 0;
}

constexpr bool IsParamChar(uint8_t b) {
  return (byte_table::kTable[b] & byte_table::kParamBit) != 0;
}

// Whether b may stand in a token's key before its last byte: a parameter character, or the "["
// after ESC. A key runs to the first other byte; which token it holds is told from its bytes.
constexpr bool ExtendsKey(uint8_t b) {
  return IsParamChar(b) || b == '[';
}

// Every byte that is not a plain cell, in ascending order: a run of cells ends at any of them.
inline constexpr auto kRunEnders = [] {
  std::array<uint8_t, byte_table::CountRunEnders()> enders{};
  std::size_t n = 0;
  for (int b = 0; b < 256; ++b) {
    if (byte_table::EndsRun(byte_table::kTable[b])) enders[n++] = static_cast<uint8_t>(b);
  }
  return enders;
}();

// For a byte that may be the first digit of a pipe code, how many second digits follow it in a
// code: "00" to "23".
inline constexpr std::array<uint8_t, 256> kPipeSecondDigits = [] {
  std::array<uint8_t, 256> counts{};
  counts['0'] = counts['1'] = 10;
  counts['2'] = 4;
  return counts;
}();

// The value 0 to 23 of the pipe code "|" c1 c2, or -1 when the two bytes form none.
constexpr int PipeCodeValue(uint8_t c1, uint8_t c2) {
  auto ones = static_cast<unsigned>(c2 - '0');
  return ones < kPipeSecondDigits[c1] ? (c1 - '0') * 10 + static_cast<int>(ones) : -1;
}

}  // namespace tintrel
