// SPDX-License-Identifier: MIT
#include "catalog/compare.h"

#include <sqlite3.h>

#include <charconv>
#include <memory>

#include "analysis/screen_digest.h"
#include "catalog/database.h"
#include "catalog/database_views.h"
#include "catalog/pipeline.h"
#include "catalog/run_output.h"
#include "text/shown_name.h"

namespace tintrel {

namespace {

constexpr const char* kOutcomes[] = {"new", "same file", "same art", "looks the same", "near copy"};

// The closest catalogue row with a column equal to the stash row's, by path when several are.
constexpr const char* kSameSql[] = {
    "SELECT path FROM files WHERE md5 = ?1 ORDER BY path LIMIT 1",
    "SELECT path FROM files WHERE art_md5 = ?1 ORDER BY path LIMIT 1",
    "SELECT path FROM files WHERE screen_md5 = ?1 ORDER BY path LIMIT 1",
};
constexpr const char* kSameColumns[] = {"md5", "art_md5", "screen_md5"};

// The nearest drawing among those sharing a band of set bits: ?1 screen_md5, ?2 width, ?3 lines,
// ?4 to ?7 the bands.
std::string NearestSql() {
  return "WITH a (screen_md5, width, lines, band0, band1, band2, band3) AS "
         "(VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)) "
         "SELECT b.path, " +
         SigDistanceSql("a", "b") + " AS distance FROM a JOIN screen_sigs b ON b.path IN (" +
         NearCandidates([](int band) { return "?" + std::to_string(4 + band); }) + ") WHERE " +
         NearCondition("a", "b") + " ORDER BY distance, b.path LIMIT 1";
}

struct Catalogue {
  sqlite3* Connection = nullptr;
  sqlite3_stmt* Same[3] = {};
  sqlite3_stmt* Nearest = nullptr;

  Catalogue() = default;
  Catalogue(const Catalogue&) = delete;
  Catalogue& operator=(const Catalogue&) = delete;
  ~Catalogue() {
    for (sqlite3_stmt* statement : Same) sqlite3_finalize(statement);
    sqlite3_finalize(Nearest);
    sqlite3_close_v2(Connection);
  }
};

void Check(sqlite3* connection, int code) {
  if (code != SQLITE_OK && code != SQLITE_ROW && code != SQLITE_DONE)
    throw Fault("DatabaseError", sqlite3_errmsg(connection));
}

void OpenCatalogue(Catalogue& catalogue, const std::string& path) {
  Check(catalogue.Connection,
        sqlite3_open_v2(path.c_str(), &catalogue.Connection, SQLITE_OPEN_READONLY, nullptr));
  for (std::size_t i = 0; i < std::size(kSameSql); ++i)
    Check(catalogue.Connection,
          sqlite3_prepare_v2(catalogue.Connection, kSameSql[i], -1, &catalogue.Same[i], nullptr));
  const std::string nearest = NearestSql();
  Check(catalogue.Connection,
        sqlite3_prepare_v2(catalogue.Connection, nearest.c_str(), -1, &catalogue.Nearest, nullptr));
}

// Steps a statement to its first row: the path in column 0, handed to `take`; false without one.
template <typename Take>
bool FirstRow(sqlite3* connection, sqlite3_stmt* statement, Take take) {
  const int code = sqlite3_step(statement);
  if (code == SQLITE_ROW) take(statement);
  sqlite3_reset(statement);
  sqlite3_clear_bindings(statement);
  Check(connection, code);
  return code == SQLITE_ROW;
}

std::string PathOf(sqlite3_stmt* statement) {
  return {reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)),
          static_cast<std::size_t>(sqlite3_column_bytes(statement, 0))};
}

void BindText(sqlite3_stmt* statement, int at, const std::string& text) {
  sqlite3_bind_text64(statement, at, text.data(), text.size(), SQLITE_STATIC, SQLITE_UTF8);
}

