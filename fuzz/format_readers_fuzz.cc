// SPDX-License-Identifier: MIT
// Recognition and every art format's reader on any bytes: the format recognised reads its art,
// and so does each reader in turn, with SAUCE facts the first byte picks. A reader may only give
// a FormatError; what it draws must stay within the bounds it promises: no more cells drawn than
// the budget, the screen's rows no more than it stores, true colours only beside stored cells,
// font halves only beside stored cells, and a tally that charges every cell drawn. Aborts on any
// difference.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "formats/readers.h"

namespace tintrel {
namespace {

void Check(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "format readers: %s\n", what);
  std::abort();
}

void Read(Drawing& drawing, ArtFormat format, std::span<const uint8_t> bytes,
          const SauceFacts& sauce) {
  try {
    if (!ReadDrawing(drawing, format, ArtBytes(format, bytes, sauce), sauce)) return;
  } catch (const Fault& fault) {
    Check(fault.Kind == "FormatError", "a fault other than a FormatError");
    return;
  }
  Check(drawing.Format == format, "the drawing's format");
  Check(drawing.Drawn <= kMaxDrawnCells, "cells past the budget");
  Check(drawing.Grid.RowsReady <= drawing.Grid.RowCap, "rows past the stored rows");
  Check(!drawing.Grid.TrueColor || drawing.Grid.TrueColors.size() == drawing.Grid.Cells.size(),
        "true colours not one per cell");
  Check(drawing.FontBanks.size() <= drawing.Grid.Cells.size(), "font halves past the cells");
  const bool font = drawing.Font.Height != 0;
  Check(drawing.Font.Rows.size() == (font ? drawing.Font.Height * drawing.Font.Glyphs : 0u),
        "a font's size");
  const ScanState tally = TallyOf(drawing);
  int64_t charged = 0;
  for (const ColorTally& color : tally.ColorTable) charged += color.Count;
  Check(charged == 2 * drawing.Drawn, "a cell not charged to two colours");
  Check(tally.LowAsciiCount >= 0 && tally.HighAsciiCount >= 0, "character counts");
  const ScreenSummary summary = SummarizeScreen(drawing.Grid);
  Check(summary.Width <= drawing.Grid.Width, "width");
}

}  // namespace
}  // namespace tintrel

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace tintrel;
  const std::span<const uint8_t> bytes(data, size);
  // The first byte picks a record: none, BinaryText of some width, Character of some type.
  SauceFacts sauce;
  if (size > 0 && data[0] % 3 != 0) {
    sauce.Present = true;
    sauce.DataType = data[0] % 3 == 1 ? 5 : 1;
    sauce.FileType = static_cast<uint8_t>(data[0] >> 2);
    sauce.Width = static_cast<uint16_t>(data[0] * 5);
    sauce.Ice = (data[0] & 0x80) != 0;
    sauce.TailSize = data[0] % 7;
  }
  static Drawing drawing;
  const ArtFormat found = RecognizeFormat(bytes, sauce, size > 1 && data[1] & 1 ? "bin" : "ans");
  Check(IsArt(found) || ArtBytes(found, bytes, sauce).empty(), "art bytes of what is not art");
  Read(drawing, found, bytes, sauce);
  for (ArtFormat format : {ArtFormat::kXbin, ArtFormat::kBin, ArtFormat::kAdf, ArtFormat::kIdf,
                           ArtFormat::kTundra, ArtFormat::kPcboard, ArtFormat::kAvatar})
    Read(drawing, format, bytes, sauce);
  return 0;
}
