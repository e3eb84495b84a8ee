// SPDX-License-Identifier: MIT
#include "catalog/pictures.h"

#include <algorithm>
#include <optional>

#include "render/png_file.h"
#include "render/screen_picture.h"

namespace tintrel {

namespace {

constexpr std::size_t kBinaryWindow = 512;

// The picture's path when the row is of drawn art that shows something, and whether this worker
// is the first to meet the art and so the one to draw it; nothing when there is no picture.
struct Claim {
  std::string Path;
  bool Mine = false;
};

std::optional<Claim> ClaimPicture(PictureShelf& shelf, const Row& row, const ArtFacts& facts) {
  const Field& art = row[Col("art_md5")];
  if (row[Col("error")].Type != Field::kNull || art.Type != Field::kText ||
      facts.Shown.Width == 0 || !IsDrawnArt(facts.Sauce, FirstBytes(facts)))
    return std::nullopt;
  Claim claim;
  claim.Path = shelf.Folder + (shelf.Folder.ends_with('/') ? "" : "/") + art.Value + ".png";
  std::lock_guard lock(shelf.Lock);
  if (!shelf.Failure.empty()) return std::nullopt;
  claim.Mine = shelf.Claimed.insert(art.Value).second;
  return claim;
}

}  // namespace

bool IsDrawnArt(const SauceInfo& info, std::span<const uint8_t> first_bytes) {
  // Data types 0 (none) and 1 (character) are text the screen draws.
  if (info.Present && info.DataType > 1) return false;
  first_bytes = first_bytes.first(std::min(first_bytes.size(), kBinaryWindow));
  for (uint8_t byte : first_bytes) {
    if (byte == 26) return true;
    if (byte == 0) return false;
  }
  return true;
}

PictureStyle StyleFor(const PictureShelf& shelf, const SauceInfo& info) {
  PictureStyle style;
  style.IceColors = info.IceColors.value_or(false);
  style.NinePixel = info.LetterSpacing == "9-pixel";
  style.Width = shelf.Width;
  return style;
}

void ShelvePicture(PictureShelf& shelf, PictureWork& work, Row& row, const ArtFacts& facts) {
  const std::optional<Claim> claim = ClaimPicture(shelf, row, facts);
  if (!claim) return;
  if (claim->Mine) {
    PictureStyle style = StyleFor(shelf, facts.Sauce);
    style.IceColors = style.IceColors || facts.Shown.Ice;
    DrawPicture(CellRows(facts.Top, facts.TopWidth), style, work.Shades, work.Canvas);
    if (std::string error = WritePngFile(work.Canvas, claim->Path); !error.empty()) {
      std::lock_guard lock(shelf.Lock);
      if (shelf.Failure.empty()) shelf.Failure = error;
      return;
    }
  }
  row[Col("thumbnail")] = TextField(claim->Path);
}

}  // namespace tintrel
