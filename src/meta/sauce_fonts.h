// SPDX-License-Identifier: MIT
// The fonts a SAUCE record names (TInfoS) and the ones the pictures can draw: a code page's glyphs
// at one height, made at build time from Debian's console fonts, or the Amiga's Topaz. A name
// the pictures cannot draw as named comes out as the nearest font they have, marked substituted.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace tintrel {

// A font the pictures draw: the glyph of each byte of a code page (named as iconv names it), at
// one height.
struct ShippedFont {
  std::string_view CodePage;
  uint8_t Height = 16;
  bool Amiga = false;  // Topaz's glyphs rather than the VGA's
};

// The IBM sizes: VGA 16 lines, EGA 14, VGA50 and EGA43 8. Code pages 720, 864 and 872 and
// Kamenický and Mazovia are not here: no code page table or console font has all their characters.
inline constexpr std::array<std::string_view, 17> kShippedCodePages = {
    "CP437", "CP737", "CP775", "ISO-8859-1", "CP850", "CP852", "CP855", "CP857", "CP858",
    "CP860", "CP861", "CP862", "CP863",      "CP865", "CP866", "CP869", "MIK"};
inline constexpr std::array<uint8_t, 3> kShippedHeights = {16, 14, 8};

// kShippedFonts: every code page at every height, then Topaz (ISO-8859-1, 16 lines).
inline constexpr std::size_t kShippedFontCount =
    kShippedCodePages.size() * kShippedHeights.size() + 1;
inline constexpr std::size_t kTopazFont = kShippedFontCount - 1;

constexpr ShippedFont ShippedFontAt(std::size_t font) {
  if (font == kTopazFont) return {"ISO-8859-1", 16, true};
  return {kShippedCodePages[font / kShippedHeights.size()],
          kShippedHeights[font % kShippedHeights.size()]};
}

// The font a record's name asks for: an index of ShippedFontAt. Font 0 is the VGA's code page 437
// at 16 lines, which is also what no name at all gets.
struct FontChoice {
  std::size_t Font = 0;
  bool Substituted = false;  // the name is unknown or asks for a font not shipped
};

FontChoice ChooseFont(std::string_view sauce_name);

}  // namespace tintrel
