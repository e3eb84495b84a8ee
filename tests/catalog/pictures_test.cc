// SPDX-License-Identifier: MIT
#include "catalog/pictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "analysis/art_facts.h"
#include "catalog/screen_columns.h"
#include "meta/sauce_types.h"

namespace tintrel {
namespace {

// A record of Character data, the kind that names a font.
SauceInfo Named(std::string_view font) {
  SauceInfo info;
  info.Present = true;
  info.DataType = kCharacterData;
  info.Font = font;
  return info;
}

// The cells drawn one pixel per font pixel in the font the record names.
Picture DrawNamed(std::string_view font, const std::vector<uint8_t>& cells, uint32_t columns) {
  PictureShelf shelf;
  shelf.Width = 0;
  GlyphShades shades;
  Picture picture;
  DrawPicture({cells, columns, static_cast<uint32_t>(cells.size() / 2 / columns)},
              StyleFor(shelf, Named(font)), shades, picture);
  return picture;
}

TEST(Pictures, CellsAreAsTallAsTheNamedFont) {
  std::vector<uint8_t> cells;
  for (int cell = 0; cell < 80 * 50; ++cell) cells.insert(cells.end(), {'#', 0x1E});
  const std::pair<std::string_view, uint32_t> cases[] = {{"IBM VGA50", 8},
                                                         {"IBM EGA43 850", 8},
                                                         {"IBM EGA", 14},
                                                         {"IBM VGA", 16},
                                                         {"", 16},
                                                         {"Amiga Topaz 2+", 16},
                                                         {"C64 PETSCII unshifted", 8}};
  for (auto [font, height] : cases) {
    const Picture picture = DrawNamed(font, cells, 80);
    EXPECT_EQ(picture.Width, 80u * 8) << font;
    EXPECT_EQ(picture.Height, 50 * height) << font;
  }
}

TEST(Pictures, CodePageGlyphsDifferOnlyWhereTheCodePagesDo) {
  // 0x9B, 0x9D and 0xD5 are ¢ ¥ ╒ in 437 and ø Ø ı in 850; the rest agree.
  const std::pair<uint8_t, bool> cases[] = {{0x9B, true},  {0x9D, true},  {0xD5, true},
                                            {0x41, false}, {0xDB, false}, {0xB3, false}};
  for (std::string_view size : {"IBM VGA", "IBM VGA50", "IBM EGA"}) {
    for (auto [byte, differs] : cases) {
      const std::vector<uint8_t> cell = {byte, 0x07};
      const std::string name = std::string(size) + " 850";
      EXPECT_EQ(DrawNamed(size, cell, 1).Pixels != DrawNamed(name, cell, 1).Pixels, differs)
          << name << " byte " << int{byte};
    }
  }
}

TEST(Pictures, FontSubstitutedWarnsOfFontsNotShippedUnlessTheArtHasItsOwn) {
  struct Case {
    std::string_view Font;
    bool OwnFont, Warns;
  };
  const Case cases[] = {{"IBM VGA50 850", false, false}, {"", false, false},
                        {"Amiga Topaz 1", false, false}, {"Amiga mOsOul", false, true},
                        {"IBM VGA 864", false, true},    {"no such font", false, true},
                        {"no such font", true, false}};
  for (const Case& c : cases) {
    Row row;
    FillScreen(row, ScreenSummary{}, Named(c.Font), c.OwnFont);
    const std::vector<std::string>& warnings = row[Col("sauce_warnings")].Items;
    EXPECT_EQ(std::find(warnings.begin(), warnings.end(), "font-substituted") != warnings.end(),
              c.Warns)
        << c.Font;
  }
}

}  // namespace
}  // namespace tintrel
