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

// The range the second byte of a character takes after each lead byte, and its length.
struct Lead {
  uint8_t Length, Low, High;
};

constexpr Lead LeadOf(uint8_t byte) {
  if (byte >= 0xC2 && byte <= 0xDF) return {2, 0x80, 0xBF};
  if (byte == 0xE0) return {3, 0xA0, 0xBF};
  if (byte == 0xED) return {3, 0x80, 0x9F};
  if (byte >= 0xE1 && byte <= 0xEF) return {3, 0x80, 0xBF};
  if (byte == 0xF0) return {4, 0x90, 0xBF};
  if (byte >= 0xF1 && byte <= 0xF3) return {4, 0x80, 0xBF};
  if (byte == 0xF4) return {4, 0x80, 0x8F};
  return {0, 0, 0};
}

}  // namespace

Utf8Read ReadUtf8(const uint8_t* bytes, std::size_t size) {
  if (bytes[0] < 0x80) return {Utf8Read::kCharacter, 1, bytes[0]};
  const Lead lead = LeadOf(bytes[0]);
  if (lead.Length == 0) return {};
  char32_t code = bytes[0] & (0x7F >> lead.Length);
  for (std::size_t i = 1; i < lead.Length; ++i) {
    if (i == size) return {Utf8Read::kNeedMore, 1, 0};
    const uint8_t low = i == 1 ? lead.Low : 0x80, high = i == 1 ? lead.High : 0xBF;
    if (bytes[i] < low || bytes[i] > high) return {};
    code = code << 6 | (bytes[i] & 0x3F);
  }
  return {Utf8Read::kCharacter, lead.Length, code};
}

int GlyphOf(char32_t code) {
  if (code < 0x80) return static_cast<int>(code);
  if (code == 0xFEFF) return kNoGlyph;
  const auto& [table, size] = kGlyphsByCode;
  const auto end = table.begin() + size;
  const auto found = std::lower_bound(
      table.begin(), end, code, [](const CodeGlyph& entry, char32_t c) { return entry.Code < c; });
  return found != end && found->Code == code ? found->Glyph : kUnknownGlyph;
}

bool IsUtf8Text(const uint8_t* bytes, std::size_t size, bool more_follow) {
  for (std::size_t at = 0; at < size;) {
    const Utf8Read read = ReadUtf8(bytes + at, size - at);
    if (read.Outcome == Utf8Read::kNeedMore) return more_follow;
    if (read.Outcome == Utf8Read::kInvalid) return false;
    at += read.Length;
  }
  return true;
}

}  // namespace tintrel
