// SPDX-License-Identifier: MIT
// The catalogue's table: its columns, a row of values, and the two ways to write it, CSV
// (RFC 4180, a header row, LF line ends) and JSON Lines (one object a line).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tintrel {

// clang-format off
inline constexpr std::array<std::string_view, 51> kColumns = {
    "path",        "pack",           "member",
    "size",        "md5",            "art_md5",
    "colors",      "blue",           "green",
    "cyan",        "red",            "magenta",
    "yellow",      "gray",           "colors_used",
    "total_chars", "low_ascii",      "high_ascii",
    "verdict",
    // What the screen shows at the end.
    "screen_width", "screen_lines", "charset", "ice", "extended_colors", "frames", "fg16", "bg16",
    "sauce",
    "title",       "author",         "group",
    "date",        "date_iso",       "sauce_version",
    "file_size",   "data_type",      "file_type",
    "width",       "lines",          "tinfo1",
    "tinfo2",      "tinfo3",         "tinfo4",
    "ice_colors",  "letter_spacing", "aspect_ratio",
    "font",        "comments",       "sauce_warnings",
    "thumbnail",   "error"};
// clang-format on

// The position of a column in kColumns.
constexpr std::size_t ColumnIndex(std::string_view name) {
  for (std::size_t i = 0; i < kColumns.size(); ++i) {
    if (kColumns[i] == name) return i;
  }
  throw "no such column";
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

enum class TableFormat { Csv, JsonLines };

// Appends `text` as a JSON string: UTF-8, a byte that begins no character as U+FFFD.
void AppendJsonString(std::string& line, std::string_view text);

// The CSV header row; JSON Lines has none.
std::string TableHeader(TableFormat format);

// One row, with its line end.
std::string FormatRow(const Row& row, TableFormat format);

}  // namespace tintrel
