// SPDX-License-Identifier: MIT
#include "render/screen_picture.h"

#include <algorithm>
#include <cstddef>
#include <span>

namespace tintrel {

// A cell is stored as VGA text memory holds it, so the rows are read as its bytes.
static_assert(sizeof(Cell) == 2 && offsetof(Cell, Glyph) == 0 && offsetof(Cell, Attr) == 1);

TextCells ShownCells(const Screen& screen, const ScreenSummary& summary, uint32_t most_lines) {
  const auto rows = summary.Width == 0 ? 0u
                                       : static_cast<uint32_t>(std::min<uint64_t>(
                                             {summary.Lines, StoredRows(screen), most_lines}));
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(screen.Cells.data()),
                                       std::size_t{rows} * screen.Width * sizeof(Cell));
  return {bytes, screen.Width, rows};
}

}  // namespace tintrel
