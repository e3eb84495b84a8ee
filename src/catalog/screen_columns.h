// SPDX-License-Identifier: MIT
// The catalogue's columns of the screen, what a viewer shows of a file, and the warnings about
// its SAUCE record that only the screen can give.
#pragma once

#include <array>
#include <string_view>

#include "catalog/table.h"
#include "meta/sauce_info.h"
#include "screen/screen.h"

namespace tintrel {

// The warnings the screen adds after a record's own (kSauceWarnings), in this order.
inline constexpr std::array<std::string_view, 4> kScreenWarnings = {
    "width-mismatch", "lines-mismatch", "ice-unflagged", "font-substituted"};

// Fills the screen's columns, and adds its warnings to those of the record: after the record's
// columns are filled. Art that carries its own font is drawn in it, whatever the record names.
void FillScreen(Row& row, const ScreenSummary& summary, const SauceInfo& info, bool own_font);

}  // namespace tintrel
