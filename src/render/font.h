// SPDX-License-Identifier: MIT
// The 8x16 font of the VGA text screens art was drawn on: a glyph for each code-page-437 byte,
// made at build time from a console font of Debian's (packaging/copyright names it).
#pragma once

#include <array>
#include <cstdint>

namespace tintrel {

inline constexpr uint32_t kGlyphWidth = 8;
inline constexpr uint32_t kGlyphHeight = 16;

// A glyph's rows, top first; the high bit of a row is its leftmost pixel.
using GlyphRows = std::array<uint8_t, kGlyphHeight>;

extern const std::array<GlyphRows, 256> kVgaFont;

}  // namespace tintrel
