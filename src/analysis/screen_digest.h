// SPDX-License-Identifier: MIT
// What a drawing shows, as two values that do not depend on how it was stored: screen_md5, the
// MD5 of a canonical form of the shown cells (each glyph with the RGB colours a viewer paints it
// in), and screen_sig, 64 bits of the picture's light and dark whose distance in bits says how
// alike two drawings look. man/tintrel-catalog.1 gives both exactly; this file is their one
// implementation.
//
// The canonical form: the line "screen W L\n" (decimal screen_width and screen_lines); with a
// font of the art's own, the line "font H G\n" and its G * H bytes of rows; then, row after row
// of the stored rows within the first L, the first W cells: with a font of 512 glyphs the glyph's
// half (0 or 1), then the glyph, then the number of its pair of colours (the foreground's R, G, B
// and the background's). Pairs are numbered from 0 as they first appear, in 1 to 3 bytes
// (PutNumber), and the first time a pair appears its 6 bytes follow its number, foreground first. A
// cell that shows only its background (a glyph of 0, 32 or 255 in the VGA font, or a foreground
// painted as its background) is written as glyph 32 with the foreground its background. The numbers
// keep the form near 2 bytes a cell, a quarter of writing every cell's colours, for MD5 to read.
//
// The signature: each cell's light is its luminance (299 R + 587 G + 114 B) with its glyph's ink
// (kInkQuarters) mixing the foreground into the background; the W by L rectangle is cut into 8
// rows of 9 areas, and bit 63 - (8 r + c) is set where area c of row r is lighter on average
// than area c + 1. Bits 48-63 are band 0, the top two rows of areas, down to bits 0-15, band 3.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "formats/drawing.h"
#include "meta/file_digest.h"
#include "screen/screen.h"

namespace tintrel {

// How the cells are painted besides the screen's own true colours: the art's own 16 colours and
// font where it brings them, and the font halves where it has them, one per stored cell.
struct ScreenLook {
  const ArtPalette* Palette = nullptr;  // 6-bit values; none: the VGA's colours
  const ArtFont* Font = nullptr;        // none, or Height 0: the VGA font
  std::span<const uint8_t> Banks;
};

struct ScreenPrint {
  std::optional<Digest> Md5;  // none where the screen shows nothing
  uint64_t Sig = 0;
};

inline constexpr int kSigBands = 4;
inline constexpr int kSigBandBits = 16;

// An attribute as the palette paints it: its colours, whether its foreground is painted as its
// background, and its light by a glyph's ink in quarters.
struct AttrPaint {
  CellColors Colors;
  bool Same = false;
  std::array<uint32_t, 5> Light{};
};

struct RecentPair {
  uint64_t Key = UINT64_MAX;
  uint32_t Number = 0;
  uint32_t FgLight = 0, BgLight = 0;
};

// A worker's buffer for the canonical rows, its attributes painted for the last palette, and the
// numbers of the pairs of colours of the drawing being printed, kept from drawing to drawing.
struct PrintTools {
  std::vector<uint8_t> Row;
  bool Painted = false;
  std::array<Rgb, 16> Colors{};
  std::array<AttrPaint, 256> Paints{};
  // The pairs numbered so far, by key: open addressing, a power of two of slots, at most half full.
  std::vector<RecentPair> Pairs;
  uint32_t PairCount = 0;
  std::array<int32_t, 256> ShownPair{}, BlankPair{};  // by attribute; -1 until numbered
  std::array<RecentPair, 256> Recent{};               // true colour's pairs met lately
  std::vector<uint8_t> AreaColumn;                    // each column's area of the signature
};

ScreenPrint PrintScreen(const Screen& screen, const ScreenSummary& shown, const ScreenLook& look,
                        PrintTools& tools);

// The number of bits two signatures differ in.
int SigDistance(uint64_t a, uint64_t b);

// 16 lowercase hexadecimal digits, the high bits first.
std::string SigToHex(uint64_t sig);

// The 16 bits of band `band` (0 the highest).
inline uint32_t SigBand(uint64_t sig, int band) {
  return static_cast<uint32_t>(sig >> (kSigBandBits * (kSigBands - 1 - band))) & 0xFFFF;
}

}  // namespace tintrel
