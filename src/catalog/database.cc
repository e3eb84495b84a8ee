// SPDX-License-Identifier: MIT
#include "catalog/database.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "catalog/database_sql.h"
#include "catalog/database_views.h"
#include "text/shown_name.h"

namespace tintrel {

namespace {

// PRAGMA application_id: the bytes "tint", so that a database of this program is told from others.
constexpr int kApplicationId = 0x74696E74;
constexpr const char* kItemTables = R"(
CREATE TABLE sauce_comments (
  path TEXT NOT NULL REFERENCES files (path) ON DELETE CASCADE,
  line INTEGER NOT NULL,
  text TEXT NOT NULL,
  PRIMARY KEY (path, line)
) WITHOUT ROWID;
CREATE TABLE sauce_warnings (
  path TEXT NOT NULL REFERENCES files (path) ON DELETE CASCADE,
  warning TEXT NOT NULL,
  PRIMARY KEY (path, warning)
) WITHOUT ROWID;
CREATE TABLE catalog_run (
  version TEXT NOT NULL,
  packs INTEGER NOT NULL,
  pack_limit INTEGER NOT NULL,
  thumbnails TEXT NOT NULL,
  started_ns INTEGER NOT NULL
);)";

// Made once the rows of a new database are in, which is quicker than keeping them up to date.
constexpr const char* kIndexes = R"(
CREATE INDEX files_md5 ON files (md5);
CREATE INDEX files_art_md5 ON files (art_md5);
CREATE INDEX files_pack ON files (pack);
CREATE INDEX files_screen_md5 ON files (screen_md5);
CREATE VIEW duplicates AS
  SELECT art_md5, count(*) AS copies, json_group_array(path) AS paths
  FROM (SELECT art_md5, path FROM files WHERE art_md5 IS NOT NULL ORDER BY art_md5, path)
  GROUP BY art_md5 HAVING count(*) > 1;
CREATE VIEW group_names AS
  SELECT key, sum(files) AS files, json_group_object(spelling, files) AS spellings
  FROM (SELECT group_key AS key, "group" AS spelling, count(*) AS files FROM files
        WHERE group_key IS NOT NULL GROUP BY group_key, "group"
        ORDER BY group_key, files DESC, "group")
  GROUP BY key;
CREATE VIEW author_names AS
  SELECT key, sum(files) AS files, json_group_object(spelling, files) AS spellings
  FROM (SELECT author_key AS key, author AS spelling, count(*) AS files FROM files
        WHERE author_key IS NOT NULL GROUP BY author_key, author
        ORDER BY author_key, files DESC, author)
  GROUP BY key;)";

// The rows of one walked path: a file's own, or a pack's and its members'.
constexpr const char* kFileRows = "pack = ?1 OR (path = ?1 AND pack IS NULL)";

// Every row, for the files an update may keep: read without an error anywhere in their rows.
constexpr const char* kLoadSql = "SELECT path, pack, size, mtime_ns, error IS NULL FROM files";

// The system's reason for a failed read or write, which tells more than "disk I/O error" does:
// the database file keeps the last one.
int SystemError(sqlite3* connection, int code) {
  const int primary = code & 0xFF;
  if (primary != SQLITE_IOERR && primary != SQLITE_FULL && primary != SQLITE_CANTOPEN) return 0;
  int error = 0;
  sqlite3_file_control(connection, "main", SQLITE_FCNTL_LAST_ERRNO, &error);
  return error != 0 ? error : sqlite3_system_errno(connection);
}

[[noreturn]] void Fail(sqlite3* connection, int code) {
  throw Fault("DatabaseError", sqlite3_errmsg(connection), SystemError(connection, code));
}

void Execute(sqlite3* connection, const std::string& sql) {
  CheckSqlite(connection, sqlite3_exec(connection, sql.c_str(), nullptr, nullptr, nullptr));
}

// A column's name as SQL takes it: "group" is a keyword.
std::string Quoted(std::string_view name) {
  const std::string text(name);
  return sqlite3_keyword_check(name.data(), static_cast<int>(name.size())) ? '"' + text + '"'
                                                                           : text;
}

