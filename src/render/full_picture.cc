// SPDX-License-Identifier: MIT
#include "render/full_picture.h"

#include <algorithm>
#include <cstring>

#include "render/font.h"

namespace tintrel {

namespace {

// The pixel rows before stretching that the output rows [0, result) draw from lie below `row`:
// the first output row drawn from source row `row` or below.
uint64_t StretchedRow(uint64_t row, const FullSize& size) {
  return (row * size.Times + size.Per - 1) / size.Per;
}

uint8_t TrueSlot(const FullPalette& palette, Rgb color) {
  const auto at =
      std::lower_bound(palette.TrueSlots.begin(), palette.TrueSlots.end(), PackedRgb(color));
  return static_cast<uint8_t>(at - palette.TrueSlots.begin());
}

uint8_t BackgroundMask(const PictureStyle& style) {
  return style.IceColors ? 0xF0 : 0x70;
}

}  // namespace

FullSize FullSizeOf(uint32_t columns, uint64_t lines, const PictureStyle& style, uint32_t scale,
                    bool legacy_aspect) {
  FullSize size;
  size.Columns = columns;
  size.Lines = lines;
  size.FontWidth = style.NinePixel ? 9 : kGlyphWidth;
  size.FontHeight = style.Font.Height != 0 ? style.Font.Height : kGlyphHeight;
  size.Scale = std::max(scale, 1u);
  if (legacy_aspect) {
    size.Times = style.NinePixel ? 27 : 6;
    size.Per = style.NinePixel ? 20 : 5;
  }
  return size;
}

uint64_t FullWidth(const FullSize& size) {
  return uint64_t{size.Columns} * size.FontWidth * size.Scale;
}

uint64_t FullHeight(const FullSize& size) {
  return StretchedRow(size.Lines * size.FontHeight, size) * size.Scale;
}

FullPalette FullPaletteOf(const TextCells& cells, const PictureStyle& style, bool all_colors) {
  std::array<bool, 16> used{};
  if (all_colors) used.fill(true);
  const uint8_t background_mask = BackgroundMask(style);
  for (std::size_t i = 1; i < cells.Bytes.size(); i += 2) {
    used[cells.Bytes[i] & 0x0F] = true;
    used[(cells.Bytes[i] & background_mask) >> 4] = true;
  }
  FullPalette palette;
  if (!all_colors && !cells.Colors.empty()) {
    std::vector<uint32_t>& packed = palette.TrueSlots;
    for (const CellColors& cell : cells.Colors.first(std::size_t{cells.Columns} * cells.Rows)) {
      packed.push_back(PackedRgb(cell.Fg));
      packed.push_back(PackedRgb(cell.Bg));
      // Sorted now and then, so that a drawing of many colours stays small while it is counted.
      if (packed.size() >= 4096) {
        std::sort(packed.begin(), packed.end());
        packed.erase(std::unique(packed.begin(), packed.end()), packed.end());
        if (packed.size() > 256) break;
      }
    }
    std::sort(packed.begin(), packed.end());
    packed.erase(std::unique(packed.begin(), packed.end()), packed.end());
    if (packed.size() <= 256) {
      for (uint32_t color : packed)
        palette.Colors.push_back({static_cast<uint8_t>(color), static_cast<uint8_t>(color >> 8),
                                  static_cast<uint8_t>(color >> 16)});
      return palette;
    }
    // More than a palette holds: each cell's nearest VGA colours.
    packed.clear();
  }
  const std::array<Rgb, 16>& colors = style.Colors != nullptr ? *style.Colors : kVgaPalette;
  for (uint32_t color = 0; color < 16; ++color) {
    if (!used[color]) continue;
    palette.SlotOf[color] = static_cast<uint8_t>(palette.Colors.size());
    palette.Colors.push_back(colors[color]);
  }
  if (palette.Colors.empty()) palette.Colors.push_back(colors[0]);
  return palette;
}

void PaintFullRows(const TextCells& cells, uint64_t first_line, const FullSize& size,
                   const PictureStyle& style, const FullPalette& palette,
                   std::vector<uint8_t>& scratch, std::vector<uint8_t>& out) {
  const uint32_t font_width = size.FontWidth, font_height = size.FontHeight;
  const std::size_t plain_width = std::size_t{cells.Columns} * font_width;
  const uint8_t background_mask = BackgroundMask(style);
  const bool banked = !cells.Banks.empty() && style.Font.Glyphs > 256;
  // One text line's pixel rows at one pixel per font pixel, then each row stretched and scaled.
  scratch.resize(plain_width * font_height);
  const std::size_t width = plain_width * size.Scale;
  for (uint32_t line = 0; line < cells.Rows; ++line) {
    const std::size_t first_cell = std::size_t{line} * cells.Columns;
    for (uint32_t column = 0; column < cells.Columns; ++column) {
      const std::size_t cell = first_cell + column;
      const uint32_t glyph = cells.Bytes[2 * cell] | (banked ? (cells.Banks[cell] & 1u) << 8 : 0u);
      const uint8_t attr = cells.Bytes[2 * cell + 1];
      uint8_t fg = palette.SlotOf[attr & 0x0F];
      uint8_t bg = palette.SlotOf[(attr & background_mask) >> 4];
      if (!palette.TrueSlots.empty()) {
        fg = TrueSlot(palette, cells.Colors[cell].Fg);
        bg = TrueSlot(palette, cells.Colors[cell].Bg);
      }
      // The 9th column repeats the 8th for the line-drawing glyphs, as the VGA card draws them.
      const bool repeats = font_width == 9 && (glyph & 0xFF) >= 0xC0 && (glyph & 0xFF) <= 0xDF;
      uint8_t* pixel = scratch.data() + std::size_t{column} * font_width;
      for (uint32_t y = 0; y < font_height; ++y, pixel += plain_width) {
        const uint8_t bits = style.Font.Height == 0
                                 ? kVgaFont[glyph & 0xFF][y]
                                 : style.Font.Rows[std::size_t{glyph} * font_height + y];
        for (uint32_t x = 0; x < 8; ++x) pixel[x] = (bits >> (7 - x)) & 1 ? fg : bg;
        if (font_width == 9) pixel[8] = repeats && (bits & 1) ? fg : bg;
      }
    }
    const uint64_t top = (first_line + line) * font_height;
    const uint64_t from = StretchedRow(top, size), to = StretchedRow(top + font_height, size);
    for (uint64_t row = from; row < to; ++row) {
      const uint8_t* source = scratch.data() + (row * size.Per / size.Times - top) * plain_width;
      const std::size_t at = out.size();
      out.resize(at + width * size.Scale);
      uint8_t* pixels = out.data() + at;
      if (size.Scale == 1) {
        std::memcpy(pixels, source, width);
      } else {
        for (std::size_t x = 0; x < width; ++x) pixels[x] = source[x / size.Scale];
      }
      for (uint32_t copy = 1; copy < size.Scale; ++copy)
        std::memcpy(pixels + copy * width, pixels, width);
    }
  }
}

void FitPicture(const Picture& from, uint32_t width, uint32_t times, uint32_t per, uint32_t tallest,
                Picture& to) {
  to.Palette = from.Palette;
  to.Width = std::max(1u, std::min(width, from.Width));
  const uint64_t height = std::max<uint64_t>(
      1, uint64_t{from.Height} * to.Width * times / (uint64_t{from.Width} * per));
  to.Height = static_cast<uint32_t>(std::min<uint64_t>(height, std::max(tallest, 1u)));
  to.Pixels.resize(std::size_t{to.Width} * to.Height);
  std::vector<uint32_t> columns(to.Width);
  for (uint32_t x = 0; x < to.Width; ++x)
    columns[x] = static_cast<uint32_t>(uint64_t{x} * from.Width / to.Width);
  uint64_t last_row = UINT64_MAX;
  for (uint32_t y = 0; y < to.Height; ++y) {
    const uint64_t source_row =
        std::min<uint64_t>(y * uint64_t{from.Height} / height, from.Height - 1);
    uint8_t* row = to.Pixels.data() + std::size_t{y} * to.Width;
    // A stretched row repeats the one above it.
    if (source_row == last_row) {
      std::memcpy(row, row - to.Width, to.Width);
      continue;
    }
    last_row = source_row;
    const uint8_t* source = from.Pixels.data() + source_row * from.Width;
    for (uint32_t x = 0; x < to.Width; ++x) row[x] = source[columns[x]];
  }
}

}  // namespace tintrel
