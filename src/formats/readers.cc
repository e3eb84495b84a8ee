// SPDX-License-Identifier: MIT
#include "formats/readers.h"

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

}  // namespace tintrel
