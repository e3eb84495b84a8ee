// SPDX-License-Identifier: MIT
#include "render/text_picture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kit/png_pixels.h"
#include "render/font.h"
#include "render/png_file.h"

namespace tintrel {
namespace {

using Decoded = testkit::PngPixels;

// The picture as a PNG, read back into RGB.
Decoded RoundTrip(const Picture& picture) {
  Decoded decoded = testkit::ReadPng(EncodePng(picture));
  EXPECT_EQ(decoded.Failure, "");
  return decoded;
}

Picture Draw(const std::vector<uint8_t>& cells, uint32_t columns, PictureStyle style) {
  GlyphShades shades;
  Picture picture;
  DrawPicture({cells, columns, static_cast<uint32_t>(cells.size() / 2 / columns)}, style, shades,
              picture);
  return picture;
}

// Every pixel of the cell at `column` of the top row is `color`.
void ExpectCell(const Decoded& decoded, uint32_t column, uint32_t cell_width, Rgb color) {
  for (uint32_t y = 0; y < kGlyphHeight; ++y) {
    for (uint32_t x = column * cell_width; x < (column + 1) * cell_width; ++x) {
      const Rgb got = decoded.At(x, y);
      ASSERT_TRUE(got == color) << "column " << column << " pixel " << x << "," << y;
    }
  }
}

TEST(TextPicture, FullBlocksShowEachColourAndBrightBackgroundsOnlyWithIce) {
  // A full block in each foreground, then a space on each background.
  std::vector<uint8_t> cells;
  for (uint8_t color = 0; color < 16; ++color) cells.insert(cells.end(), {0xDB, color});
  for (uint8_t color = 0; color < 16; ++color)
    cells.insert(cells.end(), {0x20, static_cast<uint8_t>(color << 4 | 0x0F)});
  for (bool ice : {false, true}) {
    const Decoded decoded = RoundTrip(Draw(cells, 32, {ice, false, 0}));
    ASSERT_EQ(decoded.Width, 32 * 8u);
    ASSERT_EQ(decoded.Height, 16u);
    for (uint32_t color = 0; color < 16; ++color) {
      ExpectCell(decoded, color, 8, kVgaPalette[color]);
      ExpectCell(decoded, 16 + color, 8, kVgaPalette[ice ? color : color & 7]);
    }
  }
}

TEST(TextPicture, NinthColumnRepeatsTheEighthOnlyForLineDrawingGlyphs) {
  struct Case {
    uint8_t Glyph;
    bool Repeats;
  };
  for (const Case& c :
       {Case{0xC4, true}, Case{0xC0, true}, Case{0xDF, true}, Case{0xDB, true}, Case{0xB2, false},
        Case{0xBF, false}, Case{0xE0, false}, Case{'M', false}}) {
    const Decoded decoded = RoundTrip(Draw({c.Glyph, 0x0F}, 1, {false, true, 0}));
    ASSERT_EQ(decoded.Width, 9u);
    for (uint32_t y = 0; y < kGlyphHeight; ++y) {
      const bool eighth = kVgaFont[c.Glyph][y] & 1;
      for (uint32_t x = 0; x < 8; ++x) {
        const bool ink = (kVgaFont[c.Glyph][y] >> (7 - x)) & 1;
        ASSERT_TRUE(decoded.At(x, y) == kVgaPalette[ink ? 15 : 0]) << int(c.Glyph) << " " << x;
      }
      ASSERT_TRUE(decoded.At(8, y) == kVgaPalette[c.Repeats && eighth ? 15 : 0])
          << "glyph " << int(c.Glyph) << " row " << y;
    }
  }
}

TEST(TextPicture, ThumbnailMixesEachCellsColoursByItsInk) {
  // 80 columns into 320 pixels: each cell 4 by 8, each pixel four font pixels. Half-tone (0xB1)
  // inks two of every four; a full block all; a space none.
  std::vector<uint8_t> cells;
  for (int column = 0; column < 80; ++column) {
    const uint8_t glyph = column % 3 == 0 ? 0xB1 : column % 3 == 1 ? 0xDB : 0x20;
    cells.insert(cells.end(), {glyph, 0x1E});  // yellow on blue
  }
  const Decoded decoded = RoundTrip(Draw(cells, 80, {}));
  ASSERT_EQ(decoded.Width, 320u);
  ASSERT_EQ(decoded.Height, 8u);
  const Rgb yellow = kVgaPalette[14], blue = kVgaPalette[1];
  const Rgb half{static_cast<uint8_t>((yellow.R + blue.R + 1) / 2),
                 static_cast<uint8_t>((yellow.G + blue.G + 1) / 2),
                 static_cast<uint8_t>((yellow.B + blue.B + 1) / 2)};
  for (uint32_t x = 0; x < 320; ++x) {
    const uint32_t column = x / 4;
    const Rgb want = column % 3 == 0 ? half : column % 3 == 1 ? yellow : blue;
    for (uint32_t y = 0; y < 8; ++y) ASSERT_TRUE(decoded.At(x, y) == want) << x << "," << y;
  }
  // 9-pixel cells keep their shape: 4 pixels wide, 16 * 4 / 9 rounded tall.
  EXPECT_EQ(Draw(cells, 80, {false, true, 320}).Height, 7u);
  EXPECT_EQ(Draw(cells, 80, {false, false, 100}).Width, 80u);  // one pixel a cell at least
}

TEST(TextPicture, QuarterMixesGiveWayToEvenMixesWhenThePaletteIsFull) {
  // Every attribute in half-tone, then in quarter-tone, at 2 pixels a cell: the 16 colours and
  // 240 even mixes fill the palette, so the quarter mixes show as even ones.
  std::vector<uint8_t> cells;
  for (int glyph : {0xB1, 0xB0}) {
    for (int attr = 0; attr < 256; ++attr)
      cells.insert(cells.end(), {uint8_t(glyph), uint8_t(attr)});
  }
  cells.insert(cells.end(), {0xDB, 0x00, 0xDB, 0x0F});
  const Picture picture = Draw(cells, 514, {true, false, 1028});
  EXPECT_EQ(picture.Palette.size(), 256u);
  const Decoded decoded = RoundTrip(picture);
  for (uint32_t attr = 0; attr < 256; ++attr) {
    const Rgb fg = kVgaPalette[attr & 15], bg = kVgaPalette[attr >> 4];
    const Rgb half{static_cast<uint8_t>((fg.R + bg.R + 1) / 2),
                   static_cast<uint8_t>((fg.G + bg.G + 1) / 2),
                   static_cast<uint8_t>((fg.B + bg.B + 1) / 2)};
    ASSERT_TRUE(decoded.At(attr * 2, 0) == half) << attr;
    ASSERT_TRUE(decoded.At(512 + attr * 2, 0) == half) << attr;
  }
}

}  // namespace
}  // namespace tintrel
