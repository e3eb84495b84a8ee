// SPDX-License-Identifier: MIT
#include "analysis/screen_digest.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "analysis/art_facts.h"
#include "kit/art_generator.h"

namespace tintrel {
namespace {

ScreenPrint PrintOfAnsi(const std::string& art) {
  static const auto tools = std::make_unique<ArtTools>();
  ArtFacts facts;
  HeldFacts(facts, "art.ans", {reinterpret_cast<const uint8_t*>(art.data()), art.size()}, *tools);
  return facts.Print;
}

// A drawing of a few coloured lines, wrapped at 80 columns, for the variants below.
const std::string kLogo = "\x1b[0;1;31m" + std::string(80, '\xdb') + "\x1b[0;34;47m  AB  CD" +
                          "\x1b[0m\r\n\x1b[1;33;44mYellow on blue\x1b[0m\r\nend";

// Storing the same screen another way leaves screen_md5 as it was.
TEST(ScreenDigest, TheSameScreenStoredAnotherWayHasOneDigest) {
  const struct {
    const char* What;
    std::string A, B;
  } cases[] = {
      {"cursor move against spaces", "ab\x1b[5Ccd", "ab     cd"},
      {"colour set again", "\x1b[31mab\x1b[31mcd", "\x1b[31mab\x1b[0;31mcd"},
      {"CR LF against wrapping", "x\x1b[79C\r\ny", "x\x1b[78C y"},
      {"a blank's foreground", "\x1b[35m  x", "\x1b[32m  \x1b[35mx"},
      {"glyphs 32 and 255 on black", "a \xff b", "a   b"},
      {"a glyph in its background's colour", "\x1b[44m\x1b[34mQ\x1b[37m!", "\x1b[44m \x1b[37m!"},
      {"a colour by pipe code and by sequence", "|04x|07y", "\x1b[31mx\x1b[37my"},
      {"trailing erase and black spaces", "ab\x1b[K\r\ncd", "ab  \r\ncd      "},
  };
  for (const auto& test : cases) {
    const ScreenPrint a = PrintOfAnsi(test.A), b = PrintOfAnsi(test.B);
    ASSERT_TRUE(a.Md5) << test.What;
    EXPECT_EQ(a.Md5, b.Md5) << test.What;
    EXPECT_EQ(a.Sig, b.Sig) << test.What;
  }
}

// What a viewer sees differently gives another screen_md5; a small change keeps the signature near.
TEST(ScreenDigest, AChangedScreenHasAnotherDigestAndANearSignature) {
  const struct {
    const char* What;
    std::string Changed;
    int MaxDistance;
  } cases[] = {
      {"one glyph", std::string(kLogo).replace(kLogo.find("AB"), 1, "X"), 3},
      {"one colour", std::string(kLogo).replace(kLogo.find("33;44"), 2, "32"), 3},
      {"a line added", std::string(kLogo).replace(kLogo.find("end"), 0, "\r\n"), 8},
      {"a glyph in the blank's place", std::string(kLogo).replace(kLogo.find("  AB"), 1, "."), 3},
  };
  const ScreenPrint logo = PrintOfAnsi(kLogo);
  for (const auto& test : cases) {
    const ScreenPrint changed = PrintOfAnsi(test.Changed);
    EXPECT_NE(logo.Md5, changed.Md5) << test.What;
    EXPECT_LE(SigDistance(logo.Sig, changed.Sig), test.MaxDistance) << test.What;
  }
  for (uint64_t seed : {2, 3, 4})
    EXPECT_GT(SigDistance(PrintOfAnsi(artgen::TypicalArt(1, 20000, false)).Sig,
                          PrintOfAnsi(artgen::TypicalArt(seed, 20000, false)).Sig),
              8)
        << "another drawing, " << seed;
}

// The canonical form, byte for byte as the manual gives it, and the look of the cells.
TEST(ScreenDigest, TheCanonicalFormIsAsDocumented) {
  Screen screen;
  ResetScreen(screen);
  const std::string art = "\x1b[1;31;44mA \x1b[0m \xdb";
  DrawMemory(screen, reinterpret_cast<const uint8_t*>(art.data()), art.size());
  const ScreenSummary shown = SummarizeScreen(screen);
  // Each cell's glyph and its pair of colours' number, the pair's 6 bytes where it is new.
  const std::string cells =
      std::string("A\0\xff\x55\x55\0\0\xaa", 8) + std::string(" \x01\0\0\xaa\0\0\xaa", 8) +
      std::string(" \x02\0\0\0\0\0\0", 8) + std::string("\xdb\x03\xaa\xaa\xaa\0\0\0", 8);
  const ArtPalette gray_blue = [] {
    ArtPalette palette{};
    palette[1] = {0, 0, 63};
    return palette;
  }();
  // The cells' own colours in true colour, but for a blank's foreground, which shows nowhere.
  std::vector<CellColors> true_colors;
  for (const Cell& cell : screen.Cells)
    true_colors.push_back({kVgaPalette[cell.Attr & 15], kVgaPalette[cell.Attr >> 4]});
  true_colors[1].Fg = {1, 2, 3};
  ArtFont font{2, 256, std::vector<uint8_t>(512, 0x18)};
  const struct {
    const char* What;
    ScreenLook Look;
    std::string Canonical;
    bool TrueColor = false;
  } cases[] = {
      {"VGA colours", {}, "screen 4 1\n" + cells},
      {"the art's palette",
       {&gray_blue, nullptr, {}},
       "screen 4 1\n" + std::string("A\0\0\0\0\0\0\xff", 8) +
           std::string(" \x01\0\0\xff\0\0\xff", 8) + std::string(" \x02\0\0\0\0\0\0", 8) +
           std::string(" \x02", 2)},
      {"true colour as the palette shows it", {}, "screen 4 1\n" + cells, true},
      {"an own font",
       {nullptr, &font, {}},
       "screen 4 1\nfont 2 256\n" + std::string(512, 0x18) + cells.substr(0, 8) +
           std::string(" \0", 2) + std::string(" \x01\xaa\xaa\xaa\0\0\0", 8) +
           std::string("\xdb\x01", 2)},
  };
  PrintTools tools;
  for (const auto& test : cases) {
    screen.TrueColor = test.TrueColor;
    screen.TrueColors = test.TrueColor ? true_colors : std::vector<CellColors>{};
    md5_ctx md5;
    md5_init(&md5);
    md5_update(&md5, test.Canonical.size(),
               reinterpret_cast<const uint8_t*>(test.Canonical.data()));
    Digest expected;
    md5_digest(&md5, expected.size(), expected.data());
    EXPECT_EQ(PrintScreen(screen, shown, test.Look, tools).Md5, expected) << test.What;
  }
}

}  // namespace
}  // namespace tintrel
