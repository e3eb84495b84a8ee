// SPDX-License-Identifier: MIT
#include "render/screen_picture.h"

#include <cstddef>

namespace tintrel {

// A cell is stored as VGA text memory holds it, so the rows are read as its bytes.
static_assert(sizeof(Cell) == 2 && offsetof(Cell, Glyph) == 0 && offsetof(Cell, Attr) == 1);

TextCells CellRows(std::span<const Cell> cells, uint32_t columns) {
  const auto rows = columns == 0 ? 0u : static_cast<uint32_t>(cells.size() / columns);
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(cells.data()),
                                       std::size_t{rows} * columns * sizeof(Cell));
  return {bytes, columns, rows};
}

}  // namespace tintrel
