// The default output: one comma-separated line per file, made to be gathered into a table.
#pragma once

#include <string>

#include "meta/file_digest.h"
#include "output/output.h"
#include "scan/scan_state.h"

namespace tintrel {

// Writes digest, one to three colour words, colours used, the low/high verdict and the SAUCE
// title, author, group and date (or ",,,"), each part as soon as it is known. Runs the statistics
// on `scan`, so it is called once, after the scan of the file `name`.
void WriteSummaryLine(ScanState& scan, Output& out, const std::string& name,
                      EarlyDigest* early = nullptr);

}  // namespace tintrel
