// SPDX-License-Identifier: MIT
// The output of "-r": a report for a person, in sections under rules of "=".
#pragma once

#include "analysis/analysis.h"
#include "io/output.h"

namespace tintrel {

// Writes the file, colour and character sections and, when the file has a SAUCE record, its
// section: 20 lines, or 25 with a record. Where a step of the analysis ended with a fault, the
// report stops where that step's part would begin, and the fault is thrown.
void WriteReport(const Analysis& analysis, Output& out);

}  // namespace tintrel
