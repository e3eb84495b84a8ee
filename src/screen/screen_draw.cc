// SPDX-License-Identifier: MIT
#include "screen/screen_draw.h"

#include <algorithm>

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
}

Cell* RowAt(Screen& screen, uint32_t row) {
  return screen.Cells.data() + std::size_t{row} * screen.Width;
}

void Hold(Screen& screen, Cell cell, int64_t count) {
  screen.HeldByAttr[cell.Attr] += count;
  if (!IsBlank(cell.Glyph)) screen.InkedByAttr[cell.Attr] += count;
}

// Below the stored rows cells are only counted: the visible extent grows with what shows.
void CountBelow(Screen& screen, const Cell* cells, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    const Cell cell = cells[i];
    Hold(screen, cell, 1);
    const bool visible = BackgroundOfCell(cell.Attr) != 0 ||
                         (!IsBlank(cell.Glyph) && ForegroundOfCell(cell.Attr) != 0);
    if (visible) {
      screen.BelowWidth = std::max(screen.BelowWidth, screen.Column + i + 1);
      screen.BelowLines = std::max<uint64_t>(screen.BelowLines, uint64_t{screen.Row} + 1);
    }
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
  marks.FrameHi = static_cast<uint16_t>(to);
}

// Puts `count` cells, which all fit on the cursor's row, at the cursor.
void PutCells(Screen& screen, const Cell* cells, uint32_t count, bool drawing) {
  const uint32_t from = screen.Column, to = from + count;
  if (screen.Row >= screen.RowCap) {
    if (drawing && !screen.FrameOpen) {
      screen.FrameOpen = true;
      ++screen.Frames;
    }
    return CountBelow(screen, cells, count);
  }
  ReadyRows(screen, screen.Row);
  RowMarks& marks = screen.Marks[screen.Row];
  if (drawing) MarkDrawing(screen, marks, from, to);
  Cell* row = RowAt(screen, screen.Row);
  ReleaseCells(screen, row, from, std::min<uint32_t>(to, marks.HeldHi));
  std::copy(cells, cells + count, row + from);
  for (uint32_t i = 0; i < count; ++i) Hold(screen, cells[i], 1);
  marks.HeldHi = static_cast<uint16_t>(std::max<uint32_t>(marks.HeldHi, to));
}

void EraseLine(Screen& screen) {
  const Cell blank{' ', screen.Attr};
  std::array<Cell, kMaxScreenWidth> cells;
  std::fill_n(cells.begin(), screen.Width - screen.Column, blank);
  PutCells(screen, cells.data(), screen.Width - screen.Column, false);
}

// An empty screen, as a fresh one, with the cursor home; the pen stays.
void ClearScreen(Screen& screen) {
  screen.Cells.clear();
  screen.Marks.clear();
  screen.RowsReady = 0;
  screen.HeldByAttr = {};
  screen.InkedByAttr = {};
  screen.BelowWidth = 0;
  screen.BelowLines = 0;
  ++screen.Frame;
  screen.FrameOpen = false;
  screen.Row = screen.Column = 0;
}

}  // namespace

RowMarks& EnterRow(Screen& screen) {
  ReadyRows(screen, screen.Row);
  RowMarks& marks = screen.Marks[screen.Row];
  if (marks.Frame != screen.Frame) marks = {screen.Frame, 0, marks.HeldHi};
  return marks;
}

void ReleaseCells(Screen& screen, const Cell* cells, uint32_t from, uint32_t to) {
  for (uint32_t column = from; column < to; ++column) {
    if (cells[column] != Cell{}) Hold(screen, cells[column], -1);
  }
}

void TakeAction(Screen& screen, const ScreenStep& step) {
  switch (step.Kind) {
    case StepKind::kPenOnly: return;
    case StepKind::kUp: screen.Row -= std::min(screen.Row, step.Row); return;
    case StepKind::kDown: screen.Row = RowsDown(screen.Row, step.Row); return;
    case StepKind::kForward:
      screen.Column = ColumnsForward(screen.Column, step.Row, screen.Width);
      return;
    case StepKind::kBack: screen.Column -= std::min(screen.Column, step.Row); return;
    case StepKind::kPosition:
      screen.Row = std::max(step.Row, 1u) - 1;
      screen.Column = std::min(std::max(step.Column, 1u) - 1, screen.Width - 1);
      return;
    case StepKind::kSave:
      screen.SavedRow = screen.Row;
      screen.SavedColumn = screen.Column;
      return;
    case StepKind::kRestore:
      screen.Row = screen.SavedRow;
      screen.Column = screen.SavedColumn;
      return;
    case StepKind::kEraseLine: return EraseLine(screen);
    case StepKind::kClear: return ClearScreen(screen);
  }
}

void DrawGlyphs(Screen& screen, const uint8_t* glyphs, std::size_t count) {
  std::array<Cell, 64> cells;
  while (count > 0) {
    const auto take =
        static_cast<uint32_t>(std::min<std::size_t>({count, screen.Width - screen.Column, 64}));
    for (uint32_t i = 0; i < take; ++i) cells[i] = {glyphs[i], screen.Attr};
    PutCells(screen, cells.data(), take, true);
    glyphs += take;
    count -= take;
    screen.Column += take;
    if (screen.Column == screen.Width) {
      screen.Column = 0;
      screen.Row = RowsDown(screen.Row, 1);
    }
  }
}

}  // namespace tintrel
