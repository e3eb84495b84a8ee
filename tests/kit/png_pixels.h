// SPDX-License-Identifier: MIT
// A PNG read back into RGB by libspng, so that tests check the pixels a viewer shows.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "screen/vga_palette.h"

namespace tintrel::testkit {

struct PngPixels {
  uint32_t Width = 0, Height = 0;
  std::vector<uint8_t> Rgb8;
  std::string Failure;  // what libspng said of bytes it could not read; empty when it read them

  Rgb At(uint64_t x, uint64_t y) const {
    const std::size_t at = (y * Width + x) * 3;
    return {Rgb8[at], Rgb8[at + 1], Rgb8[at + 2]};
  }
};

PngPixels ReadPng(std::span<const uint8_t> png);
PngPixels ReadPngFile(const std::string& path);

}  // namespace tintrel::testkit
