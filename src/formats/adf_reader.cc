// SPDX-License-Identifier: MIT
// ArtWorx ADF: a version byte (1), the 64 colours of the EGA palette (192 bytes of 6-bit RGB) of
// which the text screen shows 16, a font of 256 glyphs 16 lines high (4,096 bytes), then the
// cells of an 80-column screen in iCE colours.
#include <array>

#include "formats/readers.h"

namespace tintrel {

namespace {

constexpr std::size_t kPaletteAt = 1, kFontAt = 1 + 192, kCellsAt = 1 + 192 + 4096;
constexpr uint32_t kAdfWidth = 80;
// The EGA palette entry each of the text screen's 16 colours shows.
constexpr std::array<uint8_t, 16> kShownEntries = {0,  1,  2,  3,  4,  5,  20, 7,
                                                   56, 57, 58, 59, 60, 61, 62, 63};

}  // namespace

void ReadAdf(Drawing& drawing, ArtSpan art) {
  if (art.empty() || art[0] != 1)
    throw FormatError("ADF: version " + std::to_string(art.empty() ? 0 : art[0]) +
                      " (only 1 is known)");
  if (art.size() < kFontAt) throw FormatError("ADF: the palette is cut short");
  if (art.size() < kCellsAt) throw FormatError("ADF: the font is cut short");
  StartDrawing(drawing, ArtFormat::kAdf, kAdfWidth);
  drawing.Ice = true;
  ArtPalette& palette = drawing.Palette.emplace();
  for (std::size_t color = 0; color < palette.size(); ++color) {
    const std::size_t at = kPaletteAt + 3 * std::size_t{kShownEntries[color]};
    palette[color] = {static_cast<uint8_t>(art[at] & 63), static_cast<uint8_t>(art[at + 1] & 63),
                      static_cast<uint8_t>(art[at + 2] & 63)};
  }
  drawing.Font = {16, 256, {art.begin() + kFontAt, art.begin() + kCellsAt}};
  DrawStoredCells(drawing, art.data() + kCellsAt, art.size() - kCellsAt);
}

}  // namespace tintrel
