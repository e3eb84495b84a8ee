// SPDX-License-Identifier: MIT
#include <charconv>

#include "analysis/screen_digest.h"
#include "catalog/database.h"
#include "catalog/database_sql.h"

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

}  // namespace

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
    if (rows.Kept) return;
    if (rows.Stamp && SameRows(db, rows, earlier->second)) {
      // Only its time changes: one page, where new rows would change every index as well.
      BindText(db.Statements[kTouchFile], 1, rows.Path);
      sqlite3_bind_int64(db.Statements[kTouchFile], 2, rows.Stamp->ModifiedNs);
      return RunStatement(db, kTouchFile);
    }
    BindText(db.Statements[kDeleteFile], 1, rows.Path);
    RunStatement(db, kDeleteFile);
  }
  ForEachPiece(rows.TextSpill, rows.Text, [&](std::string_view records) {
    while (!records.empty()) StoreRow(db, ReadRecord(records), rows.Stamp);
    return true;
  });
}

}  // namespace tintrel
