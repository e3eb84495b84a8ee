// SPDX-License-Identifier: MIT
// Where the table (or the gallery page) goes: standard output, or FILE by way of a temporary file
// beside it that takes FILE's name only when the whole table is written. A run that fails or is
// interrupted leaves an earlier FILE whole and no temporary file behind. A FILE that is a device or
// a pipe is written directly.
#pragma once

#include <string>

namespace tintrel {

struct TableFile {
  std::string Path;      // FILE; empty for standard output
  std::string TempPath;  // the temporary file while it exists
  int Fd = 1;
  int Slot = -1;  // where an interrupt finds the temporary file

  TableFile() = default;
  TableFile(const TableFile&) = delete;
  TableFile& operator=(const TableFile&) = delete;
  // Removes the temporary file when the table was not committed.
  ~TableFile();
};

// Opens the table at `path` (empty for standard output). Returns an empty text, or why not.
std::string OpenTableFile(TableFile& table, const std::string& path);

// Puts the finished table in place under its name. Returns an empty text, or why not.
std::string CommitTableFile(TableFile& table);

// How messages name the table: its file name, or "standard output".
std::string TableName(const TableFile& table);

// For a table changed in place, whose change must be undone before the run ends: a signal that
// would end the run is only noted, and the run ends by it (EndByInterrupt) once it has undone it.
void NoteInterrupts();
bool Interrupted();
// Ends the run by the noted signal, the temporary files that are not in place yet removed.
[[noreturn]] void EndByInterrupt();

}  // namespace tintrel
