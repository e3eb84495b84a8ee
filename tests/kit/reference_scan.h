// SPDX-License-Identifier: MIT
// A position sink for tests that writes the cursor position reports of a scan into a string, as
// tintrel writes them.
#pragma once

#include <string>

#include "scan/scan_state.h"

namespace tintrel::testkit {

// Appends each report to `written` as ESC [ row ; column R.
PositionSink ReportsInto(std::string& written);

}  // namespace tintrel::testkit