Match Lookup(Catalogue& catalogue, const Row& row) {
  Match match;
  for (std::size_t i = 0; i < std::size(kSameSql); ++i) {
    const Field& field = row[ColumnIndex(kSameColumns[i])];
    if (field.Type != Field::kText) continue;
    BindText(catalogue.Same[i], 1, field.Value);
    if (FirstRow(catalogue.Connection, catalogue.Same[i],
                 [&](sqlite3_stmt* found) { match.Path = PathOf(found); })) {
      match.Kind = static_cast<Likeness>(i + 1);
      return match;
    }
  }
  const Field& sig_hex = row[Col("screen_sig")];
  uint64_t sig = 0;
  if (sig_hex.Type != Field::kText ||
      std::from_chars(sig_hex.Value.data(), sig_hex.Value.data() + sig_hex.Value.size(), sig, 16)
              .ec != std::errc())
    return match;
  sqlite3_stmt* nearest = catalogue.Nearest;
  BindText(nearest, 1, row[Col("screen_md5")].Value);
  sqlite3_bind_int64(nearest, 2, row[Col("screen_width")].Number);
  sqlite3_bind_int64(nearest, 3, row[Col("screen_lines")].Number);
  for (int band = 0; band < kSigBands; ++band)
    sqlite3_bind_int(nearest, 4 + band, static_cast<int>(SigBand(sig, band)));
  FirstRow(catalogue.Connection, nearest, [&](sqlite3_stmt* found) {
    match = {Likeness::kNearCopy, PathOf(found), sqlite3_column_int(found, 1)};
  });
  return match;
}

}  // namespace

std::string CompareLine(const Row& row, const Match& match) {
  const std::string path = ShownName(row[Col("path")].Value);
  if (const Field& error = row[Col("error")]; error.Type != Field::kNull)
    return "error\t" + path + "\t" + ShownName(error.Value) + "\n";
  std::string line = kOutcomes[static_cast<int>(match.Kind)] + ("\t" + path) + "\t" +
                     (match.Kind == Likeness::kNew ? "" : ShownName(match.Path));
  if (match.Kind == Likeness::kNearCopy) line += "\t" + std::to_string(match.Distance);
  return line + "\n";
}

bool CompareWithDatabase(const std::string& database, const WalkPlan& plan, RowOptions rows,
                         unsigned jobs, Messages& messages, std::string& walk_failure) {
  bool holds_rows = false;
  std::string refusal = CheckDatabaseFile(database, holds_rows);
  if (refusal.empty() && !holds_rows)
    refusal = ShownName(database) +
              " is no database of tintrel-catalog: there is nothing to compare with";
  if (!refusal.empty()) {
    Say(messages, refusal);
    return false;
  }
  Catalogue catalogue;
  try {
    OpenCatalogue(catalogue, database);
  } catch (const Fault& fault) {
    Say(messages, "cannot read " + ShownName(database) + ": " + fault.Message);
    return false;
  }
  RunOutput lines;
  if (!OpenRunOutput(lines, "", messages)) return false;
  rows.Format = TableFormat::Sqlite;
  const auto put = [&](const RowOutput& made) {
    std::string text;
    try {
      ForEachPiece(made.TextSpill, made.Text, [&](std::string_view records) {
        while (!records.empty()) {
          const Row row = ReadRecord(records);
          text += CompareLine(
              row, row[Col("error")].Type == Field::kNull ? Lookup(catalogue, row) : Match{});
        }
        return true;
      });
    } catch (const Fault& fault) {
      Say(messages, fault.Kind == "DatabaseError"
                        ? "cannot read " + ShownName(database) + ": " + fault.Message
                        : fault.Message);
      return false;
    }
    return WriteRunOutput(lines, text, messages);
  };
  const bool written = RunPipeline(plan, rows, jobs, RowSink{put}, messages, walk_failure);
  return written && FinishRunOutput(lines, messages);
}

}  // namespace tintrel
