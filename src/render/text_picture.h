// SPDX-License-Identifier: MIT
// Pixels of a text screen: each cell drawn with its glyph of the VGA font in its two colours, the
// whole at one pixel per font pixel or shrunk to a thumbnail, where each pixel takes the share of
// ink that falls in it (in quarters) as a mix of the cell's colours. The pixels index a palette
// of at most 256 colours.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "screen/screen_state.h"
#include "screen/vga_palette.h"

namespace tintrel {

// The cells as VGA text memory holds them, row by row: a code-page-437 glyph byte, then its
// attribute byte (bits 0-3 the foreground, 4-7 the background).
struct TextCells {
  std::span<const uint8_t> Bytes;  // Columns * Rows * 2
  uint32_t Columns = 0, Rows = 0;
  // With a font of 512 glyphs, one per cell: the half of the font its glyph is in.
  std::span<const uint8_t> Banks = {};
  // Where the art set true colours, one per cell: the colours a viewer shows it in. Full-size
  // pictures draw them; thumbnails draw each cell's nearest VGA colours.
  std::span<const CellColors> Colors = {};
};

// A font of the art's own in place of the VGA's: 8 pixels wide, Height rows a glyph (1 to 32),
// the high bit of a row leftmost; 256 glyphs, or 512 where the cells name their half.
struct PictureFont {
  std::span<const uint8_t> Rows;  // Glyphs * Height bytes
  uint32_t Height = 0;            // 0: the VGA font
  uint32_t Glyphs = 256;
};

struct PictureStyle {
  // A bright background shows as itself (iCE colours); otherwise as its dark colour, as a VGA
  // card showing blink does between blinks. Blink itself is not drawn.
  bool IceColors = false;
  // Cells 9 pixels wide, as the VGA card draws them: the 9th column repeats the 8th for the
  // line-drawing glyphs 0xC0-0xDF and is background for every other glyph.
  bool NinePixel = false;
  // The picture at most this wide: each cell a whole number of pixels wide, no wider than the
  // font's, and as tall as keeps its shape. 0: one pixel per font pixel.
  uint32_t Width = 320;
  // The art's own 16 colours, by attribute index; none: the VGA's.
  const std::array<Rgb, 16>* Colors = nullptr;
  PictureFont Font;
};

struct Picture {
  uint32_t Width = 0, Height = 0;
  std::vector<Rgb> Palette;     // up to 256 colours
  std::vector<uint8_t> Pixels;  // row-major, a palette index each
};

// Levels 0-4: the quarters of a pixel that a glyph's ink covers.
inline constexpr uint8_t kFullInk = 4;

// The glyphs at one cell size, kept from picture to picture while the size stays the same and
// the font is the VGA's.
struct GlyphShades {
  uint32_t FontWidth = 0;                  // 8, or 9 with the 9th column
  uint32_t CellWidth = 0, CellHeight = 0;  // in picture pixels
  bool OwnFont = false;                    // shaded from an art's own font, made again each time
  std::vector<uint8_t> Levels;             // per glyph, CellHeight rows of CellWidth levels
  std::array<uint8_t, 512> LevelsUsed{};   // per glyph, bit k set when level k occurs
};

// Draws the cells into `picture`, replacing what it held.
void DrawPicture(const TextCells& cells, const PictureStyle& style, GlyphShades& shades,
                 Picture& picture);

}  // namespace tintrel
