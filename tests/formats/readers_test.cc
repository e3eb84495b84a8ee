// SPDX-License-Identifier: MIT
#include "formats/readers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "formats/xbin_runs.h"

namespace tintrel {
namespace {

using namespace std::string_literals;

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// One drawing of 4 columns and 2 rows, as each format stores it.
const std::vector<Cell> kCells = {{'A', 0x1F}, {'B', 0x1F}, {0xDB, 0x4E}, {0xDB, 0x4E},
                                  {' ', 0x07}, {'x', 0x02}, {0xB0, 0x13}, {0xB0, 0x13}};

std::string Pairs(std::size_t from, std::size_t count, std::size_t width) {
  std::string bytes;
  for (std::size_t i = from; i < from + count; ++i)
    bytes += {char(kCells[i].Glyph), char(kCells[i].Attr)};
  return bytes + std::string(2 * (width - count), '\0');
}

std::string Palette() {
  std::string palette;
  for (int i = 0; i < 48; ++i) palette += char(i);
  return palette;
}

const std::string kFont8 = std::string(8 * 256, '\x18');
const std::string kFont16 = std::string(16 * 256, '\x3c');

struct Stored {
  std::string Name;
  std::string Bytes;
  ArtFormat Format;
  SauceFacts Sauce = {};
  bool Palette = false;
  uint8_t FontHeight = 0;
  bool BlankCells = false;  // the format stores the blank rest of each row as cells
};

std::vector<Stored> EveryFormat() {
  return {
      {"xbin",
       "XBIN\x1a\x04\0\x02\0\x08\x03"s + Palette() + kFont8 + Pairs(0, 8, 8),
       ArtFormat::kXbin,
       {},
       true,
       8},
      {"xbin compressed",
       "XBIN\x1a\x04\0\x02\0\x10\x04"
       "\x81\x1f"
       "AB"
       "\xc1\xdb\x4e"
       "\x01 \x07x\x02"
       "\x41\xb0\x13\x13"s,
       ArtFormat::kXbin},
      {"bin", Pairs(0, 8, 8), ArtFormat::kBin, {.Present = true, .DataType = 5, .FileType = 2}},
      {"adf",
       "\x01"s + Palette() + Palette() + Palette() + Palette() + kFont16 + Pairs(0, 4, 80) +
           Pairs(4, 4, 80),
       ArtFormat::kAdf,
       {},
       true,
       16,
       true},
      {"idf",
       "\x04"
       "1.4\0\0\0\0\x03\0\x01\0"
       "A\x1f"
       "B\x1f"
       "\x01\0\x02\0\xdb\x4e"s +
           Pairs(4, 4, 4) + kFont16 + Palette(),
       ArtFormat::kIdf,
       {},
       true,
       16},
      {"tundra",
       "\x18TUNDRA24"
       "\x06"
       "A\0\xff\xff\xff\0\0\0\xaa"
       "B"
       "\x06\xdb\0\xff\xff\x55\0\xaa\0\0\xdb"
       "\x01\0\0\0\x01\0\0\0\0"
       "\x06 \0\xaa\xaa\xaa\0\0\0\0"
       "\x02x\0\0\xaa\0"
       "\x06\xb0\0\0\xaa\xaa\0\0\0\xaa\xb0"s,
       ArtFormat::kTundra},
      {"pcboard", "@X1FAB@X4E\xdb\xdb\r\n@X07 @X02x@X13\xb0\xb0", ArtFormat::kPcboard},
      {"avatar",
       "\x16\x01\x1f"
       "AB\x16\x01\x4e\x19\xdb\x02\r\n\x16\x01\x07 \x16\x01\x02x\x16\x01\x13\x19\xb0\x02"s,
       ArtFormat::kAvatar},
  };
}

TEST(Readers, TheSameDrawingInEveryFormatGivesTheSameCells) {
  for (const Stored& stored : EveryFormat()) {
    SCOPED_TRACE(stored.Name);
    Drawing drawing;
    ASSERT_TRUE(ReadDrawing(drawing, stored.Format, Bytes(stored.Bytes), stored.Sauce));
    std::vector<Cell> cells;
    for (uint32_t row = 0; row < 2; ++row) {
      const auto stored_row = ScreenRow(drawing.Grid, row).first(4);
      cells.insert(cells.end(), stored_row.begin(), stored_row.end());
    }
    EXPECT_EQ(cells, kCells);
    const ScreenSummary summary = SummarizeScreen(drawing.Grid);
    EXPECT_EQ(summary.Width, 4u);
    EXPECT_EQ(summary.Lines, 2u);
    EXPECT_EQ(summary.Characters, Charset::kCp437);
    EXPECT_EQ(drawing.Palette.has_value(), stored.Palette);
    if (stored.Palette) {
      EXPECT_EQ((*drawing.Palette)[1], (ArtColor{3, 4, 5})) << "the 6-bit values";
    }
    EXPECT_EQ(drawing.Font.Height, stored.FontHeight);
    EXPECT_EQ(drawing.Font.Rows.size(), stored.FontHeight * 256u);
    if (stored.BlankCells) continue;
    // Each cell charged to its two base colours, black among them; low and high characters.
    const ScanState tally = TallyOf(drawing);
    const std::array<int64_t, 8> expected = {2, 4, 1, 2, 2, 0, 2, 3};
    for (int color = 0; color < 8; ++color)
      EXPECT_EQ(tally.ColorTable[color].Count, expected[color]);
    EXPECT_EQ(tally.LowAsciiCount, 4);
    EXPECT_EQ(tally.HighAsciiCount, 4);
  }
}

// Runs of every kind and length, long enough that whole runs are taken at their longest: the
// cells must be those of taking them a cell at a time, which never does.
TEST(Readers, XbinRunsTakenWholeGiveTheCellsOfRunsTakenCellByCell) {
  std::string runs;
  for (int length = 1; length <= 64; length += 7) {
    for (int kind = 0; kind < 4; ++kind) {
      runs += char(kind << 6 | (length - 1));
      const int bytes = kind == 0 ? 2 * length : kind == 3 ? 2 : 1 + length;
      for (int i = 0; i < bytes; ++i) runs += char(length * 31 + kind * 7 + i);
    }
  }
  auto decode = [&runs](std::size_t step) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(runs.data());
    XbinRuns decoder{bytes, bytes + runs.size()};
    std::vector<Cell> cells(2000);
    std::size_t filled = 0;
    while (std::size_t got = DecodeXbinRuns(decoder, cells.data() + filled, step)) filled += got;
    cells.resize(filled);
    return cells;
  };
  const std::vector<Cell> whole = decode(1000), one_by_one = decode(1);
  EXPECT_EQ(whole.size(), 4u * (1 + 8 + 15 + 22 + 29 + 36 + 43 + 50 + 57 + 64));
  EXPECT_EQ(whole, one_by_one);
}

TEST(Readers, TrueColourKeepsItsValuesBesideTheNearestVgaColour) {
  Drawing drawing;
  const std::string bytes =
      "\x18TUNDRA24\x06"
      "A\0\x10\x20\x30\0\xf0\x80\x01"s;
  ReadTundra(drawing, Bytes(bytes), {});
  ASSERT_GE(drawing.Grid.TrueColors.size(), 1u);
  EXPECT_EQ(drawing.Grid.TrueColors[0], (CellColors{{0x10, 0x20, 0x30}, {0xf0, 0x80, 0x01}}));
  EXPECT_EQ(ScreenRow(drawing.Grid, 0)[0].Attr, 0x60);
  EXPECT_TRUE(SummarizeScreen(drawing.Grid).ExtendedColors);
}

TEST(Readers, BlinkIsClearedWithoutIceAndKeptWithIt) {
  Drawing drawing;
  const std::string cells = "A\x9f"s;
  ReadBin(drawing, Bytes(cells), {});
  EXPECT_EQ(ScreenRow(drawing.Grid, 0)[0].Attr, 0x1F);
  ReadBin(drawing, Bytes(cells), {.Present = true, .DataType = 5, .FileType = 40, .Ice = true});
  EXPECT_EQ(ScreenRow(drawing.Grid, 0)[0].Attr, 0x9F);
  EXPECT_EQ(drawing.Grid.Width, 80u);
  ReadXbin(drawing, Bytes("XBIN\x1a\x01\0\x01\0\x10\x08"
                          "A\x9f"s));
  EXPECT_EQ(ScreenRow(drawing.Grid, 0)[0].Attr, 0x9F);
}

TEST(Readers, AFontOf512GlyphsTakesTheForegroundsBrightBitForItsHalf) {
  Drawing drawing;
  ReadXbin(drawing, Bytes("XBIN\x1a\x02\0\x01\0\x01\x1a"s + std::string(512, '\x81') +
                          "A\x1f"
                          "B\x17"));
  EXPECT_EQ(drawing.Font.Glyphs, 512);
  EXPECT_EQ(drawing.FontBanks, (std::vector<uint8_t>{1, 0}));
  EXPECT_EQ(ScreenRow(drawing.Grid, 0)[0].Attr, 0x17);
  EXPECT_EQ(ScreenRow(drawing.Grid, 0)[1].Attr, 0x17);
}

struct Hostile {
  std::string Name;
  ArtFormat Format;
  std::string Bytes;
};

TEST(Readers, HostileHeadersGiveAFormatError) {
  const Hostile cases[] = {
      {"xbin width 0", ArtFormat::kXbin, "XBIN\x1a\0\0\x19\0\x10\0A\x07"s},
      {"xbin width 65535", ArtFormat::kXbin, "XBIN\x1a\xff\xff\x19\0\x10\0A\x07"s},
      {"xbin run past the end", ArtFormat::kXbin,
       "XBIN\x1a\x50\0\x19\0\x10\x04\x3f"
       "A\x07"s},
      {"xbin glyph run past the end", ArtFormat::kXbin,
       "XBIN\x1a\x50\0\x19\0\x10\x04\x45\xdb\x07"s},
      {"xbin font 0 lines", ArtFormat::kXbin, "XBIN\x1a\x50\0\x19\0\0\x02"s + kFont8},
      {"xbin font 255 lines", ArtFormat::kXbin, "XBIN\x1a\x50\0\x19\0\xff\x02"s + kFont16},
      {"xbin font cut short", ArtFormat::kXbin, "XBIN\x1a\x50\0\x19\0\x10\x02"s + kFont8},
      {"xbin palette cut short", ArtFormat::kXbin, "XBIN\x1a\x50\0\x19\0\x10\x01"s + "\x3f\x3f"},
      {"xbin header cut short", ArtFormat::kXbin, "XBIN\x1a\x50\0"s},
      {"adf palette cut short", ArtFormat::kAdf, "\x01"s + std::string(100, '\x10')},
      {"adf font cut short", ArtFormat::kAdf, "\x01"s + std::string(192 + 4000, '\x10')},
      {"adf version", ArtFormat::kAdf, "\x02"s + std::string(4400, '\x10')},
      {"idf width 0", ArtFormat::kIdf,
       "\x04"
       "1.4\x05\0\0\0\x04\0\0\0"s +
           kFont16 + Palette()},
      {"idf width 65535", ArtFormat::kIdf,
       "\x04"
       "1.4\0\0\0\0\xfe\xff\0\0"s +
           kFont16 + Palette()},
      {"idf run past the end", ArtFormat::kIdf,
       "\x04"
       "1.4\0\0\0\0\x4f\0\0\0\x01\0\xff\xff"s +
           kFont16 + Palette()},
      {"idf palette cut short", ArtFormat::kIdf,
       "\x04"
       "1.4\0\0\0\0\x4f\0\0\0"s +
           kFont16},
      {"tundra move cut short", ArtFormat::kTundra, "\x18TUNDRA24\x01\0\0\0\x01"s},
      {"tundra move past the width", ArtFormat::kTundra, "\x18TUNDRA24\x01\0\0\0\0\0\x01\0\0"s},
      {"tundra colour cut short", ArtFormat::kTundra,
       "\x18TUNDRA24\x06"
       "A\0\xff"s},
  };
  for (const Hostile& c : cases) {
    Drawing drawing;
    try {
      ReadDrawing(drawing, c.Format, Bytes(c.Bytes), {});
      ADD_FAILURE() << c.Name << ": no error";
    } catch (const Fault& fault) {
      EXPECT_EQ(fault.Kind, "FormatError") << c.Name;
    }
    // Whatever was drawn, no more rows were kept than the bytes could fill.
    EXPECT_LE(drawing.Grid.Cells.capacity(), c.Bytes.size() + 1024 * 2) << c.Name;
  }
}

std::string RowText(const Drawing& drawing, std::size_t count) {
  std::string text;
  for (const Cell cell : ScreenRow(drawing.Grid, 0).first(count))
    text += cell.Glyph == 0 ? '.' : char(cell.Glyph);
  return text;
}

struct Coded {
  ArtFormat Format;
  std::string Bytes;
  std::string Row;
  uint8_t Attr = 7;  // of the first cell
};

TEST(Readers, TheCodesOfTextFormatsActAsTheirDescriptionsSay) {
  const Coded cases[] = {
      {ArtFormat::kAvatar,
       "ab\x0c"
       "cd",
       "cd..", 3},
      {ArtFormat::kAvatar, "\x19x\x03", "xxx."},
      {ArtFormat::kAvatar,
       "\x19x\x1a"
       "\x1a"
       "yz",
       "xxxx"},
      {ArtFormat::kAvatar, "abc\x16\x08\x01\x02Z", "aZc."},
      {ArtFormat::kAvatar, "abcd\x16\x05\x16\x05\x16\x07", "ab  "},
      {ArtFormat::kAvatar,
       "\x16\x19\x02"
       "ab\x03",
       "ababab"},
      {ArtFormat::kAvatar, "abcd\x16\x05\x16\x05\x16\x09XY", "abXYcd"},
      {ArtFormat::kAvatar, "abcd\x16\x05\x16\x05\x16\x05\x16\x0e", "acd."},
      {ArtFormat::kAvatar, "\x16\x0d\x4e*\x01\x03", "***.", 0x4E},
      {ArtFormat::kAvatar,
       "\x16\x01\x9f"
       "a\x16\x02"
       "b",
       "ab", 0x1F},
      {ArtFormat::kAvatar, "ab\x1b[1;31mc", "abc"},
      {ArtFormat::kAvatar, "\x7f", "\x7f"},
      {ArtFormat::kPcboard, "ab@CLS@cd", "cd.."},
      {ArtFormat::kPcboard, "ab@POS:6@c", "ab...c"},
      {ArtFormat::kPcboard, "a@b@Xzz@POS:x@", "a@b@Xzz@POS:x@"},
      {ArtFormat::kPcboard,
       "@x4eA|07\x1a"
       "B",
       "A|07.", 0x4E},
  };
  for (const Coded& c : cases) {
    Drawing drawing;
    ReadDrawing(drawing, c.Format, Bytes(c.Bytes), {});
    EXPECT_EQ(RowText(drawing, c.Row.size()), c.Row) << testing::PrintToString(c.Bytes);
    EXPECT_EQ(ScreenRow(drawing.Grid, 0)[0].Attr, c.Attr) << testing::PrintToString(c.Bytes);
    const bool eight_bit = std::any_of(c.Row.begin(), c.Row.end(), [](char b) { return b & 0x80; });
    EXPECT_EQ(drawing.Grid.Characters, eight_bit ? Charset::kCp437 : Charset::kAscii);
  }
}

}  // namespace
}  // namespace tintrel
