// SPDX-License-Identifier: MIT
#include "analysis/screen_digest.h"

#include <nettle/md5.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "screen/vga_palette.h"

namespace tintrel {

namespace {

constexpr uint32_t kSigRows = 8, kSigColumns = 9;

// The ink of a VGA glyph in quarters of its cell, for the signature: none for the blanks, all of
// it for the full block, the halves and the three shades as drawn, a quarter for any other glyph.
constexpr std::array<uint8_t, 256> kInkQuarters = [] {
  std::array<uint8_t, 256> ink{};
  ink.fill(1);
  ink[0] = ink[32] = ink[255] = 0;
  ink[176] = 1;
  ink[177] = ink[220] = ink[221] = ink[222] = ink[223] = 2;
  ink[178] = 3;
  ink[219] = 4;
  return ink;
}();

constexpr bool IsBlankGlyph(uint8_t glyph) {
  return glyph == 0 || glyph == 32 || glyph == 255;
}

// The RGB of each of the 16 colour indexes: the art's own palette or the VGA's.
std::array<Rgb, 16> PaintColors(const ArtPalette* palette) {
  std::array<Rgb, 16> colors = kVgaPalette;
  if (palette == nullptr) return colors;
  for (std::size_t i = 0; i < colors.size(); ++i) {
    const ArtColor& c = (*palette)[i];
    colors[i] = {EightBit(c.R), EightBit(c.G), EightBit(c.B)};
  }
  return colors;
}

// Luminance scaled by 1000, 0 to 255,000.
constexpr uint32_t Light(Rgb c) {
  return 299u * c.R + 587u * c.G + 114u * c.B;
}

// A cell's light: its colours mixed by its glyph's ink in quarters.
constexpr uint32_t MixedLight(Rgb fg, Rgb bg, uint32_t ink) {
  return (Light(fg) * ink + Light(bg) * (4 - ink)) / 4;
}

// Writes a cell's 8 canonical bytes; returns its light.
uint32_t PaintCell(uint8_t* out, uint8_t bank, uint8_t glyph, CellColors colors, bool own_font) {
  if ((!own_font && IsBlankGlyph(glyph)) || colors.Fg == colors.Bg) {
    bank = 0;
    glyph = 32;
    colors.Fg = colors.Bg;
  }
  const uint8_t bytes[8] = {bank,        glyph,       colors.Fg.R, colors.Fg.G,
                            colors.Fg.B, colors.Bg.R, colors.Bg.G, colors.Bg.B};
  std::memcpy(out, bytes, 8);
  return MixedLight(colors.Fg, colors.Bg, kInkQuarters[glyph]);
}

// The attributes painted once for the palette, kept while the next drawing has the same one.
const std::array<AttrPaint, 256>& PaintsFor(PrintTools& tools, const ArtPalette* palette) {
  const std::array<Rgb, 16> colors = PaintColors(palette);
  if (tools.Painted && tools.Colors == colors) return tools.Paints;
  for (std::size_t attr = 0; attr < 256; ++attr) {
    AttrPaint& paint = tools.Paints[attr];
    const CellColors cell{colors[attr & 15], colors[attr >> 4]};
    paint.Same = cell.Fg == cell.Bg;
    PaintCell(paint.Bytes.data(), 0, 0, cell, true);
    PaintCell(paint.Blank.data(), 0, 32, cell, false);
    for (uint32_t ink = 0; ink <= 4; ++ink) paint.Light[ink] = MixedLight(cell.Fg, cell.Bg, ink);
  }
  tools.Colors = colors;
  tools.Painted = true;
  return tools.Paints;
}

void AddDecimal(std::string& line, uint64_t number) {
  line += std::to_string(number);
}

}  // namespace

ScreenPrint PrintScreen(const Screen& screen, const ScreenSummary& shown, const ScreenLook& look,
                        PrintTools& tools) {
  ScreenPrint print;
  if (shown.Width == 0) return print;
  const uint32_t width = std::min(shown.Width, screen.Width);
  const auto rows = static_cast<uint32_t>(std::min<uint64_t>(shown.Lines, StoredRows(screen)));
  const bool own_font = look.Font != nullptr && look.Font->Height != 0;
  const std::array<AttrPaint, 256>& paints = PaintsFor(tools, look.Palette);

  md5_ctx md5;
  md5_init(&md5);
  std::string head = "screen ";
  AddDecimal(head, shown.Width);
  head += ' ';
  AddDecimal(head, shown.Lines);
  head += '\n';
  if (own_font) {
    head += "font ";
    AddDecimal(head, look.Font->Height);
    head += ' ';
    AddDecimal(head, look.Font->Glyphs);
    head += '\n';
  }
  md5_update(&md5, head.size(), reinterpret_cast<const uint8_t*>(head.data()));
  if (own_font) md5_update(&md5, look.Font->Rows.size(), look.Font->Rows.data());

  // The areas' sums of light and of cells, for the signature.
  std::array<uint64_t, kSigRows * kSigColumns> light{}, count{};
  std::array<uint32_t, kMaxScreenWidth> area_column{};
  for (uint32_t column = 0; column < width; ++column)
    area_column[column] = column * kSigColumns / shown.Width;

  tools.Row.resize(std::size_t{width} * 8);
  for (uint32_t row = 0; row < rows; ++row) {
    const std::size_t first = std::size_t{row} * screen.Width;
    const uint32_t area_row = static_cast<uint32_t>(uint64_t{row} * kSigRows / shown.Lines);
    uint64_t* row_light = &light[area_row * kSigColumns];
    uint64_t* row_count = &count[area_row * kSigColumns];
    uint8_t* out = tools.Row.data();
    for (uint32_t column = 0; column < width; ++column, out += 8) {
      const std::size_t at = first + column;
      const Cell cell = screen.Cells[at];
      const uint8_t bank = at < look.Banks.size() ? look.Banks[at] & 1 : 0;
      uint32_t cell_light;
      if (screen.TrueColor && at < screen.TrueColors.size()) {
        cell_light = PaintCell(out, bank, cell.Glyph, screen.TrueColors[at], own_font);
      } else {
        const AttrPaint& paint = paints[cell.Attr];
        if (paint.Same || (!own_font && IsBlankGlyph(cell.Glyph))) {
          std::memcpy(out, paint.Blank.data(), 8);
          cell_light = paint.Light[0];
        } else {
          std::memcpy(out, paint.Bytes.data(), 8);
          out[0] = bank;
          out[1] = cell.Glyph;
          cell_light = paint.Light[kInkQuarters[cell.Glyph]];
        }
      }
      row_light[area_column[column]] += cell_light;
      ++row_count[area_column[column]];
    }
    md5_update(&md5, tools.Row.size(), tools.Row.data());
  }
  print.Md5.emplace();
  md5_digest(&md5, print.Md5->size(), print.Md5->data());

  std::array<uint64_t, kSigRows * kSigColumns> mean{};
  for (std::size_t i = 0; i < mean.size(); ++i) mean[i] = count[i] ? light[i] / count[i] : 0;
  for (uint32_t r = 0; r < kSigRows; ++r) {
    for (uint32_t c = 0; c + 1 < kSigColumns; ++c) {
      const bool lighter = mean[r * kSigColumns + c] > mean[r * kSigColumns + c + 1];
      print.Sig |= uint64_t{lighter} << (63 - (8 * r + c));
    }
  }
  return print;
}

int SigDistance(uint64_t a, uint64_t b) {
  return std::popcount(a ^ b);
}

std::string SigToHex(uint64_t sig) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex(16, '0');
  for (int i = 15; i >= 0; --i, sig >>= 4) hex[static_cast<std::size_t>(i)] = kDigits[sig & 0xF];
  return hex;
}

}  // namespace tintrel
