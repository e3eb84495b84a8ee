// SPDX-License-Identifier: MIT
// The events of the screen, which the byte loop and the quick steps both call: glyphs drawn at
// the cursor, the controls, and the steps of sequences and pipe codes. The quick steps take the
// commonest cases of the same rules inline and call these for everything else.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "screen/screen_state.h"
#include "screen/screen_steps.h"

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

// A step that sets a side's colour some other way leaves no true colour on that side.
inline void TakeColorStep(Screen& screen, const ScreenStep& step) {
  if (screen.TrueColor) [[unlikely]] {
    if ((step.PenKeep & kPenFg) != kPenFg) screen.True.Which &= ~kTrueFg;
    if ((step.PenKeep & kPenBg) != kPenBg) screen.True.Which &= ~kTrueBg;
  }
  TakeStep(screen, step);
}

// The marks of a stored row, made ready for drawing in the current frame.
RowMarks& EnterRow(Screen& screen, uint32_t row);

// Draws `count` glyphs in the attribute at the cursor, wrapping at the last column.
void DrawGlyphs(Screen& screen, const uint8_t* glyphs, std::size_t count);

inline void DrawGlyph(Screen& screen, uint8_t glyph) {
  DrawGlyphs(screen, &glyph, 1);
}

}  // namespace tintrel
