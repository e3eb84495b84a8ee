// The output of "-r": a report for a person, in sections under rules of "=".
#pragma once

#include <string>

#include "meta/file_digest.h"
#include "output/output.h"
#include "scan/scan_state.h"

namespace tintrel {

// Writes the file, colour and character sections and, when the file has a SAUCE record, its
// section: 20 lines, or 25 with a record. Runs the statistics on `scan` after the file section,
// so it is called once, after the scan of the file `name`.
void WriteReport(ScanState& scan, Output& out, const std::string& name,
                 EarlyDigest* early = nullptr);

}  // namespace tintrel
