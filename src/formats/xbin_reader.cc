// SPDX-License-Identifier: MIT
// XBin: an 11-byte header ("XBIN", 26, the width and the height as 16-bit words, the font's
// height, the flags), then the palette (48 bytes of 6-bit RGB) where flag 1 says so, the font
// (256 or, with flag 16, 512 glyphs of the font's height) where flag 2 says so, then the cells,
// run-length coded where flag 4 says so. Flag 8 asks for iCE colours instead of blink.
#include <algorithm>
#include <array>
#include <cstring>

#include "formats/readers.h"
#include "formats/xbin_runs.h"

namespace tintrel {

namespace {

constexpr std::size_t kHeaderSize = 11;
constexpr uint8_t kPaletteFlag = 1, kFontFlag = 2, kCompressedFlag = 4, kIceFlag = 8,
                  kFont512Flag = 16;

// Reads the next run's code and what repeats in it; false where the bytes end before a run.
bool StartRun(XbinRuns& runs) {
  if (runs.At == runs.End) return false;
  const uint8_t code = *runs.At++;
  runs.Kind = code >> 6;
  runs.Left = (code & 63) + 1u;
  const std::size_t needed = runs.Kind == 0 ? 2 * runs.Left : runs.Kind == 3 ? 2 : 1 + runs.Left;
  if (needed > static_cast<std::size_t>(runs.End - runs.At))
    throw FormatError("XBin: a compressed run goes past the end of the file");
  if (runs.Kind == 1 || runs.Kind == 3) runs.Repeated.Glyph = *runs.At++;
  if (runs.Kind == 2 || runs.Kind == 3) runs.Repeated.Attr = *runs.At++;
  return true;
}

// Where the bytes hold a whole run of any kind and the cells have room for 64 more, a run is
// taken whole at its longest: every copy and fill is of the full 64 cells, and what lies past
// the run's own cells is written over by the next. The same table as StartRun, without a check.
std::size_t DecodeWholeRuns(XbinRuns& runs, Cell* cells, std::size_t count) {
  constexpr std::size_t kLongestRun = 64;
  auto* out = reinterpret_cast<uint8_t*>(cells);
  const uint8_t* in = runs.At;
  const uint8_t* const last_in = runs.End - (1 + 2 * kLongestRun);
  std::size_t filled = 0;
  while (in <= last_in && count - filled >= kLongestRun) {
    const uint8_t code = *in++;
    const std::size_t length = (code & 63) + 1u;
    switch (code >> 6) {
      case 0:
        std::memcpy(out, in, 2 * kLongestRun);
        in += 2 * length;
        break;
      case 1: {
        const uint8_t glyph = *in++;
        for (std::size_t i = 0; i < kLongestRun; ++i) {
          out[2 * i] = glyph;
          out[2 * i + 1] = in[i];
        }
        in += length;
        break;
      }
      case 2: {
        const uint8_t attr = *in++;
        for (std::size_t i = 0; i < kLongestRun; ++i) {
          out[2 * i] = in[i];
          out[2 * i + 1] = attr;
        }
        in += length;
        break;
      }
      default: {
        const uint8_t glyph = in[0], attr = in[1];
        in += 2;
        for (std::size_t i = 0; i < kLongestRun; ++i) {
          out[2 * i] = glyph;
          out[2 * i + 1] = attr;
        }
        break;
      }
    }
    out += 2 * length;
    filled += length;
  }
  runs.At = in;
  return filled;
}

// The foreground's bright bit of a 512-glyph font picks the glyph's half of the font: kept beside
// the stored cells, and taken out of the attribute, whose foreground has 8 colours.
void KeepBanks(Drawing& drawing, Cell* cells, std::size_t count) {
  const Screen& grid = drawing.Grid;
  const bool stored = grid.Row < grid.RowCap;
  const std::size_t from = std::size_t{grid.Row} * grid.Width;
  if (stored) drawing.FontBanks.resize(from + grid.Width);
  for (std::size_t i = 0; i < count; ++i) {
    if (stored) drawing.FontBanks[from + i] = (cells[i].Attr >> 3) & 1;
    cells[i].Attr &= 0xF7;
  }
}

}  // namespace

std::size_t DecodeXbinRuns(XbinRuns& runs, Cell* cells, std::size_t count) {
  static_assert(sizeof(Cell) == 2, "a cell is a glyph byte and an attribute byte, as stored");
  std::size_t filled = runs.Left == 0 ? DecodeWholeRuns(runs, cells, count) : 0;
  while (filled < count) {
    if (runs.Left == 0 && !StartRun(runs)) break;
    const auto take = static_cast<uint32_t>(std::min<std::size_t>(runs.Left, count - filled));
    Cell* out = cells + filled;
    const uint8_t* in = runs.At;
    switch (runs.Kind) {
      case 0:
        std::memcpy(out, in, 2 * std::size_t{take});
        runs.At += 2 * std::size_t{take};
        break;
      case 1:
        for (uint32_t i = 0; i < take; ++i) out[i] = {runs.Repeated.Glyph, in[i]};
        runs.At += take;
        break;
      case 2:
        for (uint32_t i = 0; i < take; ++i) out[i] = {in[i], runs.Repeated.Attr};
        runs.At += take;
        break;
      default: std::fill_n(out, take, runs.Repeated); break;
    }
    runs.Left -= take;
    filled += take;
  }
  return filled;
}

void ReadXbin(Drawing& drawing, ArtSpan art) {
  if (art.size() < kHeaderSize || std::memcmp(art.data(), "XBIN\x1a", 5) != 0)
    throw FormatError("XBin: the header is cut short");
  const uint32_t width = art[5] | art[6] << 8, height = art[7] | art[8] << 8;
  const uint8_t font_height = art[9], flags = art[10];
  if (width == 0 || height == 0)
    throw FormatError("XBin: a drawing of " + std::to_string(width) + " columns and " +
                      std::to_string(height) + " lines has no cells");
  if (width > kMaxScreenWidth)
    throw FormatError("XBin: " + std::to_string(width) + " columns are more than the " +
                      std::to_string(kMaxScreenWidth) + " a drawing holds");
  StartDrawing(drawing, ArtFormat::kXbin, width);
  drawing.Ice = (flags & kIceFlag) != 0;
  std::size_t at = kHeaderSize;

  if (flags & kPaletteFlag) {
    if (art.size() - at < 48) throw FormatError("XBin: the palette is cut short");
    ArtPalette& palette = drawing.Palette.emplace();
    for (ArtColor& color : palette) {
      color = {static_cast<uint8_t>(art[at] & 63), static_cast<uint8_t>(art[at + 1] & 63),
               static_cast<uint8_t>(art[at + 2] & 63)};
      at += 3;
    }
  }

  if (flags & kFontFlag) {
    if (font_height == 0 || font_height > 32)
      throw FormatError("XBin: a font " + std::to_string(font_height) +
                        " lines high (1 to 32 are possible)");
    const uint16_t glyphs = (flags & kFont512Flag) ? 512 : 256;
    const std::size_t size = std::size_t{glyphs} * font_height;
    if (art.size() - at < size) throw FormatError("XBin: the font is cut short");
    drawing.Font.Height = font_height;
    drawing.Font.Glyphs = glyphs;
    drawing.Font.Rows.assign(art.begin() + static_cast<std::ptrdiff_t>(at),
                             art.begin() + static_cast<std::ptrdiff_t>(at + size));
    at += size;
  }

  // Row by row, so that the cells held stay one row however many the runs ask for.
  std::array<Cell, kMaxScreenWidth> row;
  XbinRuns runs{art.data() + at, art.data() + art.size()};
  for (uint32_t line = 0; line < height; ++line) {
    std::size_t filled;
    if (flags & kCompressedFlag) {
      filled = DecodeXbinRuns(runs, row.data(), width);
    } else {
      filled = std::min<std::size_t>(width, static_cast<std::size_t>(runs.End - runs.At) / 2);
      std::memcpy(row.data(), runs.At, 2 * filled);
      runs.At += 2 * filled;
    }
    if (!drawing.Ice) {
      for (std::size_t i = 0; i < filled; ++i) row[i].Attr &= 0x7F;
    }
    if (drawing.Font.Glyphs == 512) KeepBanks(drawing, row.data(), filled);
    DrawArtCells(drawing, row.data(), filled);
    if (filled < width) break;
  }
}

}  // namespace tintrel
