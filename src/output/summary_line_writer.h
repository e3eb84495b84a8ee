// SPDX-License-Identifier: MIT
// The default output: one comma-separated line per file, made to be gathered into a table.
#pragma once

#include "analysis/analysis.h"
#include "io/output.h"

namespace tintrel {

// Writes digest, one to three colour words, colours used, the low/high verdict and the SAUCE
// title, author, group and date (or ",,,"). Where a step of the analysis ended with a fault, the
// line stops where that step's part would begin, and the fault is thrown.
void WriteSummaryLine(const Analysis& analysis, Output& out);

}  // namespace tintrel
