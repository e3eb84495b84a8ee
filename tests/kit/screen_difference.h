// SPDX-License-Identifier: MIT
// What the quick steps of the screen are checked by, in the tests and the fuzz target: the first
// difference between two screens that drew the same bytes.
#pragma once

#include <string>

#include "screen/screen.h"

namespace tintrel::testkit {

// The first difference in stored cells, row marks, counts, cursor, pen, frames or summary, or
// "" when there is none.
std::string ScreenDifference(const Screen& a, const Screen& b);

}  // namespace tintrel::testkit
