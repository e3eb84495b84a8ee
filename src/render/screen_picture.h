// SPDX-License-Identifier: MIT
// What the screen shows, as the text cells a picture is drawn from.
#pragma once

#include <cstdint>
#include <span>

#include "render/text_picture.h"
#include "screen/screen.h"

namespace tintrel {

// Rows of the screen's cells, `columns` to a row, as text cells: read where they lie.
TextCells CellRows(std::span<const Cell> cells, uint32_t columns);

}  // namespace tintrel
