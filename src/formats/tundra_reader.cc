// SPDX-License-Identifier: MIT
// TundraDraw: byte 24 and "TUNDRA24", then a byte stream over an 80-column screen of true colour:
//   1                  move: the row and the column as 32-bit big-endian numbers, from 0
//   2 glyph 0 r g b    draw the glyph, the foreground from now on r g b
//   4 glyph 0 r g b    draw the glyph, the background from now on r g b
//   6 glyph 0 r g b 0 r g b   both
//   any other byte     draw it as a glyph
// Each cell keeps its 24-bit colours and, in its attribute, the nearest of the 16 VGA colours.
#include <cstring>

#include "formats/readers.h"
#include "screen/screen_draw.h"
#include "screen/screen_steps.h"

namespace tintrel {

namespace {

constexpr std::size_t kHeaderSize = 9;
constexpr uint8_t kMove = 1, kForeground = 2, kBackground = 4;

uint32_t BigEndian(const uint8_t* bytes) {
  return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

Rgb ColorAt(const uint8_t* bytes) {
  return {bytes[1], bytes[2], bytes[3]};
}

uint8_t Nearest(Rgb color) {
  return NearestVgaColor(color.R, color.G, color.B);
}

}  // namespace

void ReadTundra(Drawing& drawing, ArtSpan art, const SauceFacts& sauce) {
  if (art.size() < kHeaderSize || std::memcmp(art.data(), "\x18TUNDRA24", kHeaderSize) != 0)
    throw FormatError("TundraDraw: the header is cut short");
  StartDrawing(drawing, ArtFormat::kTundra, TextWidthFor(sauce));
  drawing.Ice = true;
  drawing.Grid.Pen |= kPenExtended;
  // Every cell in true colour: the screen keeps each cell's colours beside it.
  drawing.Grid.TrueColor = true;
  TruePen& colors = drawing.Grid.True;
  colors = {kTrueFg | kTrueBg, {170, 170, 170}, {0, 0, 0}};
  SetArtAttr(drawing, 7);
  const std::size_t size = art.size();
  std::size_t at = kHeaderSize;
  while (at < size) {
    const uint8_t command = art[at++];
    if (command == kMove) {
      if (size - at < 8) throw FormatError("TundraDraw: a move is cut short");
      const uint32_t row = BigEndian(&art[at]), column = BigEndian(&art[at + 4]);
      at += 8;
      if (column >= drawing.Grid.Width)
        throw FormatError("TundraDraw: a move to column " + std::to_string(column + 1) + " of " +
                          std::to_string(drawing.Grid.Width));
      drawing.Grid.Row = std::min(row, kLastRow);
      drawing.Grid.Column = column;
      continue;
    }
    uint8_t glyph = command;
    if (command == kForeground || command == kBackground ||
        command == (kForeground | kBackground)) {
      const std::size_t needed =
          1 + 4 * ((command & kForeground ? 1 : 0) + (command & kBackground ? 1 : 0));
      if (size - at < needed) throw FormatError("TundraDraw: a colour is cut short");
      glyph = art[at++];
      if (command & kForeground) {
        colors.Fg = ColorAt(&art[at]);
        at += 4;
      }
      if (command & kBackground) {
        colors.Bg = ColorAt(&art[at]);
        at += 4;
      }
      SetArtAttr(drawing, static_cast<uint8_t>(Nearest(colors.Fg) | Nearest(colors.Bg) << 4));
    }
    DrawArtGlyphs(drawing, &glyph, 1);
  }
}

}  // namespace tintrel
