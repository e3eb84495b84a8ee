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

// The attributes painted once for the palette, kept while the next drawing has the same one.
const std::array<AttrPaint, 256>& PaintsFor(PrintTools& tools, const ArtPalette* palette) {
  const std::array<Rgb, 16> colors = PaintColors(palette);
  if (tools.Painted && tools.Colors == colors) return tools.Paints;
  for (std::size_t attr = 0; attr < 256; ++attr) {
    AttrPaint& paint = tools.Paints[attr];
    paint.Colors = {colors[attr & 15], colors[attr >> 4]};
    paint.Same = paint.Colors.Fg == paint.Colors.Bg;
    for (uint32_t ink = 0; ink <= 4; ++ink)
      paint.Light[ink] = MixedLight(paint.Colors.Fg, paint.Colors.Bg, ink);
  }
  tools.Colors = colors;
  tools.Painted = true;
  return tools.Paints;
}

// A pair's number: below 128 one byte; below 16,384 two, 128 + its bits from 8 up, then its low
// 8; else three, 192 + its bits from 16 up, then the next 8, then the low 8.
uint8_t* PutNumber(uint8_t* out, uint32_t number) {
  if (number < 0x80) {
    *out++ = static_cast<uint8_t>(number);
  } else if (number < 0x4000) {
    *out++ = static_cast<uint8_t>(0x80 | number >> 8);
    *out++ = static_cast<uint8_t>(number);
  } else {
    *out++ = static_cast<uint8_t>(0xC0 | number >> 16);
    *out++ = static_cast<uint8_t>(number >> 8);
    *out++ = static_cast<uint8_t>(number);
  }
  return out;
}

// A pair of colours as one word: the foreground's R, G, B in bits 0-23, the background's in 32-55,
// as a CellColors lies in memory.
uint64_t PairKey(const CellColors& colors) {
  uint64_t key;
  std::memcpy(&key, &colors, sizeof key);
  return key;
}

std::size_t SlotOf(uint64_t key, std::size_t slots) {
  return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15u) >> 32) & (slots - 1);
}

// Writes a pair's number, and the pair itself where it appears the first time; returns its number.
uint32_t PutPair(PrintTools& tools, uint64_t key, uint8_t*& out) {
  if (2 * (tools.PairCount + 1) > tools.Pairs.size()) {
    std::vector<RecentPair> old(std::max<std::size_t>(2 * tools.Pairs.size(), 1024));
    old.swap(tools.Pairs);
    for (const RecentPair& pair : old) {
      if (pair.Key == UINT64_MAX) continue;
      std::size_t slot = SlotOf(pair.Key, tools.Pairs.size());
      while (tools.Pairs[slot].Key != UINT64_MAX) slot = (slot + 1) & (tools.Pairs.size() - 1);
      tools.Pairs[slot] = pair;
    }
  }
  std::size_t slot = SlotOf(key, tools.Pairs.size());
  while (tools.Pairs[slot].Key != key && tools.Pairs[slot].Key != UINT64_MAX)
    slot = (slot + 1) & (tools.Pairs.size() - 1);
  RecentPair& pair = tools.Pairs[slot];
  const bool fresh = pair.Key == UINT64_MAX;
  if (fresh) pair = {key, tools.PairCount++};
  const uint32_t number = pair.Number;
  out = PutNumber(out, number);
  if (fresh) {
    for (int shift : {0, 8, 16, 32, 40, 48}) *out++ = static_cast<uint8_t>(key >> shift);
  }
  return number;
}

// A cell of a palette attribute: its number kept by the attribute once the pair has one.
void PutAttrPair(PrintTools& tools, int32_t& number, const CellColors& colors, uint8_t*& out) {
  if (number >= 0) {
    out = PutNumber(out, static_cast<uint32_t>(number));
    return;
  }
  number = static_cast<int32_t>(PutPair(tools, PairKey(colors), out));
}

// What every row of one drawing is printed with.
struct RowPrint {
  uint32_t Width;
  bool OwnFont, Halves;
  const std::array<AttrPaint, 256>& Paints;
  const uint8_t* AreaColumn;
};

