// SPDX-License-Identifier: MIT
// The rows of one path past what its output holds in memory: a pack of 100,000 members keeps no
// more than kHeldRows of them, the rest wait in an unnamed temporary file for their turn.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "io/file_handle.h"

namespace tintrel {

// Formatted rows held in memory before they go to the temporary file.
inline constexpr std::size_t kHeldRows = 64 << 10;

// Rows that went to the temporary file, in order, and the rows made later for a place among them
// (a pack's own row, made after its members, goes in front of them).
struct SpilledRows {
  FileHandle File;
  uint64_t Size = 0;
  std::vector<uint64_t> Ends;  // where each move to the file ended: each piece is whole rows
  std::vector<std::pair<uint64_t, std::string>> Inserted;  // place in the file, rows
};

// Moves the rows of `text` to the file once there are more than kHeldRows of them. Throws a
// FileError when the temporary file cannot be made or written.
void SpillPast(SpilledRows& spill, std::string& text);

// Puts `rows` at `at`, a place counted over the file's bytes and then those of `text`.
void InsertRows(SpilledRows& spill, std::string& text, uint64_t at, std::string_view rows);

// Error rows named one by one on standard error; past this many a path's others are counted.
inline constexpr std::size_t kNamedErrors = 100;

// Notes the path and error of an error row at `at` among the named ones, or counts it unnamed.
void NoteError(std::vector<std::pair<std::string, std::string>>& named, uint64_t& unnamed,
               std::size_t at, std::pair<std::string, std::string> error);

// Hands every row, in order, in pieces of whole rows: those of the file with the ones inserted
// among them, then `text`. Stops when `take` returns false, and returns what it returned last.
// Throws a FileError when the file cannot be read back.
bool ForEachPiece(const SpilledRows& spill, const std::string& text,
                  const std::function<bool(std::string_view)>& take);

}  // namespace tintrel
