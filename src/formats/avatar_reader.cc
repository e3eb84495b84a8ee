// SPDX-License-Identifier: MIT
// Avatar/0: text with control codes of its own, read to the first byte 26.
//   ^L                 clear the screen; the attribute becomes 3 (cyan on black)
//   ^Y c n             c, n times
//   ^V ^A a            the attribute becomes a without its blink bit
//   ^V ^B              blink on: a bright background, as the ANSI screen shows blink
//   ^V ^C ^D ^E ^F     the cursor up, down, left, right, held at the screen's edges
//   ^V ^G              erase to the end of the line
//   ^V ^H row col      move, from 1
//   ^V ^I              insert mode: each glyph pushes the rest of its row right, until the next
//                      command other than ^Y and ^V ^Y
//   ^V ^J n t l b r    scroll the area from row t, column l to row b, column r up n lines
//   ^V ^K n t l b r    the same down
//   ^V ^L a h w        the attribute becomes a; erase h lines of w columns from the cursor
//   ^V ^M a c h w      the same, filled with c
//   ^V ^N              delete the glyph at the cursor, pulling the rest of the row left
//   ^V ^Y n p... k     the n bytes p..., k times
// A command cut short by the end draws nothing; everything else is read as the ANSI screen
// reads text. The art ends at the first byte 26 that is text: one among a command's bytes (a
// count of 26) is part of the command.
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "formats/readers.h"
#include "screen/screen_draw.h"

