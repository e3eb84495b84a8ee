// SPDX-License-Identifier: MIT
#include "formats/drawing.h"

#include <algorithm>
#include <cstring>

#include "scan/byte_classes.h"
#include "screen/screen_draw.h"

namespace tintrel {

namespace {

void Count(Drawing& drawing, int64_t cells) {
  drawing.Drawn += cells;
  if (drawing.Drawn > kMaxDrawnCells)
    throw FormatError("the drawing draws more than " + std::to_string(kMaxDrawnCells) + " cells");
}

// The tally's high characters (127 and up); and the character set, which, as the screen's, is
// code page 437 from the first glyph of 128 or more on.
void NoteGlyphs(Drawing& drawing, const uint8_t* glyphs, std::size_t count) {
  int64_t high = 0;
  bool eight_bit = false;
  for (std::size_t i = 0; i < count; ++i) {
    high += glyphs[i] >= kLowestHigh;
    eight_bit |= glyphs[i] >= 128;
  }
  drawing.High += high;
  if (eight_bit) drawing.Grid.Characters = Charset::kCp437;
}

}  // namespace

Fault FormatError(std::string message) {
  return Fault("FormatError", std::move(message));
}

void StartDrawing(Drawing& drawing, ArtFormat format, uint32_t width) {
  ResetScreen(drawing.Grid, width);
  drawing.Grid.Attr = 7;
  drawing.Format = format;
  drawing.Ice = false;
  drawing.Palette.reset();
  drawing.Font.Height = 0;
  drawing.Font.Glyphs = 0;
  drawing.Font.Rows.clear();
  drawing.FontBanks.clear();
  drawing.DrawnByAttr = {};
  drawing.High = drawing.NotCharacters = drawing.Drawn = 0;
}

void DrawArtCells(Drawing& drawing, const Cell* cells, std::size_t count) {
  Count(drawing, static_cast<int64_t>(count));
  Screen& grid = drawing.Grid;
  const uint8_t attr = grid.Attr;
  std::array<uint8_t, 64> glyphs;
  for (std::size_t done = 0; done < count;) {
    // A run of one attribute, drawn as the screen draws a run of glyphs.
    const uint8_t run_attr = cells[done].Attr;
    std::size_t run = 0;
    while (done + run < count && run < glyphs.size() && cells[done + run].Attr == run_attr) {
      glyphs[run] = cells[done + run].Glyph;
      ++run;
    }
    grid.Attr = run_attr;
    NoteGlyphs(drawing, glyphs.data(), run);
    DrawGlyphs(grid, glyphs.data(), run);
    drawing.DrawnByAttr[run_attr] += static_cast<int64_t>(run);
    done += run;
  }
  grid.Attr = attr;
}

void DrawStoredCells(Drawing& drawing, const uint8_t* bytes, std::size_t size) {
  std::array<Cell, 1024> cells;
  for (std::size_t done = 0; done + 1 < size;) {
    const std::size_t count = std::min(cells.size(), (size - done) / 2);
    std::memcpy(cells.data(), bytes + done, 2 * count);
    if (!drawing.Ice) {
      for (std::size_t i = 0; i < count; ++i) cells[i].Attr &= 0x7F;
    }
    DrawArtCells(drawing, cells.data(), count);
    done += 2 * count;
  }
}

void DrawArtGlyphs(Drawing& drawing, const uint8_t* glyphs, std::size_t count) {
  Count(drawing, static_cast<int64_t>(count));
  NoteGlyphs(drawing, glyphs, count);
  drawing.DrawnByAttr[drawing.Grid.Attr] += static_cast<int64_t>(count);
  DrawGlyphs(drawing.Grid, glyphs, count);
}

void SetArtAttr(Drawing& drawing, uint8_t attr) {
  // A pen without the flags that bold and blink act on makes exactly this attribute.
  Screen& grid = drawing.Grid;
  grid.Pen = static_cast<uint16_t>((grid.Pen & kPenExtended) | (attr & 15) | (attr >> 4) << 8);
  grid.Attr = attr;
}

void ChargeErased(Drawing& drawing, int64_t cells) {
  Count(drawing, cells);
  drawing.DrawnByAttr[drawing.Grid.Attr] += cells;
  drawing.NotCharacters += cells;
}

ScanState TallyOf(const Drawing& drawing) {
  ScanState scan;
  int64_t charged = 0;
  for (std::size_t attr = 0; attr < 256; ++attr) {
    const int64_t cells = drawing.DrawnByAttr[attr];
    charged += cells;
    scan.ColorTable[ForegroundOf(static_cast<uint8_t>(attr)) & 7].Count += cells;
    scan.ColorTable[BackgroundOf(static_cast<uint8_t>(attr)) & 7].Count += cells;
  }
  scan.HighAsciiCount = drawing.High;
  scan.LowAsciiCount = charged - drawing.High - drawing.NotCharacters;
  return scan;
}

}  // namespace tintrel
