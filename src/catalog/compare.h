// SPDX-License-Identifier: MIT
// --compare: every file of a stash, walked and read as a catalogue run reads it, looked up in a
// catalogue's database and put on standard output as one line, nothing written anywhere else.
#pragma once

#include <string>

#include "catalog/messages.h"
#include "catalog/row_output.h"
#include "catalog/table.h"
#include "catalog/walk.h"

namespace tintrel {

// What the catalogue holds of a file, the closest first.
enum class Likeness : uint8_t { kNew, kSameFile, kSameArt, kLooksTheSame, kNearCopy };

struct Match {
  Likeness Kind = Likeness::kNew;
  std::string Path;  // the catalogue's row it is like
  int Distance = 0;  // kNearCopy: the bits their screen_sig differ in
};

// The line --compare writes for a row: "OUTCOME\tPATH\tMATCH", and "\tBITS" for a near copy, the
// paths as messages show them; "error\tPATH\tMESSAGE" for a row that could not be read.
std::string CompareLine(const Row& row, const Match& match);

// Walks the stash of `plan` and writes the line of each row. False, having said why, when the
// database cannot be read or the lines cannot be written.
bool CompareWithDatabase(const std::string& database, const WalkPlan& plan, RowOptions rows,
                         unsigned jobs, Messages& messages, std::string& walk_failure);

}  // namespace tintrel
