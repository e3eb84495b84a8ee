// SPDX-License-Identifier: MIT
#include "catalog/pictures.h"

#include <algorithm>

#include "render/png_file.h"

namespace tintrel {

namespace {

constexpr std::size_t kBinaryWindow = 512;

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

PictureStyle StyleFor(const PictureShelf& shelf, const SauceInfo& info, bool ice_found) {
  PictureStyle style;
  style.IceColors = info.IceColors.value_or(false) || ice_found;
  style.NinePixel = info.LetterSpacing == "9-pixel";
  style.Width = shelf.Width;
  return style;
}

void ShelvePicture(PictureShelf& shelf, PictureWork& work, Row& row, const TextCells& cells,
                   const PictureStyle& style) {
  const std::string& art = row[ColumnIndex("art_md5")].Value;
  const std::string path = shelf.Folder + (shelf.Folder.ends_with('/') ? "" : "/") + art + ".png";
  {
    std::lock_guard lock(shelf.Lock);
    if (!shelf.Failure.empty()) return;
    if (!shelf.Claimed.insert(art).second) {
      row[ColumnIndex("thumbnail")] = TextField(path);
      return;
    }
  }
  DrawPicture(cells, style, work.Shades, work.Canvas);
  if (std::string error = WritePngFile(work.Canvas, path); !error.empty()) {
    std::lock_guard lock(shelf.Lock);
    if (shelf.Failure.empty()) shelf.Failure = error;
    return;
  }
  row[ColumnIndex("thumbnail")] = TextField(path);
}

}  // namespace tintrel
