// SPDX-License-Identifier: MIT
#include "catalog/gallery_page.h"

#include <array>
#include <string_view>

#include "catalog/page/page_files.h"

namespace tintrel {

namespace {

// The columns the page's script reads. Each record holds their values in this order, and the
// page is told their names first, so the script finds every value by its column's name.
constexpr auto kPageColumns = std::to_array<std::size_t>({
    ColumnIndex("path"),        ColumnIndex("pack"),       ColumnIndex("member"),
    ColumnIndex("size"),        ColumnIndex("art_md5"),    ColumnIndex("thumbnail"),
    ColumnIndex("title"),       ColumnIndex("author"),     ColumnIndex("group"),
    ColumnIndex("date"),        ColumnIndex("date_iso"),   ColumnIndex("blue"),
    ColumnIndex("green"),       ColumnIndex("cyan"),       ColumnIndex("red"),
    ColumnIndex("magenta"),     ColumnIndex("yellow"),     ColumnIndex("gray"),
    ColumnIndex("colors_used"), ColumnIndex("verdict"),    ColumnIndex("sauce_warnings"),
    ColumnIndex("error"),       ColumnIndex("author_key"), ColumnIndex("group_key"),
    ColumnIndex("black_area"),  ColumnIndex("blue_area"),  ColumnIndex("green_area"),
    ColumnIndex("cyan_area"),   ColumnIndex("red_area"),   ColumnIndex("magenta_area"),
    ColumnIndex("yellow_area"), ColumnIndex("gray_area"),
});

// index.html links its style and script, which the page carries inline so that the one file
// works offline. The pictures' folder goes in the body's empty attribute; the records go in
// front of the null that ends their array, after its last record's comma.
constexpr std::string_view kStyleLink = R"(<link rel="stylesheet" href="page.css">)";
constexpr std::string_view kPicturesAt = R"(<body data-pictures=")";
constexpr std::string_view kRecordsAt = "null]</script>";
constexpr std::string_view kScriptLink = R"(<script src="page.js"></script>)";
constexpr std::size_t kStyle = kPageHtml.find(kStyleLink);
constexpr std::size_t kPictures = kPageHtml.find(kPicturesAt) + kPicturesAt.size();
constexpr std::size_t kRecords = kPageHtml.find(kRecordsAt);
constexpr std::size_t kScript = kPageHtml.find(kScriptLink);
static_assert(kStyle < kPictures && kPictures < kRecords && kRecords < kScript &&
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

std::string PageHead(const std::string& pictures) {
  std::string head(kPageHtml.substr(0, kStyle));
  head += "<style>\n";
  head += kPageCss;
  head += "</style>";
  head += kPageHtml.substr(kStyle + kStyleLink.size(), kPictures - kStyle - kStyleLink.size());
  head += AttributeText(pictures);
  head += kPageHtml.substr(kPictures, kRecords - kPictures);
  std::string names = "[";
  for (std::size_t column : kPageColumns) {
    if (names.size() > 1) names += ',';
    AppendJsonString(names, kColumns[column].Name);
  }
  return head + ScriptText(names + "],\n");
}

std::string PageRecord(const Row& row) {
  const bool pack_row = row[ColumnIndex("pack")].Type != Field::kNull &&
                        row[ColumnIndex("member")].Type == Field::kNull;
  // A pack read whole has no error.
  const bool failed = !row[ColumnIndex("error")].Value.empty();
  if (pack_row && !failed) return "";
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
