// SPDX-License-Identifier: MIT
// What the screen shows, as the text cells a picture is drawn from.
#pragma once

#include <cstdint>

#include "render/text_picture.h"
#include "screen/screen.h"

namespace tintrel {

// The stored rows of the screen down to its lowest visible line, at most `most_lines` of them;
// no rows when nothing shows.
TextCells ShownCells(const Screen& screen, const ScreenSummary& summary, uint32_t most_lines);

}  // namespace tintrel
