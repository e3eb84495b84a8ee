// SPDX-License-Identifier: MIT
// The catalogue's table: its columns, a row of values, and the ways to write it: CSV (RFC 4180, a
// header row, LF line ends), JSON Lines (one object a line), and records for the database.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tintrel {

// How a column is stored in the database. A list is text as in CSV (its items joined: numbers by
// spaces); the comments and warnings have a table of their own as well.
enum class ColumnType : uint8_t { kText, kInteger, kFlag };

struct Column {
  std::string_view Name;
  ColumnType Type = ColumnType::kText;
};

// The table's columns in their order. A column added here is in every format, the database's
// schema included; see kDatabaseVersion.
inline constexpr auto kColumns = std::to_array<Column>({
    {"path", ColumnType::kText},
    {"pack", ColumnType::kText},
    {"member", ColumnType::kText},
    {"size", ColumnType::kInteger},
    {"md5", ColumnType::kText},
    {"art_md5", ColumnType::kText},
    {"screen_md5", ColumnType::kText},
    {"screen_sig", ColumnType::kText},
    {"colors", ColumnType::kText},
    {"blue", ColumnType::kInteger},
    {"green", ColumnType::kInteger},
    {"cyan", ColumnType::kInteger},
    {"red", ColumnType::kInteger},
    {"magenta", ColumnType::kInteger},
    {"yellow", ColumnType::kInteger},
    {"gray", ColumnType::kInteger},
    // Each colour's share of the screen's area, black included.
    {"black_area", ColumnType::kInteger},
    {"blue_area", ColumnType::kInteger},
    {"green_area", ColumnType::kInteger},
    {"cyan_area", ColumnType::kInteger},
    {"red_area", ColumnType::kInteger},
    {"magenta_area", ColumnType::kInteger},
    {"yellow_area", ColumnType::kInteger},
    {"gray_area", ColumnType::kInteger},
    {"colors_used", ColumnType::kInteger},
    {"total_chars", ColumnType::kInteger},
    {"low_ascii", ColumnType::kInteger},
    {"high_ascii", ColumnType::kInteger},
    {"verdict", ColumnType::kText},
    {"format", ColumnType::kText},
    // What the screen shows at the end.
    {"screen_width", ColumnType::kInteger},
    {"screen_lines", ColumnType::kInteger},
    {"charset", ColumnType::kText},
    {"ice", ColumnType::kFlag},
    {"extended_colors", ColumnType::kFlag},
    {"frames", ColumnType::kInteger},
    {"fg16", ColumnType::kText},
    {"bg16", ColumnType::kText},
    {"sauce", ColumnType::kFlag},
    {"title", ColumnType::kText},
    {"author", ColumnType::kText},
    {"author_key", ColumnType::kText},
    {"group", ColumnType::kText},
    {"group_key", ColumnType::kText},
    {"date", ColumnType::kText},
    {"date_iso", ColumnType::kText},
    {"sauce_version", ColumnType::kText},
    {"file_size", ColumnType::kInteger},
    {"data_type", ColumnType::kText},
    {"file_type", ColumnType::kText},
    {"width", ColumnType::kInteger},
    {"lines", ColumnType::kInteger},
    {"tinfo1", ColumnType::kInteger},
    {"tinfo2", ColumnType::kInteger},
    {"tinfo3", ColumnType::kInteger},
    {"tinfo4", ColumnType::kInteger},
    {"ice_colors", ColumnType::kFlag},
    {"letter_spacing", ColumnType::kText},
    {"aspect_ratio", ColumnType::kText},
    {"font", ColumnType::kText},
    {"comments", ColumnType::kText},
    {"sauce_warnings", ColumnType::kText},
    {"thumbnail", ColumnType::kText},
    {"picture", ColumnType::kText},
    {"error", ColumnType::kText},
});

// The position of a column in kColumns.
constexpr std::size_t ColumnIndex(std::string_view name) {
  for (std::size_t i = 0; i < kColumns.size(); ++i) {
    if (kColumns[i].Name == name) return i;
  }
  throw "no such column";
}

// The same, found while compiling: `row[Col("md5")]`. A name that is no column's does not compile.
consteval std::size_t Col(std::string_view name) {
  return ColumnIndex(name);
}

// One value of a row. Null where the column does not apply: empty in CSV, null in JSON.
struct Field {
  enum Kind : uint8_t { kNull, kText, kNumber, kFlag, kList, kNumberList };
  Kind Type = kNull;
  std::string Value;               // kText; a kNumber or kFlag as it is written
  int64_t Number = 0;              // kNumber
  std::vector<std::string> Items;  // kList: an array in JSON, joined by Separator in CSV
  char Separator = ' ';            // kNumberList: as kList, its items numbers as written
};

Field TextField(std::string text);
Field NumberField(int64_t number);
Field FlagField(bool flag);
Field ListField(std::vector<std::string> items, char separator);
Field NumberListField(std::span<const int64_t> numbers);

using Row = std::array<Field, kColumns.size()>;

enum class TableFormat { Csv, JsonLines, Sqlite };

// Appends `text` as a JSON string: UTF-8, a byte that begins no character as U+FFFD.
void AppendJsonString(std::string& line, std::string_view text);

// Appends a field as JSON: text, a number, a flag, an array for a list, null where it is null.
void AppendJsonValue(std::string& line, const Field& field);

// The CSV header row; the other formats have none.
std::string TableHeader(TableFormat format);

// One row, with its line end; for the database, a record that ReadRecord gives back, so that rows
// wait for their turn as bytes rather than as fields.
std::string FormatRow(const Row& row, TableFormat format);

// The first record of `records`, which is left at the next one.
Row ReadRecord(std::string_view& records);

// A list's items as one text, as CSV holds them.
std::string JoinedItems(const Field& list);

}  // namespace tintrel
