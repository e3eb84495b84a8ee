// SPDX-License-Identifier: MIT
// BIN: nothing but the cells, a glyph byte and an attribute byte each, as the text screen's memory
// holds them. Its width is its record's (BinaryText: the file type is half the width), else 160
// columns; iCE colours where the record's flag asks for them.
#include "formats/readers.h"

namespace tintrel {

namespace {

constexpr uint32_t kDefaultBinWidth = 160;
constexpr uint8_t kBinaryTextData = 5;

}  // namespace

void ReadBin(Drawing& drawing, ArtSpan art, const SauceFacts& sauce) {
  const bool described = sauce.Present && sauce.DataType == kBinaryTextData && sauce.FileType != 0;
  StartDrawing(drawing, ArtFormat::kBin, described ? sauce.FileType * 2u : kDefaultBinWidth);
  drawing.Ice = described && sauce.Ice;
  DrawStoredCells(drawing, art.data(), art.size());
}

}  // namespace tintrel
