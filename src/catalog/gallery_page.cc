// SPDX-License-Identifier: MIT
#include "catalog/gallery_page.h"

#include <array>
#include <string_view>

#include "catalog/page/page_files.h"

namespace tintrel {

namespace {

// The columns the page's script reads, those this table has. Each record holds their values in
// this order, and the page is told their names first, so the script finds every value by its
// column's name and treats a column that is not there as absent.
constexpr auto kPageNames = std::to_array<std::string_view>({
    "path",
    "pack",
    "member",
    "size",
    "md5",
    "art_md5",
    "screen_md5",
    "format",
    "thumbnail",
    "picture",
    "title",
    "author",
    "author_key",
    "group",
    "group_key",
    "date",
    "date_iso",
    "blue",
    "green",
    "cyan",
    "red",
    "magenta",
    "yellow",
    "gray",
    "black_area",
    "blue_area",
    "green_area",
    "cyan_area",
    "red_area",
    "magenta_area",
    "yellow_area",
    "gray_area",
    "colors_used",
    "verdict",
    "screen_width",
    "screen_lines",
    "width",
    "lines",
    "font",
    "ice_colors",
    "letter_spacing",
    "aspect_ratio",
    "comments",
    "sauce_warnings",
    "error",
});

constexpr bool HasColumn(std::string_view name) {
  for (const Column& column : kColumns) {
    if (column.Name == name) return true;
  }
  return false;
}

constexpr std::size_t CountPageColumns() {
  std::size_t count = 0;
  for (std::string_view name : kPageNames) count += HasColumn(name) ? 1 : 0;
  return count;
}

constexpr auto kPageColumns = [] {
  std::array<std::size_t, CountPageColumns()> columns{};
  std::size_t at = 0;
  for (std::string_view name : kPageNames) {
    if (HasColumn(name)) columns[at++] = ColumnIndex(name);
  }
  return columns;
}();

// index.html links its style and script, which the page carries inline so that the one file
// works offline. The pictures' folder and the table's folder go in the body's empty attributes;
// the records go in front of the null that ends their array, after its last record's comma.
constexpr std::string_view kStyleLink = R"(<link rel="stylesheet" href="page.css">)";
constexpr std::string_view kPicturesAt = R"(<body data-pictures=")";
constexpr std::string_view kRootAt = R"(" data-root=")";
constexpr std::string_view kRecordsAt = "null]</script>";
constexpr std::string_view kScriptLink = R"(<script src="page.js"></script>)";
constexpr std::size_t kStyle = kPageHtml.find(kStyleLink);
constexpr std::size_t kPictures = kPageHtml.find(kPicturesAt) + kPicturesAt.size();
constexpr std::size_t kRoot = kPageHtml.find(kRootAt) + kRootAt.size();
constexpr std::size_t kRecords = kPageHtml.find(kRecordsAt);
constexpr std::size_t kScript = kPageHtml.find(kScriptLink);
static_assert(kStyle < kPictures && kPictures < kRoot && kRoot < kRecords && kRecords < kScript &&
                  kScript != std::string_view::npos,
              "index.html lacks a place the page is put together at");

// Text inside the script element must not close it: "<" only stands in strings here.
std::string ScriptText(const std::string& json) {
  std::string safe;
  safe.reserve(json.size());
  for (char c : json) {
    if (c == '<') {
      safe += "\\u003c";
    } else {
      safe += c;
    }
  }
  return safe;
}

// Text for an HTML attribute in double quotes.
std::string AttributeText(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    if (c == '&') {
      escaped += "&amp;";
    } else if (c == '"') {
      escaped += "&quot;";
    } else if (c == '<') {
      escaped += "&lt;";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

}  // namespace

std::string PageHead(const std::string& pictures, const std::string& root) {
  std::string head(kPageHtml.substr(0, kStyle));
  head += "<style>\n";
  head += kPageCss;
  head += "</style>";
  head += kPageHtml.substr(kStyle + kStyleLink.size(), kPictures - kStyle - kStyleLink.size());
  head += AttributeText(pictures);
  head += kPageHtml.substr(kPictures, kRoot - kPictures);
  head += AttributeText(root);
  head += kPageHtml.substr(kRoot, kRecords - kRoot);
  std::string names = "[";
  for (std::size_t column : kPageColumns) {
    if (names.size() > 1) names += ',';
    AppendJsonString(names, kColumns[column].Name);
  }
  return head + ScriptText(names + "],\n");
}

std::string PageRecord(const Row& row) {
  std::string record = "[";
  for (std::size_t column : kPageColumns) {
    if (record.size() > 1) record += ',';
    AppendJsonValue(record, row[column]);
  }
  return ScriptText(record + "],\n");
}

std::string PageTail() {
  std::string tail(kPageHtml.substr(kRecords, kScript - kRecords));
  tail += "<script>\n";
  tail += kPageJs;
  tail += "</script>";
  tail += kPageHtml.substr(kScript + kScriptLink.size());
  return tail;
}

}  // namespace tintrel
