// SPDX-License-Identifier: MIT
#include "screen/utf8_glyphs.h"

#include <algorithm>
#include <array>
#include <utility>

#include "text/cp437.h"

namespace tintrel {

namespace {

struct CodeGlyph {
  char16_t Code;
  uint8_t Glyph;
};

// Every character of code page 437 above U+007F with its byte, by character. The glyphs the
// drawing programs also write for a character: U+03B2 for the sharp s of 225, U+2205 and U+00F8
// for the empty set of 237, U+2208 for 238, U+00A6 for 124.
constexpr auto kGlyphsByCode = [] {
  constexpr std::array<CodeGlyph, 5> kAliases = {
      {{0x03B2, 225}, {0x2205, 237}, {0x00F8, 237}, {0x2208, 238}, {0x00A6, 124}}};
  std::array<CodeGlyph, 256 - 96 + kAliases.size()> table{};
  std::size_t n = 0;
  for (int byte = 1; byte < 256; ++byte) {
    if (kCp437[byte] >= 0x80) table[n++] = {kCp437[byte], static_cast<uint8_t>(byte)};
  }
  for (const CodeGlyph& alias : kAliases) table[n++] = alias;
  std::sort(table.begin(), table.begin() + n,
            [](const CodeGlyph& a, const CodeGlyph& b) { return a.Code < b.Code; });
  return std::pair{table, n};
}();

}  // namespace

int GlyphOf(char32_t code) {
  if (code < 0x80) return static_cast<int>(code);
  if (code == 0xFEFF) return kNoGlyph;
  const auto& [table, size] = kGlyphsByCode;
  const auto end = table.begin() + size;
  const auto found = std::lower_bound(
      table.begin(), end, code, [](const CodeGlyph& entry, char32_t c) { return entry.Code < c; });
  return found != end && found->Code == code ? found->Glyph : kUnknownGlyph;
}

}  // namespace tintrel
