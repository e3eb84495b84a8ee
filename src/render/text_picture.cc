// SPDX-License-Identifier: MIT
#include "render/text_picture.h"

#include <algorithm>

#include "render/font.h"

namespace tintrel {

namespace {

// A colour of the picture: a VGA colour (0-15), or a mix of two at an ink level of 1-3.
constexpr std::size_t kMixKeys = 16 + 16 * 16 * 3;
constexpr uint16_t kNoSlot = 0xFFFF;

bool Ink(uint8_t glyph, uint32_t x, uint32_t y, uint32_t font_width) {
  if (x < kGlyphWidth) return (kVgaFont[glyph][y] >> (7 - x)) & 1;
  // The 9th column of a 9-pixel cell.
  return font_width == 9 && glyph >= 0xC0 && glyph <= 0xDF && (kVgaFont[glyph][y] & 1);
}

// The length two spans overlap: [a, a + a_size) and [b, b + b_size).
uint32_t Overlap(uint32_t a, uint32_t a_size, uint32_t b, uint32_t b_size) {
  const uint32_t low = std::max(a, b), high = std::min(a + a_size, b + b_size);
  return high > low ? high - low : 0;
}

// Measures each picture pixel of each glyph against the font pixels it covers; both are laid on
// one grid where a font pixel is CellWidth (or CellHeight) long and a picture pixel FontWidth
// (or kGlyphHeight).
void ShadeGlyphs(GlyphShades& shades, uint32_t font_width, uint32_t cell_width,
                 uint32_t cell_height) {
  if (shades.FontWidth == font_width && shades.CellWidth == cell_width &&
      shades.CellHeight == cell_height)
    return;
  shades.FontWidth = font_width;
  shades.CellWidth = cell_width;
  shades.CellHeight = cell_height;
  shades.Levels.assign(std::size_t{256} * cell_width * cell_height, 0);
  const uint32_t whole = font_width * kGlyphHeight;
  for (uint32_t glyph = 0; glyph < 256; ++glyph) {
    uint8_t* levels = shades.Levels.data() + std::size_t{glyph} * cell_width * cell_height;
    uint8_t used = 0;
    for (uint32_t py = 0; py < cell_height; ++py) {
      for (uint32_t px = 0; px < cell_width; ++px) {
        uint32_t ink = 0;
        for (uint32_t y = 0; y < kGlyphHeight; ++y) {
          const uint32_t tall =
              Overlap(y * cell_height, cell_height, py * kGlyphHeight, kGlyphHeight);
          if (tall == 0) continue;
          for (uint32_t x = 0; x < font_width; ++x) {
            if (Ink(static_cast<uint8_t>(glyph), x, y, font_width))
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

Rgb MixColor(std::size_t key) {
  if (key < 16) return kVgaPalette[key];
  const std::size_t mix = key - 16;
  const Rgb fg = kVgaPalette[mix / 48], bg = kVgaPalette[mix / 3 % 16];
  const auto level = static_cast<uint32_t>(mix % 3 + 1);
  auto channel = [&](uint8_t f, uint8_t b) {
    return static_cast<uint8_t>((f * level + b * (kFullInk - level) + kFullInk / 2) / kFullInk);
  };
  return {channel(fg.R, bg.R), channel(fg.G, bg.G), channel(fg.B, bg.B)};
}

}  // namespace

void DrawPicture(const TextCells& cells, const PictureStyle& style, GlyphShades& shades,
                 Picture& picture) {
  const uint32_t font_width = style.NinePixel ? 9 : kGlyphWidth;
  uint32_t cell_width = font_width, cell_height = kGlyphHeight;
  if (style.Width != 0 && cells.Columns > 0) {
    cell_width = std::clamp(style.Width / cells.Columns, 1u, font_width);
    cell_height = std::max(1u, (kGlyphHeight * cell_width + font_width / 2) / font_width);
  }
  ShadeGlyphs(shades, font_width, cell_width, cell_height);
  picture.Width = cells.Columns * cell_width;
  picture.Height = cells.Rows * cell_height;
  const std::size_t count = std::size_t{cells.Columns} * cells.Rows;
  const uint8_t background_mask = style.IceColors ? 0xF0 : 0x70;

  // The colours first: few enough for a palette, or every pixel its own RGB.
  std::array<uint16_t, kMixKeys> slots;
  slots.fill(kNoSlot);
  std::vector<std::size_t> keys;
  for (std::size_t i = 0; i < count; ++i) {
    const uint8_t glyph = cells.Bytes[2 * i], attr = cells.Bytes[2 * i + 1];
    const uint32_t fg = attr & 0x0F, bg = (attr & background_mask) >> 4;
    for (uint32_t level = 0, used = shades.LevelsUsed[glyph]; used != 0; ++level, used >>= 1) {
      if ((used & 1) == 0) continue;
      const std::size_t key = MixKey(fg, bg, level);
      if (slots[key] == kNoSlot) {
        slots[key] = static_cast<uint16_t>(keys.size());
        keys.push_back(key);
      }
    }
  }
  const bool indexed = keys.size() <= 256;
  picture.Palette.clear();
  if (indexed) {
    for (std::size_t key : keys) picture.Palette.push_back(MixColor(key));
  }
  const std::size_t pixel_size = indexed ? 1 : 3;
  const std::size_t stride = std::size_t{picture.Width} * pixel_size;
  picture.Pixels.resize(stride * picture.Height);

  std::array<std::array<uint8_t, 3>, kFullInk + 1> shade_of_level;
  const std::size_t glyph_size = std::size_t{cell_width} * cell_height;
  for (std::size_t i = 0; i < count; ++i) {
    const uint8_t glyph = cells.Bytes[2 * i], attr = cells.Bytes[2 * i + 1];
    const uint32_t fg = attr & 0x0F, bg = (attr & background_mask) >> 4;
    for (uint32_t level = 0; level <= kFullInk; ++level) {
      const std::size_t key = MixKey(fg, bg, level);
      if (indexed) {
        shade_of_level[level][0] = static_cast<uint8_t>(slots[key]);
      } else {
        const Rgb color = MixColor(key);
        shade_of_level[level] = {color.R, color.G, color.B};
      }
    }
    const uint8_t* levels = shades.Levels.data() + glyph * glyph_size;
    uint8_t* corner = picture.Pixels.data() + (i / cells.Columns) * cell_height * stride +
                      (i % cells.Columns) * cell_width * pixel_size;
    for (uint32_t py = 0; py < cell_height; ++py) {
      uint8_t* pixel = corner + py * stride;
      for (uint32_t px = 0; px < cell_width; ++px, pixel += pixel_size) {
        const std::array<uint8_t, 3>& shade = shade_of_level[*levels++];
        pixel[0] = shade[0];
        if (!indexed) {
          pixel[1] = shade[1];
          pixel[2] = shade[2];
        }
      }
    }
  }
}

}  // namespace tintrel
