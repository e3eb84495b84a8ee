// SPDX-License-Identifier: MIT
// Build step: reads PSF console fonts (gzipped, as Debian ships them) and the Amiga's Topaz as an
// outline font, and writes the source of kVgaFont and of every font in kShippedFonts: the glyph
// of each byte of a code page, found through the console fonts' Unicode tables (the code pages
// from glibc's iconv). Among fonts of one height the first that has a character gives its glyph,
// so later fonts fill the gaps of earlier ones; a character no font of a smaller height has is
// the 16-line glyph shrunk, each row the union of the rows it covers.
//   make_font OUTPUT.cc TOPAZ.ttf FONT.psf.gz...
#include <ft2build.h>
#include FT_FREETYPE_H
#include <iconv.h>
#include <zlib.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "meta/sauce_fonts.h"
#include "render/font.h"
#include "text/cp437.h"

namespace {

// A glyph's rows, top first, the high bit of a row its leftmost pixel.
using Glyph = std::vector<uint8_t>;

// A character the fonts draw under another code point: the pointers of bytes 16 and 17.
constexpr std::array<std::pair<char32_t, char32_t>, 2> kStandIns = {
    {{0x25BA, 0x25B6}, {0x25C4, 0x25C0}}};

struct Font {
  uint32_t Height = 0;
  std::map<char32_t, Glyph> Glyphs;
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

// PSF 1 and 2 with a Unicode table and glyphs 8 pixels wide; an empty font for anything else.
Font ParsePsf(const std::vector<uint8_t>& b) {
  Font font;
  std::size_t glyphs_at, count, glyph_size;
  bool psf2;
  if (b.size() >= 4 && b[0] == 0x36 && b[1] == 0x04) {
    psf2 = false;
    if ((b[2] & 2) == 0) return font;
    glyphs_at = 4;
    count = b[2] & 1 ? 512 : 256;
    glyph_size = font.Height = b[3];
  } else if (b.size() >= 32 && Le32(b, 0) == 0x864AB572) {
    psf2 = true;
    if ((Le32(b, 12) & 1) == 0 || Le32(b, 28) != 8) return font;
    glyphs_at = Le32(b, 8);
    count = Le32(b, 16);
    glyph_size = Le32(b, 20);
    font.Height = Le32(b, 24);
  } else {
    return font;
  }
  if (font.Height == 0 || font.Height > 32 || glyph_size < font.Height ||
      glyphs_at + count * glyph_size > b.size())
    return {};
  std::size_t at = glyphs_at + count * glyph_size;
  for (std::size_t glyph = 0; glyph < count && at < b.size(); ++glyph) {
    const auto first = b.begin() + static_cast<std::ptrdiff_t>(glyphs_at + glyph * glyph_size);
    const Glyph rows(first, first + font.Height);
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

// Topaz's glyph of each character of ISO-8859-1, 16 lines high. Its outlines are drawn on the
// Amiga's grid of 8 columns by 8 lines (a line twice as tall as a column is wide), so rendering at
// 16 by 8 pixels to the em gives its pixels, and each line is shown twice, as on the Amiga's
// interlaced screens that art is drawn for.
std::optional<std::map<char32_t, Glyph>> RasteriseTopaz(const char* path) {
  FT_Library library;
  if (FT_Init_FreeType(&library) != 0) return std::nullopt;
  FT_Face face;
  std::optional<std::map<char32_t, Glyph>> glyphs;
  if (FT_New_Face(library, path, 0, &face) == 0) {
    if (FT_Set_Pixel_Sizes(face, 16, 8) == 0) {
      glyphs.emplace();
      const long ascent = face->size->metrics.ascender >> 6;
      for (char32_t c = 0x20; c <= 0xFF; ++c) {
        if (FT_Get_Char_Index(face, c) == 0 ||
            FT_Load_Char(face, c, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_NO_HINTING) != 0)
          continue;
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        Glyph rows(16, 0);
        for (unsigned r = 0; r < bitmap.rows; ++r) {
          const long y = ascent - slot->bitmap_top + r;
          for (unsigned x = 0; x < bitmap.width; ++x) {
            const long column = slot->bitmap_left + x;
            if (y < 0 || y >= 8 || column < 0 || column >= 8 ||
                !((bitmap.buffer[r * bitmap.pitch + x / 8] >> (7 - x % 8)) & 1))
              continue;
            rows[2 * y] = rows[2 * y + 1] |= static_cast<uint8_t>(0x80 >> column);
          }
        }
        (*glyphs)[c] = rows;
      }
    }
    FT_Done_Face(face);
  }
  FT_Done_FreeType(library);
  return glyphs;
}

// The character a byte of the code page shows, or nothing for a byte it leaves undefined.
std::optional<char32_t> Decode(iconv_t convert, uint8_t byte) {
  char in = static_cast<char>(byte);
  char32_t out = 0;
  char *in_at = &in, *out_at = reinterpret_cast<char*>(&out);
  std::size_t in_left = 1, out_left = sizeof out;
  iconv(convert, nullptr, nullptr, nullptr, nullptr);
  if (iconv(convert, &in_at, &in_left, &out_at, &out_left) == static_cast<std::size_t>(-1) ||
      out_left != 0)
    return std::nullopt;
  return out;
}

// The fonts of each height, in the order they were named.
struct FontShelf {
  std::map<uint32_t, std::vector<Font>> ByHeight;

  const Glyph* Find(uint32_t height, char32_t c) const {
    const auto fonts = ByHeight.find(height);
    if (fonts == ByHeight.end()) return nullptr;
    for (const Font& font : fonts->second) {
      if (auto glyph = font.Glyphs.find(c); glyph != font.Glyphs.end()) return &glyph->second;
    }
    return nullptr;
  }
};

// A glyph of `height` lines for the character, from the fonts of that height, or shrunk from the
// 16-line fonts; nothing when neither has it.
std::optional<Glyph> GlyphFor(const FontShelf& shelf, uint32_t height, char32_t c) {
  if (c == 0) return Glyph(height, 0);  // byte 0 shows as an empty cell
  const Glyph* found = nullptr;
  for (uint32_t wanted : {height, uint32_t{16}}) {
    found = shelf.Find(wanted, c);
    for (auto [drawn, stand_in] : kStandIns) {
      if (found == nullptr && c == drawn) found = shelf.Find(wanted, stand_in);
    }
    if (found != nullptr) break;
  }
  if (found == nullptr) return std::nullopt;
  if (found->size() == height) return *found;
  Glyph rows(height, 0);
  const std::size_t tall = found->size();
  for (std::size_t y = 0; y < height; ++y) {
    for (std::size_t from = y * tall / height; from < ((y + 1) * tall + height - 1) / height;
         ++from)
      rows[y] |= (*found)[from];
  }
  return rows;
}

void AppendRows(std::string& out, const Glyph& rows) {
  out += "   ";
  for (uint8_t row : rows) {
    char hex[8];
    std::snprintf(hex, sizeof hex, " 0x%02X,", row);
    out += hex;
  }
  out += "\n";
}

// The 256 glyphs of a shipped font, or an error naming the character no font has.
std::string ShippedGlyphs(const FontShelf& shelf, const std::map<char32_t, Glyph>& topaz,
                          const tintrel::ShippedFont& font, std::vector<Glyph>& glyphs) {
  const std::string code_page(font.CodePage);
  iconv_t convert = iconv_open("UTF-32LE", code_page.c_str());
  if (convert == reinterpret_cast<iconv_t>(-1)) return "iconv has no code page " + code_page;
  std::string error;
  for (int byte = 0; byte < 256 && error.empty(); ++byte) {
    // The VGA draws the controls as pictures whatever its code page; ISO-8859-1's are blank.
    std::optional<char32_t> c = byte < 0x20 || byte == 0x7F
                                    ? std::optional<char32_t>(tintrel::kCp437[byte])
                                    : Decode(convert, static_cast<uint8_t>(byte));
    if (font.Amiga || !c || (*c >= 0x80 && *c < 0xA0)) {
      const auto glyph = c ? topaz.find(*c) : topaz.end();
      glyphs.push_back(font.Amiga && glyph != topaz.end() ? glyph->second : Glyph(font.Height, 0));
      continue;
    }
    if (std::optional<Glyph> glyph = GlyphFor(shelf, font.Height, *c)) {
      glyphs.push_back(*glyph);
      continue;
    }
    char what[96];
    std::snprintf(what, sizeof what, "no font has U+%04X, byte %d of %s at %u lines",
                  static_cast<unsigned>(*c), byte, code_page.c_str(), unsigned{font.Height});
    error = what;
  }
  iconv_close(convert);
  return error;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: make_font OUTPUT.cc TOPAZ.ttf FONT.psf.gz...\n");
    return 2;
  }
  const std::optional<std::map<char32_t, Glyph>> topaz = RasteriseTopaz(argv[2]);
  if (!topaz || topaz->empty()) {
    std::fprintf(stderr, "make_font: cannot draw the outline font %s\n", argv[2]);
    return 1;
  }
  FontShelf shelf;
  for (int i = 3; i < argc; ++i) {
    std::optional<std::vector<uint8_t>> bytes = ReadGzip(argv[i]);
    if (!bytes) {
      std::fprintf(stderr, "make_font: cannot read %s\n", argv[i]);
      return 1;
    }
    Font font = ParsePsf(*bytes);
    if (font.Glyphs.empty()) {
      std::fprintf(stderr, "make_font: %s is no PSF font 8 pixels wide with a Unicode table\n",
                   argv[i]);
      return 1;
    }
    shelf.ByHeight[font.Height].push_back(std::move(font));
  }
  std::string out =
      "// Made by make_font from the console fonts the build names; not to be edited.\n"
      "#include \"render/font.h\"\n#include \"render/shipped_fonts.h\"\n\n"
      "namespace tintrel {\n\nconst std::array<GlyphRows, 256> kVgaFont = {{\n";
  for (int byte = 0; byte < 256; ++byte) {
    const std::optional<Glyph> glyph =
        GlyphFor(shelf, tintrel::kGlyphHeight, tintrel::kCp437[byte]);
    if (!glyph) {
      std::fprintf(stderr, "make_font: no 16-line font has U+%04X, the glyph of byte %d\n",
                   static_cast<unsigned>(tintrel::kCp437[byte]), byte);
      return 1;
    }
    out += "  {{";
    AppendRows(out, *glyph);
    out += "  }},\n";
  }
  out += "}};\n\nconst uint8_t kShippedGlyphRows[kShippedGlyphBytes] = {\n";
  for (std::size_t font = 0; font < tintrel::kShippedFontCount; ++font) {
    std::vector<Glyph> glyphs;
    const tintrel::ShippedFont shipped = tintrel::ShippedFontAt(font);
    if (std::string error = ShippedGlyphs(shelf, *topaz, shipped, glyphs); !error.empty()) {
      std::fprintf(stderr, "make_font: %s\n", error.c_str());
      return 1;
    }
    out += "  // " + std::string(shipped.CodePage) + ", " + std::to_string(shipped.Height) +
           " lines\n";
    for (const Glyph& glyph : glyphs) AppendRows(out, glyph);
  }
  out += "};\n\n}  // namespace tintrel\n";
  std::FILE* file = std::fopen(argv[1], "wb");
  if (file == nullptr || std::fwrite(out.data(), 1, out.size(), file) != out.size() ||
      std::fclose(file) != 0) {
    std::fprintf(stderr, "make_font: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
