// SPDX-License-Identifier: MIT
#include "formats/readers.h"

#include <algorithm>

namespace tintrel {

bool ReadDrawing(Drawing& drawing, ArtFormat format, ArtSpan art, const SauceFacts& sauce) {
  switch (format) {
    case ArtFormat::kXbin: ReadXbin(drawing, art); return true;
    case ArtFormat::kBin: ReadBin(drawing, art, sauce); return true;
    case ArtFormat::kAdf: ReadAdf(drawing, art); return true;
    case ArtFormat::kIdf: ReadIdf(drawing, art); return true;
    case ArtFormat::kTundra: ReadTundra(drawing, art, sauce); return true;
    case ArtFormat::kPcboard: ReadPcboard(drawing, art, sauce); return true;
    case ArtFormat::kAvatar: ReadAvatar(drawing, art, sauce); return true;
    default: return false;
  }
}

std::span<const uint8_t> ArtBytes(ArtFormat format, std::span<const uint8_t> bytes,
                                  const SauceFacts& sauce) {
  if (!IsArt(format)) return {};
  const ArtSpan art = bytes.first(
      bytes.size() - std::min<uint64_t>(sauce.Present ? sauce.TailSize : 0, bytes.size()));
  if (format == ArtFormat::kAvatar) return art.first(AvatarArtLength(art));
  return IsTextArt(format) ? art.first(TextLength(art)) : art;
}

}  // namespace tintrel
