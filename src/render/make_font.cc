// SPDX-License-Identifier: MIT
// Build step: reads 8x16 PSF console fonts (gzipped, as Debian ships them) and writes the source
// of kVgaFont, the glyph of each code-page-437 byte found through the fonts' Unicode tables. The
// first font that has a character gives its glyph, so a second font fills the gaps of the first.
//   make_font OUTPUT.cc FONT.psf.gz...
#include <zlib.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "render/font.h"
#include "text/cp437.h"

namespace {

using tintrel::GlyphRows;

// A character the fonts draw under another code point: the pointers of bytes 16 and 17.
constexpr std::array<std::pair<char32_t, char32_t>, 2> kStandIns = {
    {{0x25BA, 0x25B6}, {0x25C4, 0x25C0}}};

struct Font {
  std::map<char32_t, GlyphRows> Glyphs;
};

std::optional<std::vector<uint8_t>> ReadGzip(const char* path) {
  gzFile file = gzopen(path, "rb");
  if (file == nullptr) return std::nullopt;
  std::vector<uint8_t> bytes;
  uint8_t buffer[1 << 16];
  int got;
  while ((got = gzread(file, buffer, sizeof buffer)) > 0)
    bytes.insert(bytes.end(), buffer, buffer + got);
  const bool ok = got == 0;
  gzclose(file);
  if (!ok) return std::nullopt;
  return bytes;
}

uint32_t Le32(const std::vector<uint8_t>& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t{b[at + 3]} << 24;
}

// One UTF-8 character at `at`, which moves past it.
char32_t DecodeUtf8(const std::vector<uint8_t>& b, std::size_t& at) {
  const uint8_t lead = b[at++];
  const int more = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
  char32_t c = more == 0 ? lead : lead & (0x3F >> more);
  for (int i = 0; i < more && at < b.size(); ++i) c = c << 6 | (b[at++] & 0x3F);
  return c;
}

// PSF 1 and 2 with a Unicode table and 8x16 glyphs; an empty font for anything else.
Font ParsePsf(const std::vector<uint8_t>& b) {
  Font font;
  std::size_t glyphs_at, count, row_bytes = 1, glyph_size;
  bool psf2;
  if (b.size() >= 4 && b[0] == 0x36 && b[1] == 0x04) {
    psf2 = false;
    if ((b[2] & 2) == 0 || b[3] != tintrel::kGlyphHeight) return font;
    glyphs_at = 4;
    count = b[2] & 1 ? 512 : 256;
    glyph_size = b[3];
  } else if (b.size() >= 32 && Le32(b, 0) == 0x864AB572) {
    psf2 = true;
    if ((Le32(b, 12) & 1) == 0 || Le32(b, 24) != tintrel::kGlyphHeight || Le32(b, 28) != 8)
      return font;
    glyphs_at = Le32(b, 8);
    count = Le32(b, 16);
    glyph_size = Le32(b, 20);
  } else {
    return font;
  }
  std::size_t at = glyphs_at + count * glyph_size;
  for (std::size_t glyph = 0; glyph < count && at < b.size(); ++glyph) {
    GlyphRows rows{};
    for (std::size_t y = 0; y < rows.size(); ++y)
      rows[y] = b[glyphs_at + glyph * glyph_size + y * row_bytes];
    // Each glyph's code points end with 0xFFFF (PSF 1) or 0xFF (PSF 2); sequences after
    // 0xFFFE / 0xFE combine characters and are passed over.
    bool sequence = false;
    while (at < b.size()) {
      char32_t c;
      if (psf2) {
        if (b[at] == 0xFF) {
          ++at;
          break;
        }
        if (b[at] == 0xFE) {
          ++at;
          sequence = true;
          continue;
        }
        c = DecodeUtf8(b, at);
      } else {
        if (at + 1 >= b.size()) {
          at = b.size();
          break;
        }
        c = b[at] | b[at + 1] << 8;
        at += 2;
        if (c == 0xFFFF) break;
        if (c == 0xFFFE) {
          sequence = true;
          continue;
        }
      }
      if (!sequence) font.Glyphs.emplace(c, rows);
    }
  }
  return font;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: make_font OUTPUT.cc FONT.psf.gz...\n");
    return 2;
  }
  std::vector<Font> fonts;
  for (int i = 2; i < argc; ++i) {
    std::optional<std::vector<uint8_t>> bytes = ReadGzip(argv[i]);
    if (!bytes) {
      std::fprintf(stderr, "make_font: cannot read %s\n", argv[i]);
      return 1;
    }
    fonts.push_back(ParsePsf(*bytes));
    if (fonts.back().Glyphs.empty()) {
      std::fprintf(stderr, "make_font: %s is no 8x16 PSF font with a Unicode table\n", argv[i]);
      return 1;
    }
  }
  auto find = [&](char32_t c) -> const GlyphRows* {
    for (const Font& font : fonts) {
      if (auto glyph = font.Glyphs.find(c); glyph != font.Glyphs.end()) return &glyph->second;
    }
    return nullptr;
  };
  std::string out =
      "// Made by make_font from the console fonts the build names; not to be edited.\n"
      "#include \"render/font.h\"\n\nnamespace tintrel {\n\n"
      "const std::array<GlyphRows, 256> kVgaFont = {{\n";
  for (int byte = 0; byte < 256; ++byte) {
    char32_t c = tintrel::kCp437[byte];
    const GlyphRows* glyph = nullptr;
    static constexpr GlyphRows kBlank{};
    if (c == 0) glyph = &kBlank;  // byte 0 shows as an empty cell
    if (glyph == nullptr) glyph = find(c);
    for (auto [wanted, stand_in] : kStandIns) {
      if (glyph == nullptr && c == wanted) glyph = find(stand_in);
    }
    if (glyph == nullptr) {
      std::fprintf(stderr, "make_font: no font has U+%04X, the glyph of byte %d\n",
                   static_cast<unsigned>(c), byte);
      return 1;
    }
    out += "    {";
    for (std::size_t y = 0; y < glyph->size(); ++y) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "0x%02X%s", (*glyph)[y], y + 1 < glyph->size() ? ", " : "");
      out += hex;
    }
    out += "},\n";
  }
  out += "}};\n\n}  // namespace tintrel\n";
  std::FILE* file = std::fopen(argv[1], "wb");
  if (file == nullptr || std::fwrite(out.data(), 1, out.size(), file) != out.size() ||
      std::fclose(file) != 0) {
    std::fprintf(stderr, "make_font: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
