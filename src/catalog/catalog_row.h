// SPDX-License-Identifier: MIT
// One row of the catalogue: the analysis of one file, or why it could not be analysed.
#pragma once

#include <cstdint>
#include <string>

#include "catalog/table.h"
#include "scan/quick_steps.h"
#include "screen/screen.h"

namespace tintrel {

// Analyses the file at `path`: opened once, read once for the scan, both digests and the screen,
// and its SAUCE record read from its end first (the record's width is the screen's). Anything
// but a regular file, and any failure, gives a row with `error` filled. The token cache and
// the screen are the calling worker's own, kept from file to file.
Row CatalogRow(const std::string& path, TokenCache& cache, Screen& screen);

// A row with nothing but the path and why it has nothing else.
Row ErrorRow(const std::string& path, const std::string& error);

// The row's error, or an empty text; and the file size it gives.
const std::string& RowError(const Row& row);
uint64_t RowSize(const Row& row);

}  // namespace tintrel
