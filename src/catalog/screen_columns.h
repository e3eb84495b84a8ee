// SPDX-License-Identifier: MIT
// The catalogue's columns of the screen, what a viewer shows of a file, and the warnings about
// its SAUCE record that only the screen can give.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "catalog/table.h"
#include "meta/sauce_info.h"
#include "screen/screen.h"

namespace tintrel {

// The warnings the screen adds after a record's own (kSauceWarnings), in this order.
inline constexpr std::array<std::string_view, 3> kScreenWarnings = {
    "width-mismatch", "lines-mismatch", "ice-unflagged"};

// The width to draw a file at: that of its record, for Character and BinaryText data, where it
// is wider than 80 columns; else 80. A narrower width is checked against the drawing rather
// than believed: drawn at 80 columns, a drawing wider than its record says is seen.
uint32_t ScreenWidthFor(const SauceInfo& info);

// Draws bytes held whole on the screen, at the width of their record.
ScreenSummary DrawHeld(Screen& screen, const SauceInfo& info, std::span<const uint8_t> bytes);

// Fills the screen's columns, and adds its warnings to those of the record: after the record's
// columns are filled.
void FillScreen(Row& row, const ScreenSummary& summary, const SauceInfo& info);

}  // namespace tintrel
