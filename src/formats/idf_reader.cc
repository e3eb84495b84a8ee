// SPDX-License-Identifier: MIT
// iCE Draw IDF: a 12-byte header (byte 4 and the version "1.4" or "1.3", then the drawing's
// corners x1, y1, x2, y2 as 16-bit words), the cells, a font of 256 glyphs 16 lines high (4,096
// bytes) and a palette of 16 colours (48 bytes of 6-bit RGB) at the end. A cell is a glyph byte
// and an attribute byte; glyph 1 on attribute 0 starts a run: a 16-bit count, then the cell it
// repeats. Its colours are iCE's.
#include <algorithm>
#include <array>
#include <cstring>

#include "formats/readers.h"

namespace tintrel {

namespace {

constexpr std::size_t kHeaderSize = 12, kFontSize = 4096, kPaletteSize = 48;

unsigned WordAt(ArtSpan art, std::size_t at) {
  return art[at] | art[at + 1] << 8;
}

void DrawRun(Drawing& drawing, Cell cell, uint32_t count) {
  std::array<Cell, 1024> cells;
  cells.fill(cell);
  while (count > 0) {
    const uint32_t take = std::min<uint32_t>(count, cells.size());
    DrawArtCells(drawing, cells.data(), take);
    count -= take;
  }
}

}  // namespace

void ReadIdf(Drawing& drawing, ArtSpan art) {
  if (art.size() < kHeaderSize || art[0] != 4 ||
      (std::memcmp(art.data() + 1, "1.4", 3) != 0 && std::memcmp(art.data() + 1, "1.3", 3) != 0))
    throw FormatError("IDF: the header is cut short or of an unknown version");
  if (art.size() < kHeaderSize + kFontSize + kPaletteSize)
    throw FormatError("IDF: the font and the palette are cut short");
  const unsigned x1 = WordAt(art, 4), x2 = WordAt(art, 8);
  const unsigned width = x2 >= x1 ? x2 - x1 + 1 : 0;
  if (width == 0 || width > kMaxScreenWidth)
    throw FormatError("IDF: a drawing from column " + std::to_string(x1) + " to " +
                      std::to_string(x2) + " (1 to " + std::to_string(kMaxScreenWidth) +
                      " columns are possible)");
  StartDrawing(drawing, ArtFormat::kIdf, width);
  drawing.Ice = true;
  const std::size_t font_at = art.size() - kFontSize - kPaletteSize;
  const std::size_t palette_at = font_at + kFontSize;
  drawing.Font = {16,
                  256,
                  {art.begin() + static_cast<std::ptrdiff_t>(font_at),
                   art.begin() + static_cast<std::ptrdiff_t>(palette_at)}};
  ArtPalette& palette = drawing.Palette.emplace();
  for (std::size_t color = 0; color < palette.size(); ++color) {
    const std::size_t at = palette_at + 3 * color;
    palette[color] = {static_cast<uint8_t>(art[at] & 63), static_cast<uint8_t>(art[at + 1] & 63),
                      static_cast<uint8_t>(art[at + 2] & 63)};
  }

  // Cells are drawn a batch at a time, and a run alone.
  std::array<Cell, 1024> batch;
  std::size_t held = 0;
  std::size_t at = kHeaderSize;
  while (at + 1 < font_at) {
    const Cell cell{art[at], art[at + 1]};
    at += 2;
    if (cell.Glyph != 1 || cell.Attr != 0) {
      batch[held++] = cell;
      if (held == batch.size()) {
        DrawArtCells(drawing, batch.data(), held);
        held = 0;
      }
      continue;
    }
    if (font_at - at < 4) throw FormatError("IDF: a run goes past the end of the cells");
    DrawArtCells(drawing, batch.data(), held);
    held = 0;
    DrawRun(drawing, {art[at + 2], art[at + 3]}, WordAt(art, at));
    at += 4;
  }
  DrawArtCells(drawing, batch.data(), held);
}

}  // namespace tintrel
