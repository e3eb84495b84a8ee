// SPDX-License-Identifier: MIT
// What the database's two sides share, the file with its transaction (database.cc) and the rows
// (database_rows.cc): the prepared statements, and the calls that check what SQLite returns.
#pragma once

#include <sqlite3.h>

#include <string>
#include <string_view>

#include "io/fault.h"

namespace tintrel {

struct Database;

// Database::Statements, in this order.
enum DatabaseStatement {
  kInsertFile,     // a row of files, its columns and the time
  kInsertComment,  // path, line, text
  kInsertWarning,  // path, warning
  kDeleteFile,     // the rows of one walked path
  kDeletePath,     // the row of one path
  kLoad,           // every row, for an update
  kSameRow,        // a row with every column as given, the time aside
  kTouchFile,      // a new time for the rows of one walked path
  kReadFile,       // the rows of one walked path, in table order
  kInsertSig,      // a row of screen_sigs: path, screen_md5, width, lines and the four bands
};

// Returns `code` when it tells of success; otherwise throws the connection's error as a Fault,
// with the system's reason for a failed read or write.
int CheckSqlite(sqlite3* connection, int code);

// Runs a statement that returns no rows, and readies it for the next run.
void RunStatement(Database& db, DatabaseStatement which);

// Binds text that stays where it is until the statement has run, unless it is to be copied.
void BindText(sqlite3_stmt* statement, int at, std::string_view text,
              sqlite3_destructor_type keep = SQLITE_STATIC);

}  // namespace tintrel
