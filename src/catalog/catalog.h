// SPDX-License-Identifier: MIT
// The tintrel-catalog entry: a whole collection of art analysed in one process, one row per
// file, in a table that tools can read.
#pragma once

namespace tintrel {

// Runs the catalogue for the command line and returns the exit status: 0 when every row is clean,
// 1 when some file could not be analysed, 2 for a usage error or an output that cannot be written.
int RunCatalog(int argc, const char* const* argv);

}  // namespace tintrel
