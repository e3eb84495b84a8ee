// SPDX-License-Identifier: MIT
#include "catalog/pictures.h"

#include <algorithm>
#include <optional>

#include "catalog/screen_columns.h"
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

std::optional<Claim> ClaimPicture(PictureShelf& shelf, const Row& row, const SauceInfo& info,
                                  const ScreenSummary& shown,
                                  std::span<const uint8_t> first_bytes) {
  const Field& art = row[ColumnIndex("art_md5")];
  if (row[ColumnIndex("error")].Type != Field::kNull || art.Type != Field::kText ||
      shown.Width == 0 || !IsDrawnArt(info, first_bytes))
    return std::nullopt;
  Claim claim;
  claim.Path = shelf.Folder + (shelf.Folder.ends_with('/') ? "" : "/") + art.Value + ".png";
  std::lock_guard lock(shelf.Lock);
  if (!shelf.Failure.empty()) return std::nullopt;
  claim.Mine = shelf.Claimed.insert(art.Value).second;
  return claim;
}

void DrawAndWrite(PictureShelf& shelf, PictureWork& work, Row& row, const SauceInfo& info,
                  const Screen& screen, const ScreenSummary& shown, const std::string& path) {
  PictureStyle style = StyleFor(shelf, info);
  style.IceColors = style.IceColors || shown.Ice;
  DrawPicture(ShownCells(screen, shown, kPictureLines), style, work.Shades, work.Canvas);
  if (std::string error = WritePngFile(work.Canvas, path); !error.empty()) {
    std::lock_guard lock(shelf.Lock);
    if (shelf.Failure.empty()) shelf.Failure = error;
    return;
  }
  row[ColumnIndex("thumbnail")] = TextField(path);
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

void ShelveHeldPicture(PictureShelf& shelf, PictureWork& work, Row& row, const SauceInfo& info,
                       const ScreenSummary& shown, std::span<const uint8_t> bytes) {
  const std::optional<Claim> claim = ClaimPicture(shelf, row, info, shown, bytes);
  if (!claim) return;
  if (!claim->Mine) {
    row[ColumnIndex("thumbnail")] = TextField(claim->Path);
    return;
  }
  DrawHeld(work.Drawing, info, bytes);
  DrawAndWrite(shelf, work, row, info, work.Drawing, shown, claim->Path);
}

void ShelveScreenPicture(PictureShelf& shelf, PictureWork& work, Row& row, const SauceInfo& info,
                         const Screen& screen, std::span<const uint8_t> first_bytes) {
  const ScreenSummary shown = SummarizeScreen(screen);
  const std::optional<Claim> claim = ClaimPicture(shelf, row, info, shown, first_bytes);
  if (!claim) return;
  if (!claim->Mine) {
    row[ColumnIndex("thumbnail")] = TextField(claim->Path);
    return;
  }
  DrawAndWrite(shelf, work, row, info, screen, shown, claim->Path);
}

}  // namespace tintrel
