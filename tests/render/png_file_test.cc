// SPDX-License-Identifier: MIT
#include "render/png_file.h"

#include <gtest/gtest.h>
#include <spng.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "io/fault.h"
#include "kit/temp_dir.h"

namespace tintrel {
namespace {

// What libspng reads back: the palette and the indices, the chunks' CRCs and Adler-32 checked.
Picture Decode(const std::vector<uint8_t>& png) {
  spng_ctx* context = spng_ctx_new(0);
  spng_set_png_buffer(context, png.data(), png.size());
  spng_ihdr header{};
  EXPECT_EQ(spng_get_ihdr(context, &header), 0);
  EXPECT_EQ(header.bit_depth, 8);
  EXPECT_EQ(header.color_type, SPNG_COLOR_TYPE_INDEXED);
  spng_plte palette{};
  EXPECT_EQ(spng_get_plte(context, &palette), 0);
  Picture picture{header.width, header.height, {}, {}};
  for (uint32_t i = 0; i < palette.n_entries; ++i)
    picture.Palette.push_back(
        {palette.entries[i].red, palette.entries[i].green, palette.entries[i].blue});
  std::size_t size = 0;
  spng_decoded_image_size(context, SPNG_FMT_PNG, &size);
  picture.Pixels.resize(size);
  EXPECT_EQ(spng_decode_image(context, picture.Pixels.data(), size, SPNG_FMT_PNG, 0), 0);
  spng_ctx_free(context);
  return picture;
}

enum class Fill { kFlat, kRepeatedRows, kNoisy };

Picture Make(uint32_t width, uint32_t height, Fill fill, uint32_t colours) {
  Picture picture{width, height, {}, std::vector<uint8_t>(std::size_t{width} * height)};
  for (uint32_t i = 0; i < colours; ++i)
    picture.Palette.push_back(
        {static_cast<uint8_t>(i), static_cast<uint8_t>(i * 7), static_cast<uint8_t>(255 - i)});
  uint32_t seed = 12345;
  for (std::size_t at = 0; at < picture.Pixels.size(); ++at) {
    seed = seed * 1103515245 + 12345;
    const std::size_t x = at % width, y = at / width;
    const std::size_t value = fill == Fill::kFlat           ? 3
                              : fill == Fill::kRepeatedRows ? x * 5 + y / 8
                                                            : seed >> 16;
    picture.Pixels[at] = static_cast<uint8_t>(value % colours);
  }
  return picture;
}

struct PictureCase {
  const char* Name;
  Picture Shape;
};

const std::vector<PictureCase>& Pictures() {
  static const std::vector<PictureCase> cases = {
      {"flat", Make(320, 400, Fill::kFlat, 16)},
      {"repeated rows", Make(320, 400, Fill::kRepeatedRows, 240)},
      {"noisy", Make(700, 500, Fill::kNoisy, 256)},
      {"one pixel", Make(1, 1, Fill::kFlat, 4)},
      {"one colour", Make(9, 3, Fill::kFlat, 1)},
      {"wide", Make(40000, 3, Fill::kNoisy, 16)},
      {"tall", Make(3, 40000, Fill::kRepeatedRows, 16)},
  };
  return cases;
}

void ExpectSame(const Picture& got, const Picture& want, const char* name) {
  EXPECT_EQ(got.Width, want.Width) << name;
  EXPECT_EQ(got.Height, want.Height) << name;
  EXPECT_TRUE(got.Palette == want.Palette) << name;
  EXPECT_TRUE(got.Pixels == want.Pixels) << name;
}

TEST(PngFile, EncodedPictureDecodesToItsPixelsAndPalette) {
  for (const PictureCase& test : Pictures())
    ExpectSame(Decode(EncodePng(test.Shape)), test.Shape, test.Name);
}

TEST(PngFile, PictureFedInBandsDecodesToItsPixels) {
  for (const PictureCase& test : Pictures()) {
    for (uint32_t band : {1u, 7u, 16u, 100000u}) {
      const Picture& picture = test.Shape;
      PngBands png(picture.Width, picture.Height, picture.Palette);
      std::vector<uint8_t> file;
      for (uint32_t y = 0; y < picture.Height; y += band) {
        const std::size_t rows = std::min(band, picture.Height - y);
        AddPngRows(png, std::span(picture.Pixels)
                            .subspan(std::size_t{y} * picture.Width, rows * picture.Width));
        file.insert(file.end(), png.Out.begin(), png.Out.end());
        png.Out.clear();
      }
      FinishPng(png);
      file.insert(file.end(), png.Out.begin(), png.Out.end());
      ExpectSame(Decode(file), picture, test.Name);
    }
  }
}

TEST(PngFile, PicturesThatCannotBeEncodedAreFaults) {
  Picture no_palette = Make(4, 4, Fill::kFlat, 1);
  no_palette.Palette.clear();
  Picture short_pixels = Make(4, 4, Fill::kFlat, 4);
  short_pixels.Pixels.pop_back();
  for (const Picture& picture : {no_palette, short_pixels, Picture{0, 0, {{1, 2, 3}}, {}}})
    EXPECT_THROW(EncodePng(picture), Fault);

  const Picture picture = Make(4, 3, Fill::kFlat, 4);
  PngBands too_many(4, 2, picture.Palette);
  EXPECT_THROW(AddPngRows(too_many, picture.Pixels), Fault);
  PngBands partial_row(4, 3, picture.Palette);
  EXPECT_THROW(AddPngRows(partial_row, std::span(picture.Pixels).first(5)), Fault);
  PngBands too_few(4, 3, picture.Palette);
  AddPngRows(too_few, std::span(picture.Pixels).first(8));
  EXPECT_THROW(FinishPng(too_few), Fault);
}

std::string Contents(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

TEST(PngFile, WhatStandsAtThePicturesNameIsReplacedNeverFollowed) {
  const testkit::TempDir outside, folder;
  const std::string target = testkit::WriteFile(outside.Path + "/kept.txt", "left as it was");
  struct Case {
    const char* Name;
    bool Link;  // a symbolic link to `target`, else a file of its own
  };
  const Picture picture = Make(5, 4, Fill::kRepeatedRows, 8);
  for (const Case& test : {Case{"link", true}, Case{"file", false}}) {
    const std::string path = folder.Path + "/" + test.Name + ".png";
    if (test.Link) {
      ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0);
    } else {
      testkit::WriteFile(path, "an older picture");
    }
    EXPECT_EQ(WritePngFile(picture, path), "") << test.Name;
    EXPECT_FALSE(std::filesystem::is_symlink(path)) << test.Name;
    const std::string written = Contents(path);
    ExpectSame(Decode({written.begin(), written.end()}), picture, test.Name);
    EXPECT_EQ(Contents(target), "left as it was") << test.Name;
  }
  // Nothing but the pictures is left in the folder, and nothing new outside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path), {}), 2);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(outside.Path), {}), 1);
}

TEST(PngFile, UnwritablePictureReportsWhyAndLeavesNothing) {
  const testkit::TempDir folder;
  const std::string path = folder.Path + "/missing/art.png";
  EXPECT_NE(WritePngFile(Make(2, 2, Fill::kFlat, 4), path).find("cannot write " + path),
            std::string::npos);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path), {}), 0);
}

}  // namespace
}  // namespace tintrel
