// SPDX-License-Identifier: MIT
// A drawing as its format's reader leaves it: the cells on the screen model (so the screen's
// summary, its columns and its pictures apply to every format alike), and what the format adds
// to them: its own palette, its own font, true colour, and whether a bright background is iCE.
// Beside them, every cell the file drew is counted by attribute, the way the scan charges cells,
// for the colour columns.
//
// A cell's attribute is a palette index: bits 0-3 the foreground, 4-7 the background. Where the
// format blinks rather than shows iCE colours, the reader clears the blink bit, as a still
// picture shows it. True colour keeps the nearest VGA colour in the attribute, and the colours
// themselves beside the cells (Grid.TrueColors); a 512-glyph font keeps the half of the font
// apart from it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formats/art_format.h"
#include "io/fault.h"
#include "scan/scan_state.h"
#include "screen/screen.h"

namespace tintrel {

// The most cells one drawing may draw: far beyond any art, and a bound on what a few bytes of a
// run-length code can ask for.
inline constexpr int64_t kMaxDrawnCells = int64_t{1} << 26;

// A colour as a format stores it. Palettes hold 6-bit values (0-63), true colour 8-bit ones.
struct ArtColor {
  uint8_t R = 0, G = 0, B = 0;

  bool operator==(const ArtColor&) const = default;
};

// 6-bit VGA DAC values to 8 bits, the top bits repeated below.
constexpr uint8_t EightBit(uint8_t six_bit) {
  return static_cast<uint8_t>(six_bit << 2 | six_bit >> 4);
}

using ArtPalette = std::array<ArtColor, 16>;

// A font the file carries: 8 pixels wide, Height rows a glyph, the high bit of a row leftmost.
struct ArtFont {
  uint8_t Height = 0;         // 1 to 32; 0 when the file carries none and the VGA's is meant
  uint16_t Glyphs = 0;        // 256, or 512 where the foreground's bright bit picks the second bank
  std::vector<uint8_t> Rows;  // Glyphs * Height bytes, glyph after glyph

  bool operator==(const ArtFont&) const = default;
};

struct Drawing {
  ArtFormat Format = ArtFormat::kAnsi;
  Screen Grid;
  bool Ice = false;                   // the format shows bit 7 as a bright background
  std::optional<ArtPalette> Palette;  // the file's own 16 colours (6-bit), by index
  ArtFont Font;
  // One per cell of Grid.Cells with a font of 512 glyphs: the half of the font its glyph is in,
  // which the foreground's bright bit chose (the attribute keeps the other three bits).
  std::vector<uint8_t> FontBanks;

  // Every cell drawn, by the attribute it was drawn in; how many were high characters (127 and
  // up) and how many no character at all (erased).
  std::array<int64_t, 256> DrawnByAttr{};
  int64_t High = 0, NotCharacters = 0, Drawn = 0;
};

// A fault of the format's own bytes: "FormatError" and what is wrong with them.
Fault FormatError(std::string message);

// A fresh drawing of `format` at `width` columns (1 to kMaxScreenWidth), keeping the memory of
// the last one.
void StartDrawing(Drawing& drawing, ArtFormat format, uint32_t width);

// Draws cells, each in its own attribute, at the cursor, wrapping at the last column.
void DrawArtCells(Drawing& drawing, const Cell* cells, std::size_t count);

// Draws cells stored as a text screen's memory holds them, a glyph byte and an attribute byte
// each (`size` / 2 of them); without iCE the blink bit is cleared.
void DrawStoredCells(Drawing& drawing, const uint8_t* bytes, std::size_t size);

// Draws glyphs in the current attribute at the cursor.
void DrawArtGlyphs(Drawing& drawing, const uint8_t* glyphs, std::size_t count);

// Sets what the next glyphs are drawn in, as a whole attribute.
void SetArtAttr(Drawing& drawing, uint8_t attr);

// Counts `cells` cells of the current attribute that an erase charged: colours, no character.
void ChargeErased(Drawing& drawing, int64_t cells);

// The drawing's cells charged as the scan charges them: to the base colours of each cell's
// foreground and background, each a low or a high character.
ScanState TallyOf(const Drawing& drawing);

}  // namespace tintrel