std::string FilesTable() {
  std::string sql = "CREATE TABLE files (";
  for (const Column& column : kColumns) {
    sql += "\n  " + Quoted(column.Name) + (column.Type == ColumnType::kText ? " TEXT" : " INTEGER");
    if (column.Name == "path") sql += " PRIMARY KEY NOT NULL";
    sql += ',';
  }
  return sql + "\n  mtime_ns INTEGER\n);";
}

std::string InsertFileSql() {
  std::string names, values;
  for (const Column& column : kColumns) {
    names += Quoted(column.Name) + ", ";
    values += "?, ";
  }
  return "INSERT INTO files (" + names + "mtime_ns) VALUES (" + values + "?)";
}

// Finds a row with every column as given, the time aside.
std::string SameRowSql() {
  std::string sql = "SELECT 1 FROM files WHERE ";
  for (std::size_t i = 0; i < kColumns.size(); ++i)
    sql += (i > 0 ? " AND " : "") + Quoted(kColumns[i].Name) + (i > 0 ? " IS ?" : " = ?");
  return sql;
}

std::string ReadFileSql() {
  std::string sql = "SELECT ";
  for (const Column& column : kColumns) {
    if (column.Name != kColumns[0].Name) sql += ", ";
    sql += Quoted(column.Name);
  }
  sql += " FROM files WHERE ";
  sql += kFileRows;
  sql += " ORDER BY rowid";
  return sql;
}

// The connection is used by one thread at a time, the one that writes the rows: it needs no lock
// of its own around every call.
void Open(Database& db, const std::string& file, int flags) {
  const int code =
      sqlite3_open_v2(file.c_str(), &db.Connection, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  if (code != SQLITE_OK) Fail(db.Connection, code);
}

void Prepare(Database& db) {
  const std::string sql[] = {
      InsertFileSql(),
      "INSERT INTO sauce_comments (path, line, text) VALUES (?, ?, ?)",
      "INSERT INTO sauce_warnings (path, warning) VALUES (?, ?)",
      std::string("DELETE FROM files WHERE ") + kFileRows,
      "DELETE FROM files WHERE path = ?",
      kLoadSql,
      SameRowSql(),
      std::string("UPDATE files SET mtime_ns = ?2 WHERE ") + kFileRows,
      ReadFileSql(),
      "INSERT INTO screen_sigs (path, screen_md5, width, lines, band0, band1, band2, band3) "
      "VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
  };
  db.Statements.assign(std::size(sql), nullptr);
  for (std::size_t i = 0; i < db.Statements.size(); ++i) {
    CheckSqlite(db.Connection,
                sqlite3_prepare_v3(db.Connection, sql[i].c_str(), -1, SQLITE_PREPARE_PERSISTENT,
                                   &db.Statements[i], nullptr));
  }
}

int64_t PragmaNumber(sqlite3* connection, const char* name) {
  sqlite3_stmt* statement = nullptr;
  CheckSqlite(connection, sqlite3_prepare_v2(connection, (std::string("PRAGMA ") + name).c_str(),
                                             -1, &statement, nullptr));
  const int code = sqlite3_step(statement);
  const int64_t number = code == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : 0;
  sqlite3_finalize(statement);
  CheckSqlite(connection, code);
  return number;
}

// Why the database at `path` must be left alone, or an empty text.
std::string Refusal(sqlite3* connection, const std::string& path) {
  int64_t application = 0, version = 0;
  try {
    application = PragmaNumber(connection, "application_id");
    version = PragmaNumber(connection, "user_version");
  } catch (const Fault& fault) {
    if (sqlite3_errcode(connection) != SQLITE_NOTADB)
      return "cannot read " + ShownName(path) + ": " + DatabaseReason(fault);
  }
  if (application != kApplicationId)
    return path + " is not a database of tintrel-catalog: it is left as it is";
  if (version != kDatabaseVersion)
    return path + " is a database of another version of tintrel-catalog (" +
           std::to_string(version) + ", this one writes " + std::to_string(kDatabaseVersion) +
           "): it is left as it is";
  return "";
}

// The settings the rows of the database were made with; the version is empty when unknown.
DatabaseSettings EarlierSettings(sqlite3* connection) {
  sqlite3_stmt* statement = nullptr;
  CheckSqlite(connection, sqlite3_prepare_v2(connection,
                                             "SELECT version, packs, pack_limit, thumbnails, "
                                             "started_ns FROM "
                                             "catalog_run",
                                             -1, &statement, nullptr));
  DatabaseSettings settings;
  const int code = sqlite3_step(statement);
  if (code == SQLITE_ROW) {
    settings.Version = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    settings.OpenPacks = sqlite3_column_int(statement, 1) != 0;
    settings.PackLimit = static_cast<uint64_t>(sqlite3_column_int64(statement, 2));
    settings.Thumbnails = reinterpret_cast<const char*>(sqlite3_column_text(statement, 3));
    settings.StartedNs = sqlite3_column_int64(statement, 4);
  }
  sqlite3_finalize(statement);
  CheckSqlite(connection, code);
  return settings;
}

}  // namespace