namespace tintrel {

namespace {

constexpr uint8_t kClear = 12, kRepeat = 25, kCommand = 22;
constexpr StopBytes kStops = StopsAt({kClear, kRepeat, kCommand});

struct AvatarState {
  TextTerminal Terminal;
  bool Insert = false;
};

// A stored row made ready to be changed in place; null below the stored rows.
Cell* ChangedRow(Screen& grid, uint32_t row) {
  if (row >= grid.RowCap) return nullptr;
  EnterRow(grid, row).HeldHi = grid.Width;
  return grid.Cells.data() + std::size_t{row} * grid.Width;
}

void DrawGlyphsAt(Drawing& drawing, AvatarState& state, const uint8_t* glyphs, std::size_t count) {
  if (!state.Insert) return DrawArtGlyphs(drawing, glyphs, count);
  Screen& grid = drawing.Grid;
  for (std::size_t i = 0; i < count; ++i) {
    if (Cell* cells = ChangedRow(grid, grid.Row)) {
      std::memmove(cells + grid.Column + 1, cells + grid.Column,
                   sizeof(Cell) * (grid.Width - grid.Column - 1));
    }
    DrawArtGlyphs(drawing, glyphs + i, 1);
  }
}

void DeleteGlyph(Drawing& drawing) {
  Screen& grid = drawing.Grid;
  Cell* cells = ChangedRow(grid, grid.Row);
  if (cells == nullptr) return;
  std::memmove(cells + grid.Column, cells + grid.Column + 1,
               sizeof(Cell) * (grid.Width - grid.Column - 1));
  cells[grid.Width - 1] = {' ', grid.Attr};
}

// Fills `lines` lines of `columns` cells from the cursor, which stays; an erase with no glyph.
void FillArea(Drawing& drawing, uint8_t glyph, bool erase, uint32_t lines, uint32_t columns) {
  Screen& grid = drawing.Grid;
  const uint32_t row = grid.Row, column = grid.Column;
  const uint32_t width = std::min(columns, grid.Width - column);
  const std::vector<uint8_t> glyphs(width, glyph);
  for (uint32_t line = 0; line < lines && width > 0; ++line) {
    grid.Row = RowsDown(row, line);
    grid.Column = column;
    if (erase) {
      ChargeErased(drawing, width);
      DrawGlyphs(grid, glyphs.data(), width);
    } else {
      DrawArtGlyphs(drawing, glyphs.data(), width);
    }
  }
  grid.Row = row;
  grid.Column = column;
}

// Moves the area's stored cells `lines` lines up or down; the lines left behind become blank
// in the current attribute. 0 lines, or as many as the area has, blank it all.
void ScrollArea(Drawing& drawing, const uint8_t* args, bool up) {
  Screen& grid = drawing.Grid;
  const uint32_t first_row = std::max<uint32_t>(args[1], 1) - 1;
  const uint32_t first_column = std::max<uint32_t>(args[2], 1) - 1;
  const uint32_t end_row = std::min<uint32_t>(args[3], grid.RowCap);
  const uint32_t end_column = std::min<uint32_t>(args[4], grid.Width);
  if (first_row >= end_row || first_column >= end_column) return;
  const uint32_t height = end_row - first_row, width = end_column - first_column;
  const uint32_t shift = args[0] == 0 ? height : std::min<uint32_t>(args[0], height);
  for (uint32_t row = first_row; row < end_row; ++row) ChangedRow(grid, row);
  for (uint32_t i = 0; i < height; ++i) {
    const uint32_t row = up ? first_row + i : end_row - 1 - i;
    Cell* to = grid.Cells.data() + std::size_t{row} * grid.Width + first_column;
    if (i + shift < height) {
      const uint32_t from_row = up ? row + shift : row - shift;
      std::memcpy(to, grid.Cells.data() + std::size_t{from_row} * grid.Width + first_column,
                  sizeof(Cell) * width);
    } else {
      std::fill_n(to, width, Cell{' ', grid.Attr});
    }
  }
}

// The bytes the command after ^V takes beyond itself; -1 for ^V ^Y, whose length is its first.
int ArgumentsOf(uint8_t command) {
  switch (command) {
    case 1: return 1;
    case 8: return 2;
    case 10:
    case 11: return 5;
    case 12: return 3;
    case 13: return 4;
    case 25: return -1;
    default: return 0;
  }
}

// The ^V command at `at` (the byte after ^V); returns the bytes it took, or 0 when cut short.
std::size_t TakeCommand(Drawing& drawing, AvatarState& state, ArtSpan art, std::size_t at) {
  if (at >= art.size()) return 0;
  const uint8_t command = art[at];
  int arguments = ArgumentsOf(command);
  if (arguments < 0) arguments = at + 1 < art.size() ? 2 + art[at + 1] : 2;
  if (art.size() - at - 1 < static_cast<std::size_t>(arguments)) return 0;
  const uint8_t* args = art.data() + at + 1;
  Screen& grid = drawing.Grid;
  if (command != 25) state.Insert = false;
  switch (command) {
    case 1: SetArtAttr(drawing, args[0] & 0x7F); break;
    case 2: SetArtAttr(drawing, grid.Attr | 0x80); break;
    case 3: grid.Row -= std::min(grid.Row, 1u); break;
    case 4: grid.Row = RowsDown(grid.Row, 1); break;
    case 5: grid.Column -= std::min(grid.Column, 1u); break;
    case 6: grid.Column = ColumnsForward(grid.Column, 1, grid.Width); break;
    case 7: TakeArtStep(drawing, ScreenStep{.Kind = StepKind::kEraseLine}); break;
    case 8:
      TakeArtStep(drawing,
                  ScreenStep{.Kind = StepKind::kPosition, .Column = args[1], .Row = args[0]});
      break;
    case 9: state.Insert = true; break;
    case 10:
    case 11: ScrollArea(drawing, args, command == 10); break;
    case 12:
      SetArtAttr(drawing, args[0] & 0x7F);
      FillArea(drawing, ' ', true, args[1], args[2]);
      break;
    case 13:
      SetArtAttr(drawing, args[0] & 0x7F);
      FillArea(drawing, args[1], false, args[2], args[3]);
      break;
    case 14: DeleteGlyph(drawing); break;
    case 25:
      for (uint8_t time = 0; time < args[1 + args[0]]; ++time)
        DrawGlyphsAt(drawing, state, args + 1, args[0]);
      break;
    default: break;
  }
  return 1 + static_cast<std::size_t>(arguments);
}

}  // namespace

std::size_t AvatarArtLength(ArtSpan art) {
  std::size_t at = 0;
  while (at < art.size() && art[at] != 26) {
    if (art[at] == kRepeat) {
      at += 3;
    } else if (art[at] == kCommand && at + 1 < art.size()) {
      const int arguments = ArgumentsOf(art[at + 1]);
      at += 2 + static_cast<std::size_t>(arguments >= 0        ? arguments
                                         : at + 2 < art.size() ? 2 + art[at + 2]
                                                               : 2);
    } else {
      ++at;
    }
  }
  return std::min(at, art.size());
}

void ReadAvatar(Drawing& drawing, ArtSpan art, const SauceFacts& sauce) {
  art = art.first(AvatarArtLength(art));
  StartDrawing(drawing, ArtFormat::kAvatar, TextWidthFor(sauce));
  drawing.Ice = true;
  AvatarState state;
  std::size_t at = 0;
  while (at < art.size()) {
    if (state.Insert && state.Terminal.Now == TextTerminal::State::kNormal &&
        IsTextGlyph(art[at], kStops)) {
      DrawGlyphsAt(drawing, state, &art[at++], 1);
      continue;
    }
    // In insert mode a byte at a time, so that the glyphs after it are pushed in.
    const std::size_t text = TakeText(drawing, state.Terminal, art.data() + at,
                                      state.Insert ? 1 : art.size() - at, kStops);
    at += text;
    if (text > 0) continue;
    const uint8_t code = art[at];
    if (code == kClear) {
      state.Insert = false;
      TakeArtStep(drawing, ScreenStep{.Kind = StepKind::kClear});
      SetArtAttr(drawing, 3);
      ++at;
    } else if (code == kRepeat) {
      if (art.size() - at < 3) break;
      std::array<uint8_t, 255> glyphs;
      std::fill_n(glyphs.begin(), art[at + 2], art[at + 1]);
      DrawGlyphsAt(drawing, state, glyphs.data(), art[at + 2]);
      at += 3;
    } else if (const std::size_t taken = TakeCommand(drawing, state, art, at + 1); taken > 0) {
      at += 1 + taken;
    } else {
      break;
    }
  }
}

}  // namespace tintrel
