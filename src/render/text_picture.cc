// SPDX-License-Identifier: MIT
#include "render/text_picture.h"

#include <algorithm>

#include "render/font.h"

namespace tintrel {

namespace {

// A colour of the picture: a VGA colour (0-15), or a mix of two at an ink level of 1-3.
constexpr std::size_t kMixKeys = 16 + 16 * 16 * 3;

// A glyph's row of the art's own font, or of the VGA's.
uint8_t GlyphRow(const PictureFont& font, uint32_t glyph, uint32_t y) {
  if (font.Height == 0) return kVgaFont[glyph][y];
  return font.Rows[std::size_t{glyph} * font.Height + y];
}

bool Ink(const PictureFont& font, uint32_t glyph, uint32_t x, uint32_t y, uint32_t font_width) {
  const uint8_t row = GlyphRow(font, glyph, y);
  if (x < kGlyphWidth) return (row >> (7 - x)) & 1;
  // The 9th column of a 9-pixel cell.
  const uint32_t code = glyph & 0xFF;
  return font_width == 9 && code >= 0xC0 && code <= 0xDF && (row & 1);
}

// The length two spans overlap: [a, a + a_size) and [b, b + b_size).
uint32_t Overlap(uint32_t a, uint32_t a_size, uint32_t b, uint32_t b_size) {
  const uint32_t low = std::max(a, b), high = std::min(a + a_size, b + b_size);
  return high > low ? high - low : 0;
}

// Measures each picture pixel of each glyph against the font pixels it covers; both are laid on
// one grid where a font pixel is CellWidth (or CellHeight) long and a picture pixel FontWidth
// (or the glyph's height).
void ShadeGlyphs(GlyphShades& shades, const PictureFont& font, uint32_t font_width,
                 uint32_t cell_width, uint32_t cell_height) {
  const bool own = font.Height != 0;
  if (!own && !shades.OwnFont && shades.FontWidth == font_width && shades.CellWidth == cell_width &&
      shades.CellHeight == cell_height)
    return;
  shades.OwnFont = own;
  shades.FontWidth = font_width;
  shades.CellWidth = cell_width;
  shades.CellHeight = cell_height;
  const uint32_t glyphs = own ? font.Glyphs : 256, height = own ? font.Height : kGlyphHeight;
  shades.Levels.assign(std::size_t{glyphs} * cell_width * cell_height, 0);
  const uint32_t whole = font_width * height;
  for (uint32_t glyph = 0; glyph < glyphs; ++glyph) {
    uint8_t* levels = shades.Levels.data() + std::size_t{glyph} * cell_width * cell_height;
    uint8_t used = 0;
    for (uint32_t py = 0; py < cell_height; ++py) {
      for (uint32_t px = 0; px < cell_width; ++px) {
        uint32_t ink = 0;
        for (uint32_t y = 0; y < height; ++y) {
          const uint32_t tall = Overlap(y * cell_height, cell_height, py * height, height);
          if (tall == 0) continue;
          for (uint32_t x = 0; x < font_width; ++x) {
            if (Ink(font, glyph, x, y, font_width))
              ink += tall * Overlap(x * cell_width, cell_width, px * font_width, font_width);
          }
        }
        const auto level = static_cast<uint8_t>((ink * kFullInk + whole / 2) / whole);
        levels[py * cell_width + px] = level;
        used |= static_cast<uint8_t>(1u << level);
      }
    }
    shades.LevelsUsed[glyph] = used;
  }
}

// The colour key of a level between a cell's two colours.
std::size_t MixKey(uint32_t fg, uint32_t bg, uint32_t level) {
  if (level == 0 || fg == bg) return bg;
  if (level == kFullInk) return fg;
  return 16 + (fg * 16 + bg) * 3 + level - 1;
}

Rgb MixColor(std::size_t key, const std::array<Rgb, 16>& colors) {
  if (key < 16) return colors[key];
  const std::size_t mix = key - 16;
  const Rgb fg = colors[mix / 48], bg = colors[mix / 3 % 16];
  const auto level = static_cast<uint32_t>(mix % 3 + 1);
  auto channel = [&](uint8_t f, uint8_t b) {
    return static_cast<uint8_t>((f * level + b * (kFullInk - level) + kFullInk / 2) / kFullInk);
  };
  return {channel(fg.R, bg.R), channel(fg.G, bg.G), channel(fg.B, bg.B)};
}

using ShadesOfAttr = std::array<std::array<uint8_t, kFullInk + 1>, 256>;

// Each cell's glyph in its attribute's shades. A cell width known when compiling (0: not known)
// unrolls each row of a cell, where most of a thumbnail's time goes.
template <uint32_t kCellWidth>
void PaintCells(const TextCells& cells, const GlyphShades& shades,
                const ShadesOfAttr& shade_of_attr, bool banked, Picture& picture) {
  const uint32_t cell_width = kCellWidth != 0 ? kCellWidth : shades.CellWidth;
  const uint32_t cell_height = shades.CellHeight;
  const std::size_t stride = picture.Width, glyph_size = std::size_t{cell_width} * cell_height;
  const uint8_t* attrs = cells.Bytes.data();
  std::size_t cell = 0;
  for (uint32_t row = 0; row < cells.Rows; ++row) {
    uint8_t* corner = picture.Pixels.data() + std::size_t{row} * cell_height * stride;
    for (uint32_t column = 0; column < cells.Columns;
         ++column, ++cell, attrs += 2, corner += cell_width) {
      const std::array<uint8_t, kFullInk + 1>& shade_of_level = shade_of_attr[attrs[1]];
      // With 512 glyphs, the cell's bank picks the font's half.
      const uint32_t glyph = attrs[0] | (banked ? (cells.Banks[cell] & 1u) << 8 : 0u);
      const uint8_t* levels = shades.Levels.data() + glyph * glyph_size;
      for (uint32_t py = 0; py < cell_height; ++py, levels += cell_width) {
        uint8_t* pixel = corner + py * stride;
        for (uint32_t px = 0; px < cell_width; ++px) pixel[px] = shade_of_level[levels[px]];
      }
    }
  }
}

}  // namespace

void DrawPicture(const TextCells& cells, const PictureStyle& style, GlyphShades& shades,
                 Picture& picture) {
  const uint32_t font_width = style.NinePixel ? 9 : kGlyphWidth;
  const uint32_t font_height = style.Font.Height != 0 ? style.Font.Height : kGlyphHeight;
  uint32_t cell_width = font_width, cell_height = font_height;
  if (style.Width != 0 && cells.Columns > 0) {
    cell_width = std::clamp(style.Width / cells.Columns, 1u, font_width);
    cell_height = std::max(1u, (font_height * cell_width + font_width / 2) / font_width);
  }
  ShadeGlyphs(shades, style.Font, font_width, cell_width, cell_height);
  const std::array<Rgb, 16>& colors = style.Colors != nullptr ? *style.Colors : kVgaPalette;
  const bool banked = !cells.Banks.empty() && style.Font.Glyphs > 256;
  auto glyph_at = [&](std::size_t i) -> uint32_t {
    return cells.Bytes[2 * i] | (banked ? (cells.Banks[i] & 1u) << 8 : 0u);
  };
  picture.Width = cells.Columns * cell_width;
  picture.Height = cells.Rows * cell_height;
  const std::size_t count = std::size_t{cells.Columns} * cells.Rows;
  const uint8_t background_mask = style.IceColors ? 0xF0 : 0x70;

  // The colours first. A palette holds 256: the 16 colours and an even mix of each ordered pair
  // of them fit whatever the drawing uses; mixes of a quarter and three quarters take the rest
  // while it lasts, and after that show as the pair's even mix.
  // Which ink levels each attribute shows, then which colours those are.
  std::array<uint8_t, 256> levels_of_attr{};
  for (std::size_t i = 0; i < count; ++i)
    levels_of_attr[cells.Bytes[2 * i + 1]] |= shades.LevelsUsed[glyph_at(i)];
  std::array<bool, kMixKeys> used{};
  for (uint32_t attr = 0; attr < 256; ++attr) {
    const uint32_t fg = attr & 0x0F, bg = (attr & background_mask) >> 4;
    for (uint32_t level = 0, levels = levels_of_attr[attr]; levels != 0; ++level, levels >>= 1) {
      if (levels & 1) used[MixKey(fg, bg, level)] = true;
    }
  }
  std::array<uint16_t, kMixKeys> slots;
  picture.Palette.clear();
  auto take = [&](std::size_t key) {
    slots[key] = static_cast<uint16_t>(picture.Palette.size());
    picture.Palette.push_back(MixColor(key, colors));
  };
  for (std::size_t key = 0; key < 16; ++key) {
    if (used[key]) take(key);
  }
  for (std::size_t pair = 0; pair < 256; ++pair) {
    const std::size_t quarter = 16 + pair * 3, half = quarter + 1;
    if (used[quarter] || used[half] || used[half + 1]) take(half);
  }
  for (std::size_t pair = 0; pair < 256; ++pair) {
    const std::size_t quarter = 16 + pair * 3, half = quarter + 1;
    for (std::size_t key : {quarter, half + 1}) {
      if (!used[key]) continue;
      if (picture.Palette.size() < 256) {
        take(key);
      } else {
        slots[key] = slots[half];
      }
    }
  }
  const std::size_t stride = picture.Width;
  picture.Pixels.resize(stride * picture.Height);

  // Each attribute's palette index at each level it shows.
  ShadesOfAttr shade_of_attr{};
  for (uint32_t attr = 0; attr < 256; ++attr) {
    const uint32_t fg = attr & 0x0F, bg = (attr & background_mask) >> 4;
    for (uint32_t level = 0, levels = levels_of_attr[attr]; levels != 0; ++level, levels >>= 1) {
      if (levels & 1)
        shade_of_attr[attr][level] = static_cast<uint8_t>(slots[MixKey(fg, bg, level)]);
    }
  }
  switch (cell_width) {
    case 4: return PaintCells<4>(cells, shades, shade_of_attr, banked, picture);
    case 8: return PaintCells<8>(cells, shades, shade_of_attr, banked, picture);
    case 9: return PaintCells<9>(cells, shades, shade_of_attr, banked, picture);
    default: return PaintCells<0>(cells, shades, shade_of_attr, banked, picture);
  }
}

}  // namespace tintrel