// A row of cells painted by their attributes; returns the end of its canonical bytes. Everything a
// cell needs is read before its bytes are written, which may alias anything.
const uint8_t* PrintAttrRow(const RowPrint& line, PrintTools& tools, const Cell* cells,
                            const uint8_t* banks, uint64_t* light) {
  uint8_t* out = tools.Row.data();
  const uint32_t width = line.Width;
  const bool glyph_blanks = !line.OwnFont, halves = line.Halves;
  const AttrPaint* paints = line.Paints.data();
  const uint8_t* areas = line.AreaColumn;
  int32_t* shown_pairs = tools.ShownPair.data();
  int32_t* blank_pairs = tools.BlankPair.data();
  for (uint32_t column = 0; column < width; ++column) {
    const Cell cell = cells[column];
    const AttrPaint& paint = paints[cell.Attr];
    const bool blank = paint.Same || (glyph_blanks && IsBlankGlyph(cell.Glyph));
    const uint8_t glyph = blank ? 32 : cell.Glyph;
    light[areas[column]] += paint.Light[blank ? 0 : kInkQuarters[glyph]];
    int32_t& number = blank ? blank_pairs[cell.Attr] : shown_pairs[cell.Attr];
    const auto known = static_cast<uint32_t>(number);
    const uint8_t half = blank || banks == nullptr ? 0 : banks[column] & 1;
    if (halves) *out++ = half;
    if (known < 0x80) {
      out[0] = glyph;
      out[1] = static_cast<uint8_t>(known);
      out += 2;
      continue;
    }
    *out++ = glyph;
    PutAttrPair(tools, number, blank ? CellColors{paint.Colors.Bg, paint.Colors.Bg} : paint.Colors,
                out);
  }
  return out;
}

// A row of cells in true colour: a pair's number is looked up in a small cache first.
const uint8_t* PrintTrueRow(const RowPrint& line, PrintTools& tools, const Cell* cells,
                            const uint8_t* banks, const CellColors* colors, uint64_t* light) {
  uint8_t* out = tools.Row.data();
  for (uint32_t column = 0; column < line.Width; ++column) {
    uint64_t key = PairKey(colors[column]);
    uint8_t glyph = cells[column].Glyph;
    uint8_t half = banks == nullptr ? 0 : banks[column] & 1;
    const uint64_t bg = key >> 32;
    if ((!line.OwnFont && IsBlankGlyph(glyph)) || (key & 0xFFFFFFFF) == bg) {
      glyph = 32;
      half = 0;
      key = bg << 32 | bg;
    }
    if (line.Halves) *out++ = half;
    *out++ = glyph;
    RecentPair& recent = tools.Recent[(key * 0x9E3779B97F4A7C15u) >> 56];
    if (recent.Key == key) {
      out = PutNumber(out, recent.Number);
    } else {
      auto rgb = [key](int shift) {
        return Rgb{static_cast<uint8_t>(key >> shift), static_cast<uint8_t>(key >> (shift + 8)),
                   static_cast<uint8_t>(key >> (shift + 16))};
      };
      recent = {key, PutPair(tools, key, out), Light(rgb(0)), Light(rgb(32))};
    }
    const uint32_t ink = kInkQuarters[glyph];
    light[line.AreaColumn[column]] += (recent.FgLight * ink + recent.BgLight * (4 - ink)) / 4;
  }
  return out;
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

  // The areas' sums of light, and of cells, for the signature.
  std::array<uint64_t, kSigRows * kSigColumns> light{}, count{};
  std::array<uint32_t, kSigColumns> area_width{};
  std::vector<uint8_t>& area_column = tools.AreaColumn;
  area_column.resize(width);
  for (uint32_t column = 0; column < width; ++column) {
    area_column[column] = static_cast<uint8_t>(column * kSigColumns / shown.Width);
    ++area_width[area_column[column]];
  }

  // A cell takes at most 2 bytes of glyph, 3 of number and 6 of a new pair.
  tools.Row.resize(std::size_t{width} * 11);
  std::fill(tools.Pairs.begin(), tools.Pairs.end(), RecentPair{});
  tools.PairCount = 0;
  tools.ShownPair.fill(-1);
  tools.BlankPair.fill(-1);
  tools.Recent.fill({UINT64_MAX, 0});
  RowPrint line{width, own_font, own_font && look.Font->Glyphs > 256, paints, area_column.data()};
  for (uint32_t row = 0; row < rows; ++row) {
    const std::size_t first = std::size_t{row} * screen.Width;
    const uint32_t area_row = static_cast<uint32_t>(uint64_t{row} * kSigRows / shown.Lines);
    uint64_t* row_light = &light[area_row * kSigColumns];
    for (uint32_t c = 0; c < kSigColumns; ++c) count[area_row * kSigColumns + c] += area_width[c];
    const Cell* cells = screen.Cells.data() + first;
    const uint8_t* banks =
        line.Halves && first + width <= look.Banks.size() ? look.Banks.data() + first : nullptr;
    const uint8_t* end =
        screen.TrueColor && first + width <= screen.TrueColors.size()
            ? PrintTrueRow(line, tools, cells, banks, screen.TrueColors.data() + first, row_light)
            : PrintAttrRow(line, tools, cells, banks, row_light);
    md5_update(&md5, static_cast<std::size_t>(end - tools.Row.data()), tools.Row.data());
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
