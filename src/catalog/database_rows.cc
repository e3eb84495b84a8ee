// SPDX-License-Identifier: MIT
#include <algorithm>
#include <array>
#include <charconv>

#include "analysis/screen_digest.h"
#include "catalog/database.h"
#include "catalog/database_sql.h"
#include "text/shown_name.h"

namespace tintrel {

namespace {

// A file modified this close before the run that recorded it began may have changed again within
// the same tick of the file system's clock, after it was read: it is read again.
constexpr int64_t kClockTickNs = 2'000'000'000;

// A value as its column stores it; a value of another kind than its column's is a fault here.
void BindField(sqlite3_stmt* statement, int at, const Field& field, const Column& column) {
  const bool fits = field.Type == Field::kNull ||
                    (column.Type == ColumnType::kInteger && field.Type == Field::kNumber) ||
                    (column.Type == ColumnType::kFlag && field.Type == Field::kFlag) ||
                    (column.Type == ColumnType::kText &&
                     (field.Type == Field::kText || field.Type == Field::kList ||
                      field.Type == Field::kNumberList));
  if (!fits) throw Fault("DatabaseError", "column " + std::string(column.Name) + " is mistyped");
  switch (field.Type) {
    case Field::kNull: sqlite3_bind_null(statement, at); return;
    case Field::kText: BindText(statement, at, field.Value); return;
    case Field::kNumber: sqlite3_bind_int64(statement, at, field.Number); return;
    case Field::kFlag: sqlite3_bind_int(statement, at, field.Value == "true"); return;
    case Field::kList:
    case Field::kNumberList: BindText(statement, at, JoinedItems(field), SQLITE_TRANSIENT); return;
  }
}

void BindRow(sqlite3_stmt* statement, const Row& row) {
  for (std::size_t i = 0; i < row.size(); ++i)
    BindField(statement, static_cast<int>(i + 1), row[i], kColumns[i]);
}

// The row's signature in bands, for near_copies to look up.
void StoreSig(Database& db, const Row& row) {
  const std::string& hex = row[Col("screen_sig")].Value;
  uint64_t sig = 0;
  if (row[Col("screen_sig")].Type != Field::kText ||
      std::from_chars(hex.data(), hex.data() + hex.size(), sig, 16).ec != std::errc())
    return;
  sqlite3_stmt* insert = db.Statements[kInsertSig];
  BindText(insert, 1, row[Col("path")].Value);
  BindText(insert, 2, row[Col("screen_md5")].Value);
  sqlite3_bind_int64(insert, 3, row[Col("screen_width")].Number);
  sqlite3_bind_int64(insert, 4, row[Col("screen_lines")].Number);
  for (int band = 0; band < kSigBands; ++band)
    sqlite3_bind_int(insert, 5 + band, static_cast<int>(SigBand(sig, band)));
  RunStatement(db, kInsertSig);
}

void StoreRow(Database& db, const Row& row, const std::optional<FileStamp>& stamp) {
  sqlite3_stmt* insert = db.Statements[kInsertFile];
  BindRow(insert, row);
  const int modified = static_cast<int>(row.size() + 1);
  if (stamp) {
    sqlite3_bind_int64(insert, modified, stamp->ModifiedNs);
  } else {
    sqlite3_bind_null(insert, modified);
  }
  const std::string& path = row[Col("path")].Value;
  int code = sqlite3_step(insert);
  if ((code & 0xFF) == SQLITE_CONSTRAINT) {
    // The path has a row already (named twice, or twice in one pack): the later row stands.
    sqlite3_reset(insert);
    BindText(db.Statements[kDeletePath], 1, path);
    RunStatement(db, kDeletePath);
    code = sqlite3_step(insert);
  }
  sqlite3_reset(insert);
  CheckSqlite(db.Connection, code);

  const std::vector<std::string>& comments = row[Col("comments")].Items;
  for (std::size_t line = 0; line < comments.size(); ++line) {
    BindText(db.Statements[kInsertComment], 1, path);
    sqlite3_bind_int64(db.Statements[kInsertComment], 2, static_cast<int64_t>(line + 1));
    BindText(db.Statements[kInsertComment], 3, comments[line]);
    RunStatement(db, kInsertComment);
  }
  for (const std::string& warning : row[Col("sauce_warnings")].Items) {
    BindText(db.Statements[kInsertWarning], 1, path);
    BindText(db.Statements[kInsertWarning], 2, warning);
    RunStatement(db, kInsertWarning);
  }
  StoreSig(db, row);
}

std::string ColumnText(sqlite3_stmt* statement, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
  return {text, static_cast<std::size_t>(sqlite3_column_bytes(statement, column))};
}

// The walked files the database has rows of, each kept when all its rows are clean and it was not
// modified close before the earlier run began.
void LoadRows(Database& db) {
  sqlite3_stmt* load = db.Statements[kLoad];
  int code;
  while ((code = sqlite3_step(load)) == SQLITE_ROW) {
    std::string path = ColumnText(load, 0);
    const bool own = sqlite3_column_type(load, 1) == SQLITE_NULL || ColumnText(load, 1) == path;
    EarlierFile& file = db.Earlier[own ? std::move(path) : ColumnText(load, 1)];
    if (own) {
      file.Stamp = {sqlite3_column_int64(load, 2), sqlite3_column_int64(load, 3)};
      file.Keep = sqlite3_column_type(load, 2) != SQLITE_NULL &&
                  sqlite3_column_type(load, 3) != SQLITE_NULL &&
                  file.Stamp.ModifiedNs < db.EarlierStartNs - kClockTickNs;
    }
    ++file.Rows;
    file.Clean = file.Clean && sqlite3_column_int(load, 4) != 0;
  }
  sqlite3_reset(load);
  CheckSqlite(db.Connection, code);
  std::size_t index = 0;
  for (auto& [path, file] : db.Earlier) {
    file.Keep = file.Keep && file.Clean;
    file.Index = index++;
  }
  db.Walked.assign(index, false);
}

// Whether the rows made of a file read again are those the database holds: a file only touched.
bool SameRows(Database& db, const RowOutput& rows, const EarlierFile& earlier) {
  if (rows.Rows != earlier.Rows) return false;
  sqlite3_stmt* same = db.Statements[kSameRow];
  return ForEachPiece(rows.TextSpill, rows.Text, [&](std::string_view records) {
    while (!records.empty()) {
      const Row row = ReadRecord(records);  // bound where it is: it stays until the step is done
      BindRow(same, row);
      const int code = sqlite3_step(same);
      sqlite3_reset(same);
      CheckSqlite(db.Connection, code);
      if (code != SQLITE_ROW) return false;
    }
    return true;
  });
}

// A stored value as the row had it: a list split where its items were joined.
Field StoredField(sqlite3_stmt* statement, int at, const Column& column) {
  static constexpr std::array<std::pair<std::size_t, char>, 4> kLists = {
      {{Col("comments"), '\n'},
       {Col("sauce_warnings"), ' '},
       {Col("fg16"), ' '},
       {Col("bg16"), ' '}}};
  if (sqlite3_column_type(statement, at) == SQLITE_NULL) return {};
  if (column.Type == ColumnType::kInteger) return NumberField(sqlite3_column_int64(statement, at));
  if (column.Type == ColumnType::kFlag) return FlagField(sqlite3_column_int(statement, at) != 0);
  std::string text = ColumnText(statement, at);
  for (const auto& [index, separator] : kLists) {
    if (kColumns[index].Name != column.Name) continue;
    std::vector<std::string> items;
    for (std::size_t from = 0; !text.empty() && from <= text.size();) {
      const std::size_t end = std::min(text.find(separator, from), text.size());
      items.push_back(text.substr(from, end - from));
      from = end + 1;
    }
    Field list = ListField(std::move(items), separator);
    if (index == Col("fg16") || index == Col("bg16")) list.Type = Field::kNumberList;
    return list;
  }
  return TextField(std::move(text));
}

}  // namespace

void ReadKeptRows(Database& db, const std::string& path,
                  const std::function<void(const Row&)>& take) {
  sqlite3_stmt* read = db.Statements[kReadFile];
  BindText(read, 1, path);
  int code;
  while ((code = sqlite3_step(read)) == SQLITE_ROW) {
    Row row;
    for (std::size_t i = 0; i < row.size(); ++i)
      row[i] = StoredField(read, static_cast<int>(i), kColumns[i]);
    take(row);
  }
  sqlite3_reset(read);
  sqlite3_clear_bindings(read);
  CheckSqlite(db.Connection, code);
}

std::string ReadDatabaseFacts(const std::string& path, std::span<const std::string_view> pictures,
                              DatabaseFacts& facts) {
  sqlite3* connection = nullptr;
  sqlite3_stmt* statement = nullptr;
  // One query a statement; its rows go to `take`.
  const auto query = [&](const std::string& sql, const std::function<void()>& take) {
    CheckSqlite(connection, sqlite3_prepare_v2(connection, sql.c_str(), -1, &statement, nullptr));
    int code;
    while ((code = sqlite3_step(statement)) == SQLITE_ROW) take();
    sqlite3_finalize(statement);
    statement = nullptr;
    CheckSqlite(connection, code);
  };
  std::string error;
  try {
    CheckSqlite(connection,
                sqlite3_open_v2(path.c_str(), &connection, SQLITE_OPEN_READONLY, nullptr));
    for (std::string_view column : pictures) {
      const std::string name(column);
      query("SELECT DISTINCT " + name + " FROM files WHERE " + name + " IS NOT NULL", [&] {
        const std::string picture = ColumnText(statement, 0);
        facts.Pictures.insert(picture.substr(picture.rfind('/') + 1));
      });
    }
    query("SELECT count(art_md5) - count(DISTINCT art_md5) FROM files",
          [&] { facts.Copies = static_cast<uint64_t>(sqlite3_column_int64(statement, 0)); });
  } catch (const Fault& fault) {
    sqlite3_finalize(statement);
    error = "cannot read " + ShownName(path) + ": " + DatabaseReason(fault);
  }
  sqlite3_close_v2(connection);
  return error;
}

std::string LoadEarlierFiles(Database& db) {
  if (!db.InPlace || db.EarlierStartNs < 0) return "";
  try {
    LoadRows(db);
  } catch (const Fault& fault) {
    return "cannot read " + db.Path + ": " + DatabaseReason(fault);
  }
  return "";
}

void StoreRows(Database& db, const RowOutput& rows) {
  if (auto earlier = db.Earlier.find(rows.Path); earlier != db.Earlier.end()) {
    db.Walked[earlier->second.Index] = true;
    if (rows.Kept) {
      ++db.Counts.Unchanged;
      return;
    }
    if (rows.Stamp && SameRows(db, rows, earlier->second)) {
      ++db.Counts.Unchanged;
      // Only its time changes: one page, where new rows would change every index as well.
      BindText(db.Statements[kTouchFile], 1, rows.Path);
      sqlite3_bind_int64(db.Statements[kTouchFile], 2, rows.Stamp->ModifiedNs);
      return RunStatement(db, kTouchFile);
    }
    ++db.Counts.Changed;
    BindText(db.Statements[kDeleteFile], 1, rows.Path);
    RunStatement(db, kDeleteFile);
  } else {
    ++db.Counts.Added;
  }
  ForEachPiece(rows.TextSpill, rows.Text, [&](std::string_view records) {
    while (!records.empty()) StoreRow(db, ReadRecord(records), rows.Stamp);
    return true;
  });
}

}  // namespace tintrel
