// SPDX-License-Identifier: MIT
#include "catalog/pictures.h"

#include <array>
#include <optional>

#include "meta/sauce_fonts.h"
#include "render/png_file.h"
#include "render/screen_picture.h"
#include "render/shipped_fonts.h"

namespace tintrel {

namespace {

// The picture's path when the row is of drawn art that shows something, and whether this worker
// is the first to meet the art and so the one to draw it; nothing when there is no picture.
struct Claim {
  std::string Path;
  bool Mine = false;
};

std::optional<Claim> ClaimPicture(PictureShelf& shelf, const Row& row, const ArtFacts& facts) {
  const Field& art = row[Col("art_md5")];
  if (row[Col("error")].Type != Field::kNull || art.Type != Field::kText ||
      facts.Shown.Width == 0 || !HasScreen(facts.Format))
    return std::nullopt;
  Claim claim;
  claim.Path = shelf.Folder + (shelf.Folder.ends_with('/') ? "" : "/") + art.Value + ".png";
  std::lock_guard lock(shelf.Lock);
  if (!shelf.Failure.empty()) return std::nullopt;
  claim.Mine = shelf.Claimed.insert(art.Value).second;
  return claim;
}

}  // namespace

PictureStyle StyleFor(const PictureShelf& shelf, const SauceInfo& info) {
  PictureStyle style;
  style.IceColors = info.IceColors.value_or(false);
  style.NinePixel = info.LetterSpacing == "9-pixel";
  style.Width = shelf.Width;
  // Only Character and BinaryText records name a font; in others the field means nothing.
  if (const FontChoice font = ChooseFont(info.Font); font.Font != 0 && IsDrawnData(info))
    style.Font = ShippedGlyphs(font.Font);
  return style;
}

void ShelvePicture(PictureShelf& shelf, PictureWork& work, Row& row, const ArtFacts& facts) {
  const std::optional<Claim> claim = ClaimPicture(shelf, row, facts);
  if (!claim) return;
  if (claim->Mine) {
    PictureStyle style = StyleFor(shelf, facts.Sauce);
    style.IceColors = style.IceColors || facts.Shown.Ice;
    // The art's own palette and font where it carries them. True colour shows as the nearest VGA
    // colour each cell keeps: the picture's palette holds the mixes of 16 colours.
    std::array<Rgb, 16> colors;
    if (facts.Palette) {
      for (std::size_t i = 0; i < colors.size(); ++i) {
        const ArtColor& c = (*facts.Palette)[i];
        colors[i] = {EightBit(c.R), EightBit(c.G), EightBit(c.B)};
      }
      style.Colors = &colors;
    }
    if (facts.Font.Height != 0)
      style.Font = {facts.Font.Rows, facts.Font.Height, facts.Font.Glyphs};
    TextCells cells = CellRows(facts.Top, facts.TopWidth);
    cells.Banks = facts.TopBanks;
    DrawPicture(cells, style, work.Shades, work.Canvas);
    std::string error = WritePngFile(work.Canvas, claim->Path);
    std::lock_guard lock(shelf.Lock);
    if (!error.empty()) {
      if (shelf.Failure.empty()) shelf.Failure = error;
      return;
    }
    ++shelf.Drawn;
  }
  row[Col("thumbnail")] = TextField(claim->Path);
}

}  // namespace tintrel
