// SPDX-License-Identifier: MIT
// The catalogue as a SQLite database: `files`, a row per table row with the table's columns typed
// and the file's modification time; the SAUCE comments and warnings a row per item; indexes on the
// digests and the pack; the view `duplicates`. A new database is written beside FILE and renamed
// into place, as the other formats are. An update changes FILE in place in one transaction: an
// unchanged archive then costs its walk and a few pages, where a copy would write all of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalog/row_output.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tintrel {

// The version of the tables, in PRAGMA user_version. Raise it with any change to them, a column
// added to kColumns included: a database of another version is refused, never overwritten.
inline constexpr int kDatabaseVersion = 3;

// What rows depend on besides the files: an update keeps no row that was made otherwise.
struct DatabaseSettings {
  std::string Version;  // the program's
  bool OpenPacks = true;
  uint64_t PackLimit = 0;
  std::string Thumbnails;  // the pictures' folder as given, empty without pictures
  int64_t StartedNs = 0;   // when this run began, in nanoseconds since 1970
  bool operator==(const DatabaseSettings&) const = default;
};

struct Database;
struct Database {
  std::string Path;  // FILE, as messages name it
  sqlite3* Connection = nullptr;
  bool InPlace = false;  // an update of FILE
  DatabaseSettings Settings;
  int64_t EarlierStartNs = -1;  // an update: when the run that made the rows began
  EarlierFiles Earlier;         // an update: the files it has rows of
  std::vector<bool> Walked;     // by EarlierFile::Index: walked by this run
  std::vector<sqlite3_stmt*> Statements;

  Database() = default;
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;
  ~Database();  // closes, undoing a transaction still open
};

// Looks at FILE before anything is written: `holds_rows` tells whether it is a database of this
// version (rather than missing or empty). Returns why it must be left alone, or an empty text.
std::string CheckDatabaseFile(const std::string& path, bool& holds_rows);

// A new database in the empty file at `temp_path`, to be named `path` when finished.
std::string CreateDatabase(Database& db, const std::string& path, const std::string& temp_path,
                           const DatabaseSettings& settings);

// Opens the database at `path` for an update, in one transaction. `note` tells why no row is kept,
// when the settings changed.
std::string UpdateDatabase(Database& db, const std::string& path, const DatabaseSettings& settings,
                           std::string& note);

// An update: reads into db.Earlier the files the database has rows of, and which of them may keep
// their rows. Returns an empty text, or why not.
std::string LoadEarlierFiles(Database& db);

// Stores the rows of one walked path, in place of its earlier rows. Throws a Fault when the
// database cannot be written.
void StoreRows(Database& db, const RowOutput& rows);

// Removes the rows of the files not walked, and commits. Returns an empty text, or why not.
std::string FinishDatabase(Database& db);

// Closes the database; a transaction still open is undone.
void CloseDatabase(Database& db);

}  // namespace tintrel
