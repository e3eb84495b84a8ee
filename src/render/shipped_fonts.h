// SPDX-License-Identifier: MIT
// The glyphs of the fonts in kShippedFonts, made at build time with kVgaFont (packaging/copyright
// names their sources).
#pragma once

#include <cstddef>
#include <cstdint>

#include "meta/sauce_fonts.h"
#include "render/text_picture.h"

namespace tintrel {

// Where a shipped font's rows begin among all of them: 256 glyphs of each font before it.
constexpr std::size_t ShippedGlyphOffset(std::size_t font) {
  std::size_t offset = 0;
  for (std::size_t before = 0; before < font; ++before)
    offset += std::size_t{256} * ShippedFontAt(before).Height;
  return offset;
}

inline constexpr std::size_t kShippedGlyphBytes = ShippedGlyphOffset(kShippedFontCount);

extern const uint8_t kShippedGlyphRows[kShippedGlyphBytes];

// A shipped font as the pictures take it: 256 glyphs of its height.
inline PictureFont ShippedGlyphs(std::size_t font) {
  const uint32_t height = ShippedFontAt(font).Height;
  return {{kShippedGlyphRows + ShippedGlyphOffset(font), std::size_t{256} * height}, height, 256};
}

}  // namespace tintrel
