// SPDX-License-Identifier: MIT
// A row of the table made from what a file's bytes say (its ArtFacts), with its picture; or a row
// that says why there is nothing to say.
#pragma once

#include <string>

#include "analysis/art_facts.h"
#include "catalog/row_output.h"
#include "catalog/row_tools.h"
#include "catalog/table.h"

namespace tintrel {

// The row of the facts of the bytes named `path`, and their pictures when pictures are made, a
// tall drawing drawn again from `again`; the row of the fault instead when the bytes could not
// all be read.
Row ArtRow(const std::string& path, const ArtFacts& facts, const RowOptions& options,
           RowTools& tools, const ArtAgain& again = {});

// A row with nothing but the path and why it has nothing else.
Row ErrorRow(const std::string& path, const std::string& error);

// Names a row as a pack's, or as a member of one: `pack` the file on disk, `member` the name
// inside it (empty for the pack's own row).
void SetPackColumns(Row& row, const std::string& pack, const std::string& member);

// Why a failed step gives no row, as the row's error says it.
std::string FaultText(const char* what, const Fault& fault);

}  // namespace tintrel