int CheckSqlite(sqlite3* connection, int code) {
  if (code != SQLITE_OK && code != SQLITE_ROW && code != SQLITE_DONE) Fail(connection, code);
  return code;
}

void RunStatement(Database& db, DatabaseStatement which) {
  sqlite3_stmt* statement = db.Statements[which];
  const int code = sqlite3_step(statement);
  sqlite3_reset(statement);
  sqlite3_clear_bindings(statement);
  CheckSqlite(db.Connection, code);
}

void BindText(sqlite3_stmt* statement, int at, std::string_view text,
              sqlite3_destructor_type keep) {
  sqlite3_bind_text64(statement, at, text.data(), text.size(), keep, SQLITE_UTF8);
}

std::string DatabaseReason(const Fault& fault) {
  return fault.ErrorNumber != 0 ? std::strerror(fault.ErrorNumber) : fault.Message;
}

Database::~Database() {
  CloseDatabase(*this);
}

void CloseDatabase(Database& db) {
  const bool unfinished =
      db.Connection != nullptr && db.InPlace && sqlite3_get_autocommit(db.Connection) == 0;
  for (sqlite3_stmt*& statement : db.Statements) {
    sqlite3_finalize(statement);
    statement = nullptr;
  }
  sqlite3_close_v2(db.Connection);
  db.Connection = nullptr;
  // A connection that met a failed write (a full disk) leaves its journal hot, for the next one
  // to roll back: that next one is opened here, so that the file is the earlier one again now.
  if (!unfinished) return;
  sqlite3* again = nullptr;
  if (sqlite3_open_v2(db.Path.c_str(), &again, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                      nullptr) == SQLITE_OK)
    sqlite3_exec(again, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
  sqlite3_close_v2(again);
}

std::string CheckDatabaseFile(const std::string& path, bool& holds_rows) {
  holds_rows = false;
  struct stat status;
  if (stat(path.c_str(), &status) != 0)
    return errno == ENOENT ? "" : "cannot read " + ShownName(path) + ": " + std::strerror(errno);
  if (S_ISDIR(status.st_mode))
    return "cannot write " + ShownName(path) + ": " + std::strerror(EISDIR);
  if (!S_ISREG(status.st_mode))
    return ShownName(path) + " is not a regular file: a database cannot go there";
  if (status.st_size == 0) return "";
  Database db;
  try {
    Open(db, path, SQLITE_OPEN_READONLY);
  } catch (const Fault& fault) {
    return "cannot read " + ShownName(path) + ": " + DatabaseReason(fault);
  }
  const std::string refusal = Refusal(db.Connection, path);
  holds_rows = refusal.empty();
  return refusal;
}

std::string CreateDatabase(Database& db, const std::string& path, const std::string& temp_path,
                           const DatabaseSettings& settings) {
  db.Path = path;
  db.Settings = settings;
  try {
    Open(db, temp_path, SQLITE_OPEN_READWRITE);
    // The file takes FILE's name only once it is whole and synced: it needs no journal of its own.
    Execute(db.Connection,
            "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; PRAGMA foreign_keys = ON; "
            "BEGIN; PRAGMA application_id = " +
                std::to_string(kApplicationId) +
                "; PRAGMA user_version = " + std::to_string(kDatabaseVersion) + ";\n" +
                FilesTable() + kItemTables + kScreenSigsTable + BitCountRows());
    Prepare(db);
  } catch (const Fault& fault) {
    return "cannot write " + ShownName(path) + ": " + DatabaseReason(fault);
  }
  return "";
}

std::string UpdateDatabase(Database& db, const std::string& path, const DatabaseSettings& settings,
                           std::string& note) {
  db.Path = path;
  db.Settings = settings;
  db.InPlace = true;
  try {
    Open(db, path, SQLITE_OPEN_READWRITE);
    // Foreign keys must be on before the transaction; another update waits for this one.
    Execute(db.Connection,
            "PRAGMA foreign_keys = ON; PRAGMA busy_timeout = 10000; BEGIN IMMEDIATE");
    if (std::string refusal = Refusal(db.Connection, path); !refusal.empty()) return refusal;
    Prepare(db);
    const DatabaseSettings earlier = EarlierSettings(db.Connection);
    if (earlier.Version != settings.Version || earlier.OpenPacks != settings.OpenPacks ||
        earlier.PackLimit != settings.PackLimit || earlier.Thumbnails != settings.Thumbnails) {
      note = path + " was made by another version of tintrel-catalog or with other pack or " +
             "picture options: every file is read again";
      Execute(db.Connection,
              "DELETE FROM sauce_comments; DELETE FROM sauce_warnings; DELETE FROM screen_sigs; "
              "DELETE FROM files");
      return "";
    }
    db.EarlierStartNs = earlier.StartedNs;
  } catch (const Fault& fault) {
    return "cannot update " + ShownName(path) + ": " + DatabaseReason(fault);
  }
  return "";
}

std::string FinishDatabase(Database& db) {
  try {
    for (const auto& [path, file] : db.Earlier) {
      if (db.Walked[file.Index]) continue;
      ++db.Counts.Removed;
      BindText(db.Statements[kDeleteFile], 1, path);
      RunStatement(db, kDeleteFile);
    }
    if (!db.InPlace) Execute(db.Connection, kIndexes + ScreenSigsIndexes() + CurationViews());
    // An update that changed no row writes nothing, not even the time it began: it read no file
    // that could have changed under it.
    if (db.InPlace && sqlite3_total_changes64(db.Connection) == 0) {
      Execute(db.Connection, "COMMIT");
      CloseDatabase(db);
      return "";
    }
    const DatabaseSettings& run = db.Settings;
    Execute(db.Connection, "DELETE FROM catalog_run");
    sqlite3_stmt* insert = nullptr;
    CheckSqlite(db.Connection,
                sqlite3_prepare_v2(db.Connection,
                                   "INSERT INTO catalog_run (version, packs, pack_limit, "
                                   "thumbnails, started_ns) VALUES (?, ?, ?, ?, ?)",
                                   -1, &insert, nullptr));
    BindText(insert, 1, run.Version);
    sqlite3_bind_int(insert, 2, run.OpenPacks);
    sqlite3_bind_int64(insert, 3, static_cast<int64_t>(run.PackLimit));
    BindText(insert, 4, run.Thumbnails);
    sqlite3_bind_int64(insert, 5, run.StartedNs);
    const int code = sqlite3_step(insert);
    sqlite3_finalize(insert);
    CheckSqlite(db.Connection, code);
    Execute(db.Connection, "COMMIT");
  } catch (const Fault& fault) {
    return "cannot write " + ShownName(db.Path) + ": " + DatabaseReason(fault);
  }
  CloseDatabase(db);
  return "";
}

}  // namespace tintrel
