// SPDX-License-Identifier: MIT
// A drawing at full size: one pixel per font pixel (times a scale), every line and column, its
// rows stretched as a 4:3 screen showed them where the record asks, and made a band of text
// lines at a time so that a drawing of any height needs only one band's pixels at once. The
// pixels index a palette of the 16 colours of the cells.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "render/text_picture.h"

namespace tintrel {

// How a drawing's cells become pixels at full size.
struct FullSize {
  uint32_t Columns = 0;
  uint64_t Lines = 0;
  uint32_t FontWidth = 8, FontHeight = 16;
  uint32_t Scale = 1;  // each pixel this many wide and tall
  // Pixel rows are stretched by Times / Per: 27/20 (1.35) for 9-pixel cells and 6/5 (1.2) for
  // 8-pixel cells on a 4:3 screen, 1/1 where the record asks for square pixels.
  uint32_t Times = 1, Per = 1;
};

// The layout of a drawing of `columns` and `lines` in the style, at `scale`, stretched for the
// legacy aspect or not.
FullSize FullSizeOf(uint32_t columns, uint64_t lines, const PictureStyle& style, uint32_t scale,
                    bool legacy_aspect);

uint64_t FullWidth(const FullSize& size);
uint64_t FullHeight(const FullSize& size);

// The palette of a full-size picture: the true colours of the cells where they have them and
// are 256 at most, else the colours of the attributes they use (all 16 when asked), and each
// colour's index in it.
struct FullPalette {
  std::vector<Rgb> Colors;
  std::array<uint8_t, 16> SlotOf{};
  std::vector<uint32_t> TrueSlots;  // the true colours packed, in palette order and sorted
};
FullPalette FullPaletteOf(const TextCells& cells, const PictureStyle& style, bool all_colors);

// Appends the picture's pixel rows of the text lines in `cells`, which start at line
// `first_line` of the drawing, to `out`: FullWidth(size) indices a row. `scratch` is kept from
// band to band.
void PaintFullRows(const TextCells& cells, uint64_t first_line, const FullSize& size,
                   const PictureStyle& style, const FullPalette& palette,
                   std::vector<uint8_t>& scratch, std::vector<uint8_t>& out);

// The picture resized to `width` and its height in proportion, each pixel stretched by
// times / per, nearest pixel first, and cut to at most `tallest` rows.
void FitPicture(const Picture& from, uint32_t width, uint32_t times, uint32_t per, uint32_t tallest,
                Picture& to);

}  // namespace tintrel
