// SPDX-License-Identifier: MIT
#include "screen/screen.h"

#include <gtest/gtest.h>

#include <string>

namespace tintrel {
namespace {

using namespace std::string_literals;

Screen Drawn(const std::string& bytes, uint32_t width = kDefaultScreenWidth) {
  Screen screen;
  ResetScreen(screen, width);
  DrawMemory(screen, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  return screen;
}

// The colours with cells, as "colour:cells" in colour order.
std::string Counts(const std::array<int64_t, 16>& counts) {
  std::string text;
  for (std::size_t color = 0; color < counts.size(); ++color) {
    if (counts[color] != 0)
      text +=
          (text.empty() ? "" : " ") + std::to_string(color) + ":" + std::to_string(counts[color]);
  }
  return text;
}

struct Expected {
  std::string Bytes;
  uint32_t Width;
  uint64_t Lines;
  uint64_t Frames;
  std::string Foreground, Background;
  bool Ice = false, Extended = false;
};

TEST(Screen, SizeFramesAndColoursOfSmallDrawings) {
  const std::string full(80, 'x');
  const Expected cases[] = {
      {"abc", 3, 1, 1, "7:3", "0:3"},
      {"", 0, 0, 0, "", ""},
      {"   \r\n\x1b[30m\xdb", 0, 0, 1, "", ""},
      // The glyph in the last column wraps at once; CR LF after it leaves an empty line.
      {full + "y", 80, 2, 1, "7:81", "0:160"},
      {full + "\r\ny", 80, 3, 1, "7:81", "0:240"},
      {"ab\ncd", 2, 2, 1, "7:4", "0:4"},
      {"\tX\t\t\t\t\t\t\t\t\tZ", 80, 1, 1, "7:2", "0:80"},
      {"\x1b[200CX!", 80, 2, 1, "7:2", "0:160"},
      {"\x1b[44mab\x1b[K", 80, 1, 1, "7:2", "1:80"},
      {"ab\x1b[3D\x1b[5Dc", 2, 1, 2, "7:2", "0:2"},
      // Redraws start frames; drawing beside what was drawn does not.
      {"ab\r\ncd\x1b[Aef", 4, 2, 1, "7:6", "0:8"},
      {"ab\r\ncd\x1b[A\rXY", 2, 2, 2, "7:4", "0:4"},
      {"abc\x1b[s\x1b[2;1Hd\x1b[uef\x1b[1;1Hg", 5, 2, 2, "7:6", "0:10"},
      {"ab\x1b[2Jcd\x1b[2J\x1b[2Jef", 2, 1, 3, "7:2", "0:2"},
      {"\x1b[2J\x1b[Hab\x1b[2J", 0, 0, 1, "", ""},
      // Colours as the viewers show them: bold, blink as iCE, reverse, conceal, extended colours.
      {"\x1b[1;31;44mA\x1b[22mB", 2, 1, 1, "4:1 12:1", "1:2"},
      {"\x1b[5;47m \x1b[25m ", 2, 1, 1, "", "7:1 15:1", true},
      {"\x1b[1;33;44;7mX\x1b[27mY", 2, 1, 1, "9:1 14:1", "1:1 6:1"},
      {"\x1b[8;34mX\x1b[28mY", 2, 1, 1, "1:1", "0:2"},
      {"\x1b[93;104mX\x1b[39;49mY", 2, 1, 1, "7:1 14:1", "0:1 9:1", true},
      {"\x1b[38;5;196;48;5;21mX\x1b[38;2;0;255;0;48;5;226mY", 2, 1, 1, "2:1 4:1", "1:1 14:1", true,
       true},
      {"\x1b[1;255;0;0tX\x1b[0;0;0;170tY\x1b[0;300;300;300tZ\x1b[2;1;1;1tW", 4, 1, 1, "4:4",
       "0:1 1:1 15:2", true, true},
      {"\x1b[38;5m\x1b[38;5;256mX", 1, 1, 1, "7:1", "0:1"},
      {"|09A|20B|1x|", 6, 1, 1, "9:6", "0:1 4:5"},
      // The art ends at byte 26; ESC without "[" is dropped alone.
      {"ab\x1a\x1b[44mcd", 2, 1, 1, "7:2", "0:2"},
      {"\x1bXab\x1b\x1b[31mc", 4, 1, 1, "4:1 7:3", "0:4"},
      // Below the stored rows cells are counted as drawn, a redraw counting twice.
      {"\x1b[5000B\x1b[44mX\r\x1b[5000CY", 80, 5001, 1, "7:2", "0:400078 1:2"},
      {"\x1b[3000;3HX\rXX\rXXX", 3, 3000, 1, "7:6", "0:9000"},
  };
  for (const Expected& expected : cases) {
    const ScreenSummary summary = SummarizeScreen(Drawn(expected.Bytes));
    const std::string label = testing::PrintToString(expected.Bytes);
    EXPECT_EQ(summary.Width, expected.Width) << label;
    EXPECT_EQ(summary.Lines, expected.Lines) << label;
    EXPECT_EQ(summary.Frames, expected.Frames) << label;
    EXPECT_EQ(Counts(summary.Foreground), expected.Foreground) << label;
    EXPECT_EQ(Counts(summary.Background), expected.Background) << label;
    EXPECT_EQ(summary.Ice, expected.Ice) << label;
    EXPECT_EQ(summary.ExtendedColors, expected.Extended) << label;
  }
}

// The first row as glyph bytes, up to its last held cell, and the character set.
TEST(Screen, GlyphsAndCharacterSet) {
  const std::string utf8_art = "\xe2\x96\x88\xe2\x96\x80 caf\xc3\xa9 \xe2\x82\xac\xef\xbb\xbf!";
  const std::tuple<std::string, std::string, Charset> cases[] = {
      {"plain", "plain", Charset::kAscii},
      {"\xdb\xdf\xb0\x01\x07\x0c", "\xdb\xdf\xb0\x01\x07\x0c", Charset::kCp437},
      {utf8_art, "\xdb\xdf caf\x82 ?!", Charset::kUtf8},
      // One byte that starts no character makes the art code page 437.
      {utf8_art + "\xdb", utf8_art + "\xdb", Charset::kCp437},
      // Past the 4 KiB looked at, such a byte is its own glyph in UTF-8 art.
      {"\xc3\xa9" + std::string(4094, '.') + "\xdb\xc3", "\x82", Charset::kUtf8},
      {"\xe2\x96", "\xe2\x96", Charset::kCp437},
  };
  for (const auto& [bytes, glyphs, charset] : cases) {
    const Screen screen = Drawn(bytes);
    std::string row;
    for (Cell cell : ScreenRow(screen, 0).first(std::min<std::size_t>(glyphs.size(), 80)))
      row += static_cast<char>(cell.Glyph);
    EXPECT_EQ(row, glyphs) << testing::PrintToString(bytes);
    EXPECT_EQ(SummarizeScreen(screen).Characters, charset) << testing::PrintToString(bytes);
  }
  const Screen tail = Drawn("\xc3\xa9" + std::string(4094, '.') + "\xdb\xc3");
  EXPECT_EQ(ScreenRow(tail, 51)[15], (Cell{0xDB, 7}));
  EXPECT_EQ(ScreenRow(tail, 51)[16], (Cell{0xC3, 7}));
}

// The width a SAUCE record gives wraps the drawing; it is held to what the model allows, and
// no more rows are stored than kStoredCells holds.
TEST(Screen, WidthAndRowCap) {
  const std::tuple<uint32_t, uint32_t, uint64_t> cases[] = {
      {40, 40, 3}, {160, 81, 1}, {0, 1, 81}, {5000, 81, 1}};
  for (const auto& [width, screen_width, lines] : cases) {
    const ScreenSummary summary = SummarizeScreen(Drawn(std::string(81, 'x'), width));
    EXPECT_EQ(std::pair(summary.Width, summary.Lines), std::pair(screen_width, lines)) << width;
  }
  std::string tall;
  for (int row = 0; row < 2500; ++row) tall += "\x1b[44m" + std::to_string(row) + "\r\n";
  const Screen screen = Drawn(tall);
  EXPECT_EQ(StoredRows(screen), kStoredCells / 80);
  EXPECT_EQ(SummarizeScreen(screen).Lines, 2500u);
  EXPECT_EQ(ScreenRow(screen, 1999)[0], (Cell{'1', 0x17}));
}

// True colours are kept beside the cells as a viewer shows them, however the sequences that set
// them mix with the others; the attribute keeps the nearest VGA colour.
TEST(Screen, TrueColoursBesideTheCells) {
  constexpr Rgb kGray{170, 170, 170}, kBlack{}, kRed{170, 0, 0}, kGreen{0, 170, 0};
  // Long enough that the quick steps draw the start.
  const std::string start = std::string(300, '.') + "\r\n";
  const std::tuple<std::string, std::size_t, CellColors> cases[] = {
      {"\x1b[1;255;128;0tA", 0, {{255, 128, 0}, kBlack}},
      {"\x1b[0;1;2;3tA", 0, {kGray, {1, 2, 3}}},
      {"\x1b[38;2;10;20;30;48;2;40;50;60mA", 0, {{10, 20, 30}, {40, 50, 60}}},
      {"\x1b[38;5;196mA\x1b[38;5;3mB", 0, {{255, 0, 0}, kBlack}},
      {"\x1b[38;5;196mA\x1b[38;5;2mB", 1, {kGreen, kBlack}},
      // Another colour of the same side, in the same sequence or a later one, replaces it.
      {"\x1b[38;2;1;2;3m\x1b[31mA", 0, {kRed, kBlack}},
      {"\x1b[0;5;5;5t\x1b[38;2;1;2;3;0mA", 0, {kGray, kBlack}},
      {"\x1b[1;1;2;3t|02A", 0, {kGreen, kBlack}},
      {"\x1b[1;1;2;3t\x1b[44mA", 0, {{1, 2, 3}, {0, 0, 170}}},
      {"\x1b[38;2;1;2;3m\x1b[7mA", 0, {kBlack, {1, 2, 3}}},
      {"\x1b[38;2;1;2;3m\x1b[8mA", 0, {kBlack, kBlack}},
      // Cells drawn before the first true colour keep their attribute's; a clear keeps the pen.
      {"\x1b[31mB\x1b[1;9;9;9tA", 0, {kRed, kBlack}},
      {"\x1b[1;9;9;9tA\x1b[2JB", 0, {{9, 9, 9}, kBlack}},
      {start + "\x1b[1;9;9;9tA", 0, {kGray, kBlack}},
      {start + "\x1b[1;9;9;9tA", 80 * 4, {{9, 9, 9}, kBlack}},
      {"\x1b[0;1;2;3tA\x1b[K", 5, {kGray, {1, 2, 3}}},
  };
  for (const auto& [bytes, cell, colors] : cases) {
    const Screen screen = Drawn(bytes);
    ASSERT_TRUE(screen.TrueColor) << testing::PrintToString(bytes);
    ASSERT_EQ(screen.TrueColors.size(), screen.Cells.size());
    EXPECT_EQ(screen.TrueColors[cell], colors) << testing::PrintToString(bytes);
  }
  EXPECT_EQ(Drawn("\x1b[1;255;0;0tA").Cells[0].Attr, 4) << "the nearest VGA colour";
  EXPECT_FALSE(Drawn("\x1b[38;5;9mA").TrueColor) << "the first 16 are the VGA's own";
}

}  // namespace
}  // namespace tintrel
