// SPDX-License-Identifier: MIT
#include "meta/sauce_fonts.h"

#include <gtest/gtest.h>

namespace tintrel {
namespace {

TEST(SauceFonts, NamesChooseTheirFontOrTheNearestMarkedSubstituted) {
  struct Case {
    std::string_view Name, CodePage;
    uint8_t Height;
    bool Amiga, Substituted;
  };
  const Case cases[] = {
      {"", "CP437", 16, false, false},
      {"IBM VGA 850", "CP850", 16, false, false},
      {"IBM VGA50 819", "ISO-8859-1", 8, false, false},
      {"IBM EGA MIK", "MIK", 14, false, false},
      {"IBM VGA25G 852", "CP852", 16, false, true},  // no 19-line fonts: the 16-line one
      {"IBM VGA 872", "CP855", 16, false, true},     // 855 less the euro
      {"IBM EGA KAM", "CP437", 14, false, true},
      {"IBM VGA50 999", "CP437", 8, false, true},
      {"Amiga Topaz 1", "ISO-8859-1", 16, true, false},
      {"Amiga MicroKnight+", "ISO-8859-1", 16, true, true},
      {"C64 PETSCII shifted", "CP437", 8, false, true},
      {"ibm vga", "CP437", 16, false, true},
      {"Comic Sans", "CP437", 16, false, true},
  };
  for (const Case& c : cases) {
    const FontChoice choice = ChooseFont(c.Name);
    const ShippedFont font = ShippedFontAt(choice.Font);
    EXPECT_EQ(font.CodePage, c.CodePage) << c.Name;
    EXPECT_EQ(font.Height, c.Height) << c.Name;
    EXPECT_EQ(font.Amiga, c.Amiga) << c.Name;
    EXPECT_EQ(choice.Substituted, c.Substituted) << c.Name;
  }
}

}  // namespace
}  // namespace tintrel
