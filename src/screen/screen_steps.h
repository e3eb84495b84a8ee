// SPDX-License-Identifier: MIT
// What a sequence or a pipe code does to the screen, as one ScreenStep: a change of the pen
// (the colour state, pen & PenKeep | PenSet) and at most one cursor or screen action. The byte
// loop and the quick steps read a sequence's step from the same parser; the quick steps keep
// the steps of the sequences they met in a cache.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tintrel {

// The pen: the colours as the sequences set them, from which the attribute is made.
inline constexpr uint16_t kPenFg = 0x000F;       // foreground colour, VGA order
inline constexpr uint16_t kPenFgBasic = 0x0010;  // set by 30-37 or 39: bold brightens it
inline constexpr uint16_t kPenBold = 0x0020;
inline constexpr uint16_t kPenReverse = 0x0040;
inline constexpr uint16_t kPenConceal = 0x0080;
inline constexpr uint16_t kPenBg = 0x0F00;       // background colour, VGA order
inline constexpr uint16_t kPenBgBasic = 0x1000;  // set by 40-47 or 49: blink brightens it
inline constexpr uint16_t kPenBlink = 0x2000;
inline constexpr uint16_t kFreshPen = 7 | kPenFgBasic | kPenBgBasic;

namespace pen_tables {

// The attribute's foreground from the pen's low six bits, its background from bits 8-13, for
// pens without reverse or conceal.
constexpr std::array<uint8_t, 64> kForeground = [] {
  std::array<uint8_t, 64> table{};
  for (int i = 0; i < 64; ++i)
    table[i] = static_cast<uint8_t>((i & 15) | ((i & kPenFgBasic) && (i & kPenBold) ? 8 : 0));
  return table;
}();

constexpr std::array<uint8_t, 64> kBackground = [] {
  std::array<uint8_t, 64> table{};
  for (int i = 0; i < 64; ++i) {
    const bool bright = (i & (kPenBgBasic >> 8)) && (i & (kPenBlink >> 8));
    table[i] = static_cast<uint8_t>(((i & 15) | (bright ? 8 : 0)) << 4);
  }
  return table;
}();

}  // namespace pen_tables

// Reverse and conceal, which swap or hide the colours.
uint8_t RareAttrOfPen(uint16_t pen);

inline uint8_t AttrOfPen(uint16_t pen) {
  if (pen & (kPenReverse | kPenConceal)) [[unlikely]]
    return RareAttrOfPen(pen);
  return static_cast<uint8_t>(pen_tables::kForeground[pen & 63] |
                              pen_tables::kBackground[(pen >> 8) & 63]);
}

enum class StepKind : uint8_t {
  kPenOnly,
  kUp,
  kDown,
  kForward,
  kBack,
  kPosition,
  kSave,
  kRestore,
  kEraseLine,
  kClear,
};

struct ScreenStep {
  uint16_t PenKeep = 0xFFFF, PenSet = 0;
  StepKind Kind = StepKind::kPenOnly;
  bool Extended = false;  // the step asks for a 256-colour or 24-bit colour
  uint8_t Length = 0;     // a cached step: the bytes of its sequence from ESC
  uint8_t Unused = 0;
  uint32_t Row = 0, Column = 0;  // a move's count in Row; kPosition's place, from 1

  bool operator==(const ScreenStep&) const = default;
};

// The step of ESC [ params final; the parameter characters are at most the 255 kept.
ScreenStep SequenceStep(const uint8_t* params, std::size_t length, uint8_t final);

// The step of pipe code 0 to 23.
ScreenStep PipeStep(int code);

// The VGA colour nearest to an RGB colour, and the one a 256-colour number stands for.
uint8_t NearestVgaColor(int red, int green, int blue);
uint8_t VgaColorOf256(int number);

}  // namespace tintrel
