// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "catalog/pictures.h"
#include "kit/png_pixels.h"
#include "kit/sauce_bytes.h"
#include "kit/temp_dir.h"
#include "meta/file_digest.h"
#include "meta/sauce_types.h"

namespace tintrel {
namespace {

using Decoded = testkit::PngPixels;

Decoded DecodeFile(const std::string& path) {
  Decoded decoded = testkit::ReadPngFile(path);
  EXPECT_EQ(decoded.Failure, "");
  return decoded;
}

// Both pictures of the bytes, drawn as the catalogue draws a file held whole.
struct Drawn {
  Decoded Thumbnail, Full;
};

Drawn DrawBoth(const std::string& bytes, PictureShelf& shelf, bool held = true) {
  testkit::TempDir dir;
  shelf.Folder = dir.Path + "/thumbnails";
  shelf.FullFolder = dir.Path + "/pictures";
  std::filesystem::create_directory(shelf.Folder);
  std::filesystem::create_directory(shelf.FullFolder);
  const std::span<const uint8_t> span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  ArtTools tools;
  tools.TopLines = UINT32_MAX;
  ArtFacts facts;
  HeldFacts(facts, "art.ans", span, tools);
  DigestHeld(facts, span);
  Row row;
  row[Col("art_md5")] = TextField(DigestToHex(facts.Scanned.ArtMd5));
  PictureWork work;
  ShelvePicture(shelf, work, row, facts, held ? HeldArt(span) : ArtAgain{});
  EXPECT_EQ(shelf.Failure, "");
  return {DecodeFile(row[Col("thumbnail")].Value), DecodeFile(row[Col("picture")].Value)};
}

std::string WithSauce(std::string art, uint16_t width, uint16_t lines, uint8_t flags) {
  testkit::SauceFields fields;
  fields.DataType = kCharacterData;
  fields.FileType = 1;
  fields.TInfo = {width, lines, 0, 0};
  fields.TFlags = flags;
  return art + "\x1a" + testkit::SauceBytes(fields);
}

// A drawing of `lines` lines of `columns` red spaces, a white block in its last cell.
std::string Filled(uint32_t columns, uint32_t lines) {
  return "\x1b[41m" + std::string(std::size_t{columns} * lines - 1, ' ') + "\x1b[1;37m\xdb";
}

TEST(Pictures, TallAndWideDrawingsAreWholeEveryLineAndColumn) {
  struct Case {
    const char* Name;
    uint32_t Columns, Lines;
    bool Held;  // the bytes are there to draw again
    uint64_t LinesShown;
  };
  const Case cases[] = {
      {"80 columns, in the stored rows", 80, 25, true, 25},
      {"80 columns, past the stored rows, drawn again", 80, 3'000, true, 3'000},
      {"past the stored rows, bytes gone: the stored rows", 80, 3'000, false, 2'000},
      {"700 columns", 700, 5, true, 5},
      {"1,450 columns", 1'450, 3, true, 3},
  };
  for (const Case& test : cases) {
    std::string art = Filled(test.Columns, test.Lines);
    if (test.Columns != 80) art = WithSauce(art, static_cast<uint16_t>(test.Columns), 0, 0);
    PictureShelf shelf;
    const Drawn drawn = DrawBoth(art, shelf, test.Held);
    ASSERT_EQ(drawn.Full.Width, test.Columns * 8) << test.Name;
    ASSERT_EQ(drawn.Full.Height, test.LinesShown * 16) << test.Name;
    const Rgb red = kVgaPalette[4], white = kVgaPalette[15];
    EXPECT_TRUE(drawn.Full.At(0, 0) == red) << test.Name;
    // The last cell's block is whole where the drawing is.
    const bool whole = test.LinesShown == test.Lines;
    EXPECT_EQ(drawn.Full.At(drawn.Full.Width - 1, drawn.Full.Height - 1) == white, whole)
        << test.Name;
    EXPECT_TRUE(drawn.Full.At(drawn.Full.Width - 9, drawn.Full.Height - 1) == red) << test.Name;
    // The thumbnail shows the whole width, at most 320 pixels.
    EXPECT_EQ(drawn.Thumbnail.Width, std::min(320u, test.Columns * 4)) << test.Name;
    EXPECT_LE(drawn.Thumbnail.Height, 400u) << test.Name;
    EXPECT_TRUE(drawn.Thumbnail.At(drawn.Thumbnail.Width - 1, 0) == red) << test.Name;
  }
}

TEST(Pictures, LegacyAspectStretchesByTheStatedFactor) {
  constexpr uint8_t kNinePixel = 2 << 1, kEightPixel = 1 << 1, kLegacy = 1 << 3, kSquare = 2 << 3;
  struct Case {
    const char* Name;
    uint8_t Flags;
    bool Aspect;
    uint32_t Scale;
    uint32_t Width, Height;    // of 80 columns and 20 lines
    uint32_t ThumbnailHeight;  // 320 wide: cells 4 pixels wide, 7 tall (9-pixel) or 8
  };
  const Case cases[] = {
      {"9-pixel cells, legacy: 1.35", kNinePixel | kLegacy, true, 1, 720, 432, 189},
      {"8-pixel cells, legacy: 1.2", kEightPixel | kLegacy, true, 1, 640, 384, 192},
      {"legacy, no letter spacing: 1.2", kLegacy, true, 1, 640, 384, 192},
      {"legacy, square pixels asked", kNinePixel | kLegacy, false, 1, 720, 320, 140},
      {"square", kNinePixel | kSquare, true, 1, 720, 320, 140},
      {"legacy at scale 2", kEightPixel | kLegacy, true, 2, 1280, 768, 192},
  };
  for (const Case& test : cases) {
    PictureShelf shelf;
    shelf.Aspect = test.Aspect;
    shelf.Scale = test.Scale;
    const Drawn drawn = DrawBoth(WithSauce(Filled(80, 20), 80, 20, test.Flags), shelf);
    EXPECT_EQ(drawn.Full.Width, test.Width) << test.Name;
    EXPECT_EQ(drawn.Full.Height, test.Height) << test.Name;
    EXPECT_EQ(drawn.Thumbnail.Width, 320u) << test.Name;
    EXPECT_EQ(drawn.Thumbnail.Height, test.ThumbnailHeight) << test.Name;
    // The last line's block ends the picture: stretching loses no row of it.
    EXPECT_TRUE(drawn.Full.At(test.Width - 1, test.Height - 1) == kVgaPalette[15]) << test.Name;
  }
}

TEST(Pictures, TrueColoursShowInFullSizeWhereAPaletteHoldsThem) {
  // The first cell's ink in its foreground, the second cell's empty background.
  struct Case {
    const char* Name;
    std::string Art;
    Rgb First, Second;
  };
  std::string many;  // 300 colours: past a palette, so the nearest VGA colours
  for (int i = 0; i < 300; ++i)
    many += "\x1b[38;2;" + std::to_string(i % 256) + ";" + std::to_string(i / 256) + ";7m\xdb";
  const Case cases[] = {
      {"24-bit foreground and background",
       "\x1b[38;2;10;20;30m\xdb\x1b[48;2;200;100;50m ",
       {10, 20, 30},
       {200, 100, 50}},
      {"256 colours", "\x1b[38;5;196m\xdb\x1b[48;5;21m ", {255, 0, 0}, {0, 0, 255}},
      {"no true colour", "\x1b[1;31m\xdb\x1b[44m ", kVgaPalette[12], kVgaPalette[1]},
      {"past 256 colours", "\x1b[38;2;255;255;255m\xdb\x1b[48;2;0;0;170m " + many, kVgaPalette[15],
       kVgaPalette[1]},
  };
  for (const Case& test : cases) {
    PictureShelf shelf;
    const Drawn drawn = DrawBoth(test.Art, shelf);
    EXPECT_TRUE(drawn.Full.At(0, 0) == test.First) << test.Name;
    EXPECT_TRUE(drawn.Full.At(8, 0) == test.Second) << test.Name;
  }
}

}  // namespace
}  // namespace tintrel
