// SPDX-License-Identifier: MIT
#include "screen/screen_draw.h"

#include <algorithm>
#include <utility>

#include "screen/vga_palette.h"

namespace tintrel {

namespace {

// Cells past the last stored row that stay as nothing reached them: the quick steps read and
// write sixteen cells from any stored cell on.
constexpr std::size_t kCellSlack = 16;

// Makes the rows up to `row` ready: as nothing reached them.
void ReadyRows(Screen& screen, uint32_t row) {
  if (row < screen.RowsReady) return;
  screen.RowsReady = row + 1;
  screen.Cells.resize(std::size_t{screen.RowsReady} * screen.Width + kCellSlack);
  screen.Marks.resize(screen.RowsReady);
  if (screen.TrueColor) screen.TrueColors.resize(screen.Cells.size());
}

Cell* RowAt(Screen& screen, uint32_t row) {
  return screen.Cells.data() + std::size_t{row} * screen.Width;
}

// Below the stored rows cells are only counted: the visible extent grows with what shows.
void CountBelow(Screen& screen, uint8_t glyph, uint32_t column) {
  const uint8_t attr = screen.Attr;
  ++screen.BelowByAttr[attr];
  screen.BelowInkedByAttr[attr] += !IsBlank(glyph);
  if (BackgroundOfCell(attr) != 0 || (!IsBlank(glyph) && ForegroundOfCell(attr) != 0)) {
    screen.BelowWidth = std::max(screen.BelowWidth, column + 1);
    screen.BelowLines = std::max<uint64_t>(screen.BelowLines, uint64_t{screen.Row} + 1);
  }
}

// A glyph drawn on a row at or left of the rightmost glyph this frame drew there starts the
// next frame; a run is the same as its glyphs one by one, since only its first can.
void MarkDrawing(Screen& screen, RowMarks& marks, uint32_t from, uint32_t to) {
  if (!screen.FrameOpen) {
    screen.FrameOpen = true;
    ++screen.Frames;
  } else if (marks.Frame == screen.Frame && from < marks.FrameHi) {
    ++screen.Frames;
    ++screen.Frame;
  }
  marks.Frame = screen.Frame;
  marks.FrameHi = to;
}

Rgb RgbOf(uint32_t packed) {
  return {static_cast<uint8_t>(packed >> 16), static_cast<uint8_t>(packed >> 8),
          static_cast<uint8_t>(packed)};
}

// The colours the pen draws in as a viewer shows them: those of the attribute, but where a true
// colour is set; reverse swaps them first, and conceal draws the foreground as the background.
CellColors PenColors(const Screen& screen) {
  CellColors colors{kVgaPalette[ForegroundOfCell(screen.Attr)],
                    kVgaPalette[BackgroundOfCell(screen.Attr)]};
  uint8_t which = screen.True.Which;
  Rgb fg = screen.True.Fg, bg = screen.True.Bg;
  if (screen.Pen & kPenReverse) {
    std::swap(fg, bg);
    which = static_cast<uint8_t>((which & kTrueFg ? kTrueBg : 0) | (which & kTrueBg ? kTrueFg : 0));
  }
  if (which & kTrueFg) colors.Fg = fg;
  if (which & kTrueBg) colors.Bg = bg;
  if (screen.Pen & kPenConceal) colors.Fg = colors.Bg;
  return colors;
}

// The art set its first true colour: the cells so far keep the colours of their attributes.
void StartTrueColor(Screen& screen) {
  screen.TrueColor = true;
  screen.TrueColors.resize(screen.Cells.size());
  for (std::size_t i = 0; i < screen.Cells.size(); ++i) {
    const uint8_t attr = screen.Cells[i].Attr;
    screen.TrueColors[i] = {kVgaPalette[ForegroundOfCell(attr)],
                            kVgaPalette[BackgroundOfCell(attr)]};
  }
}

void SetTruePen(Screen& screen, const ScreenStep& step) {
  if (!screen.TrueColor) StartTrueColor(screen);
  const TrueColorSet set = TrueColorsOf(step);
  if (set.Which & kTrueFg) screen.True.Fg = RgbOf(set.Fg);
  if (set.Which & kTrueBg) screen.True.Bg = RgbOf(set.Bg);
  screen.True.Which |= set.Which;
}

// Puts `count` cells in the attribute, which all fit on the cursor's row, at the cursor: the
// glyphs drawn, or blanks where there are none (an erase).
void PutCells(Screen& screen, const uint8_t* glyphs, uint32_t count) {
  const bool drawing = glyphs != nullptr;
  auto glyph = [glyphs](uint32_t i) { return glyphs != nullptr ? glyphs[i] : uint8_t{' '}; };
  const uint32_t from = screen.Column, to = from + count;
  if (screen.Row >= screen.RowCap) {
    if (drawing && !screen.FrameOpen) {
      screen.FrameOpen = true;
      ++screen.Frames;
    }
    for (uint32_t i = 0; i < count; ++i) CountBelow(screen, glyph(i), from + i);
    return;
  }
  ReadyRows(screen, screen.Row);
  RowMarks& marks = screen.Marks[screen.Row];
  if (drawing) MarkDrawing(screen, marks, from, to);
  Cell* cells = RowAt(screen, screen.Row) + from;
  for (uint32_t i = 0; i < count; ++i) cells[i] = {glyph(i), screen.Attr};
  marks.HeldHi = std::max(marks.HeldHi, to);
  if (screen.TrueColor) {
    const CellColors colors = PenColors(screen);
    std::fill_n(
        screen.TrueColors.begin() + static_cast<std::ptrdiff_t>(cells - screen.Cells.data()), count,
        colors);
  }
}

void EraseLine(Screen& screen) {
  PutCells(screen, nullptr, screen.Width - screen.Column);
}

// An empty screen, as a fresh one, with the cursor home; the pen stays.
void ClearScreen(Screen& screen) {
  screen.Cells.clear();
  screen.Marks.clear();
  screen.TrueColors.clear();
  screen.RowsReady = 0;
  screen.BelowByAttr = {};
  screen.BelowInkedByAttr = {};
  screen.BelowWidth = 0;
  screen.BelowLines = 0;
  ++screen.Frame;
  screen.FrameOpen = false;
  screen.Row = screen.Column = 0;
}

}  // namespace

RowMarks& EnterRow(Screen& screen, uint32_t row) {
  ReadyRows(screen, row);
  RowMarks& marks = screen.Marks[row];
  if (marks.Frame != screen.Frame) marks = {screen.Frame, 0, marks.HeldHi};
  return marks;
}

void TakeAction(Screen& screen, const ScreenStep& step) {
  switch (step.Kind) {
    case StepKind::kNone: return;
    case StepKind::kUp: screen.Row -= std::min(screen.Row, step.Row); return;
    case StepKind::kDown: screen.Row = RowsDown(screen.Row, step.Row); return;
    case StepKind::kBack: screen.Column -= std::min(screen.Column, step.Row); return;
    case StepKind::kPosition:
      screen.Row = std::max(step.Row, 1u) - 1;
      screen.Column = std::min(std::max<uint32_t>(step.Column, 1) - 1, screen.Width - 1);
      return;
    case StepKind::kSaveCursor:
      screen.SavedRow = screen.Row;
      screen.SavedColumn = screen.Column;
      return;
    case StepKind::kRestoreCursor:
      screen.Row = screen.SavedRow;
      screen.Column = screen.SavedColumn;
      return;
    case StepKind::kEraseLine: return EraseLine(screen);
    case StepKind::kClear: return ClearScreen(screen);
    case StepKind::kTrueColor: return SetTruePen(screen, step);
  }
}

void DrawGlyphs(Screen& screen, const uint8_t* glyphs, std::size_t count) {
  while (count > 0) {
    const auto take =
        static_cast<uint32_t>(std::min<std::size_t>(count, screen.Width - screen.Column));
    PutCells(screen, glyphs, take);
    glyphs += take;
    count -= take;
    screen.Column += take;
    if (screen.Column == screen.Width) LineFeed(screen);
  }
}

}  // namespace tintrel
