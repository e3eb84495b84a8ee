// SPDX-License-Identifier: MIT
// The events of the screen, which the byte loop and the quick steps both call: glyphs drawn at
// the cursor, the controls, and the steps of sequences and pipe codes. The quick steps take the
// commonest cases of the same rules inline and call these for everything else.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "screen/screen_state.h"
#include "screen/screen_steps.h"
#include "screen/vga_palette.h"

namespace tintrel {

// Rows stop here, so that a row's number and the one after it fit 32 bits.
inline constexpr uint32_t kLastRow = UINT32_MAX - 1;

// Glyphs without ink: whatever their foreground, they show only their background.
constexpr bool IsBlank(uint8_t glyph) {
  return glyph == 0 || glyph == ' ' || glyph == 255;
}

constexpr uint8_t ForegroundOfCell(uint8_t attr) {
  return attr & 15;
}
constexpr uint8_t BackgroundOfCell(uint8_t attr) {
  return attr >> 4;
}

inline uint32_t RowsDown(uint32_t row, uint64_t count) {
  return static_cast<uint32_t>(std::min<uint64_t>(row + count, kLastRow));
}

inline uint32_t TabStop(uint32_t column, uint32_t width) {
  return std::min((column / 8 + 1) * 8, width - 1);
}

// Counts stay below 2^31 and columns below 2^10: the sum fits.
inline uint32_t ColumnsForward(uint32_t column, uint32_t count, uint32_t width) {
  return std::min(column + count, width - 1);
}

inline void LineFeed(Screen& screen) {
  screen.Row = RowsDown(screen.Row, 1);
  screen.Column = 0;
}

// The step's action beyond the pen and the move forward.
void TakeAction(Screen& screen, const ScreenStep& step);

inline void TakeStep(Screen& screen, const ScreenStep& step) {
  screen.Pen = static_cast<uint16_t>((screen.Pen & step.PenKeep) | step.PenSet);
  screen.Attr = AttrOfPen(screen.Pen);
  screen.Column = ColumnsForward(screen.Column, step.Forward, screen.Width);
  if (step.Kind != StepKind::kNone) TakeAction(screen, step);
}

// The true colours a step leaves set: one that sets a side's colour some other way leaves none
// on that side (a kTrueColor step sets its own again after).
inline uint8_t TrueSidesKept(const ScreenStep& step) {
  return static_cast<uint8_t>(((step.PenKeep & kPenFg) == kPenFg ? kTrueFg : 0) |
                              ((step.PenKeep & kPenBg) == kPenBg ? kTrueBg : 0));
}

inline void TakeColorStep(Screen& screen, const ScreenStep& step) {
  if (screen.TrueColor) [[unlikely]]
    screen.True.Which &= TrueSidesKept(step);
  TakeStep(screen, step);
}

inline constexpr std::array<uint32_t, 16> kPackedVga = [] {
  std::array<uint32_t, 16> packed{};
  for (std::size_t i = 0; i < packed.size(); ++i) packed[i] = PackedRgb(kVgaPalette[i]);
  return packed;
}();

// The colours a pen draws in as a viewer shows them: those of the attribute, but where a true
// colour is set; reverse swaps them first, and conceal draws the foreground as the background.
// As the eight bytes of a CellColors.
[[gnu::always_inline]] inline uint64_t PenColors(uint16_t pen, uint8_t attr,
                                                 const TruePen& true_pen) {
  uint32_t true_fg = true_pen.Fg, true_bg = true_pen.Bg;
  unsigned which = true_pen.Which;
  if (pen & kPenReverse) {
    std::swap(true_fg, true_bg);
    which = (which & kTrueFg) << 1 | (which & kTrueBg) >> 1;
  }
  const uint32_t bg = which & kTrueBg ? true_bg : kPackedVga[BackgroundOfCell(attr)];
  const uint32_t fg =
      pen & kPenConceal ? bg : (which & kTrueFg ? true_fg : kPackedVga[ForegroundOfCell(attr)]);
  return uint64_t{fg} | uint64_t{bg} << 32;
}

inline uint64_t PenColors(const Screen& screen) {
  return PenColors(screen.Pen, screen.Attr, screen.True);
}

// The true colours a kTrueColor step sets.
inline void SetTrueSides(TruePen& pen, const ScreenStep& step) {
  const TrueColorSet set = TrueColorsOf(step);
  auto packed = [](uint32_t rgb) {
    return PackedRgb({static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                      static_cast<uint8_t>(rgb)});
  };
  if (set.Which & kTrueFg) pen.Fg = packed(set.Fg);
  if (set.Which & kTrueBg) pen.Bg = packed(set.Bg);
  pen.Which |= set.Which;
}

// Puts the colours PenColors gives in `count` cells of the colours beside the cells, from `to` on.
inline void FillColors(CellColors* to, std::size_t count, uint64_t colors) {
  static_assert(sizeof(CellColors) == 8);
  auto* out = reinterpret_cast<uint8_t*>(to);
  for (std::size_t i = 0; i < count; ++i) std::memcpy(out + 8 * i, &colors, 8);
}

// The marks of a stored row, made ready for drawing in the current frame.
RowMarks& EnterRow(Screen& screen, uint32_t row);

// Draws `count` glyphs in the attribute at the cursor, wrapping at the last column.
void DrawGlyphs(Screen& screen, const uint8_t* glyphs, std::size_t count);

inline void DrawGlyph(Screen& screen, uint8_t glyph) {
  DrawGlyphs(screen, &glyph, 1);
}

}  // namespace tintrel
