// SPDX-License-Identifier: MIT
// What a sequence or a pipe code does to the screen, as one ScreenStep: a change of the pen
// (the colour state, pen & PenKeep | PenSet), a move forward, and at most one other cursor or
// screen action. The byte loop and the quick steps read a sequence's step from the same parser;
// the quick steps keep the steps of the sequences they met in a cache.
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
// Not a colour: set once a sequence asks for a 256-colour or 24-bit colour, and never cleared.
inline constexpr uint16_t kPenExtended = 0x8000;

// The attribute a pen draws with: reverse swaps the two colours first; bold then brightens the
// foreground and blink the background where 30-37, 39, 40-47 or 49 set them; conceal draws the
// foreground in the background's colour.
constexpr uint8_t AttrOfPenBits(uint16_t pen) {
  uint16_t fg = pen & (kPenFg | kPenFgBasic);
  uint16_t bg = (pen >> 8) & (kPenFg | kPenFgBasic);
  if (pen & kPenReverse) {
    const uint16_t swapped = fg;
    fg = bg;
    bg = swapped;
  }
  int color = fg & kPenFg, back = bg & kPenFg;
  if ((fg & kPenFgBasic) && (pen & kPenBold)) color |= 8;
  if ((bg & kPenFgBasic) && (pen & kPenBlink)) back |= 8;
  if (pen & kPenConceal) color = back;
  return static_cast<uint8_t>(color | back << 4);
}

inline constexpr uint16_t kPenBits = 0x3FFF;

inline constexpr std::array<uint8_t, kPenBits + 1> kAttrOfPen = [] {
  std::array<uint8_t, kPenBits + 1> attrs{};
  for (uint16_t pen = 0; pen <= kPenBits; ++pen) attrs[pen] = AttrOfPenBits(pen);
  return attrs;
}();

inline uint8_t AttrOfPen(uint16_t pen) {
  return kAttrOfPen[pen & kPenBits];
}

// What a step does beyond changing the pen and moving the cursor forward.
enum class StepKind : uint8_t {
  kNone,
  kUp,
  kDown,
  kBack,
  kPosition,
  kSaveCursor,
  kRestoreCursor,
  kEraseLine,
  kClear,
  kTrueColor,  // sets true colours (24-bit or 256-colour) beside the pen's VGA ones
};

// Sixteen bytes, two cache entries to a cache line: kTrueColor keeps its colours in the fields
// the moves use (TrueColorStep, TrueColorsOf).
struct ScreenStep {
  uint16_t PenKeep = 0xFFFF, PenSet = 0;
  StepKind Kind = StepKind::kNone;
  uint8_t Spare = 0;     // kTrueColor: the background's blue
  uint16_t Column = 0;   // kPosition's column, from 1 (past 65535 as 65535)
  uint32_t Forward = 0;  // columns the cursor moves forward
  uint32_t Row = 0;      // the count of the other moves; kPosition's row, from 1

  bool operator==(const ScreenStep&) const = default;
};

// Which true colours a kTrueColor step sets.
inline constexpr uint8_t kTrueFg = 1, kTrueBg = 2;

// The colours of a kTrueColor step: which it sets, and each as 0xRRGGBB.
struct TrueColorSet {
  uint8_t Which = 0;
  uint32_t Fg = 0, Bg = 0;
};

inline void SetTrueColors(ScreenStep& step, const TrueColorSet& colors) {
  step.Kind = StepKind::kTrueColor;
  step.Row = colors.Fg | uint32_t{colors.Which} << 24;
  step.Column = static_cast<uint16_t>(colors.Bg >> 8);
  step.Spare = static_cast<uint8_t>(colors.Bg);
}

inline TrueColorSet TrueColorsOf(const ScreenStep& step) {
  return {static_cast<uint8_t>(step.Row >> 24), step.Row & 0xFFFFFF,
          uint32_t{step.Column} << 8 | step.Spare};
}

// The step of ESC [ params final; the parameter characters are at most the 255 kept.
ScreenStep SequenceStep(const uint8_t* params, std::size_t length, uint8_t final);

// The step of pipe code 0 to 23.
ScreenStep PipeStep(int code);

// The VGA colour nearest to an RGB colour, and the one a 256-colour number stands for.
uint8_t NearestVgaColor(int red, int green, int blue);
uint8_t VgaColorOf256(int number);

// The RGB of a 256-colour number of 16 or more, as xterm shows it (0xRRGGBB).
uint32_t RgbOf256(int number);

}  // namespace tintrel
