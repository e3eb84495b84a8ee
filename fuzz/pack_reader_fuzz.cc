// SPDX-License-Identifier: MIT
// Any bytes as a pack: read from memory and through a file, the two readings must hand over the
// same members with the same bytes; every member is a file or an error, with a UTF-8 name and at
// most the budget's bytes; and the catalogue's rows of the file are the pack's own row, then one
// row for each member, each with a digest or an error. Memory is bounded by the budget, which the
// run's -rss_limit_mb holds the reader to.
#include <fcntl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/file_rows.h"
#include "io/file_handle.h"
#include "kit/md5_hex.h"
#include "memory_file.h"
#include "packs/pack_format.h"
#include "packs/pack_reader.h"
#include "text/utf8.h"

namespace tintrel {
namespace {

constexpr uint64_t kBudget = 1 << 20;

[[noreturn]] void Fail(const char* what, std::string_view detail = {}) {
  std::fprintf(stderr, "pack reader: %s: %.*s\n", what, static_cast<int>(detail.size()),
               detail.data());
  std::abort();
}

void Check(bool holds, const char* what, std::string_view detail = {}) {
  if (!holds) Fail(what, detail);
}

bool StartsWithAny(std::string_view text, std::initializer_list<std::string_view> starts) {
  for (std::string_view start : starts) {
    if (text.starts_with(start)) return true;
  }
  return false;
}

// A member's name on a line of its own: a line feed in it would count as a member more.
std::string OneLine(std::string name) {
  std::replace(name.begin(), name.end(), '\n', '|');
  return name;
}

// What a reading handed over, one line a member: its name, then its bytes' digest or its error.
std::string Members(const PackSource& source, PackFormat format, std::string& outcome) {
  std::string seen;
  PackBudget budget{kBudget, 0, false, ""};
  PackVisitor visitor;
  visitor.File = [&](const std::string& name, MemberBytes& bytes) {
    Check(IsUtf8(name), "name is not UTF-8", name);
    std::string content(bytes.Whole.begin(), bytes.Whole.end());
    std::string error;
    if (!bytes.IsWhole) {
      try {
        for (std::span<const uint8_t> chunk = bytes.Next(); !chunk.empty(); chunk = bytes.Next())
          content.append(chunk.begin(), chunk.end());
      } catch (const Fault& fault) {
        error = fault.Message;
        // A member that failed stays failed.
        bool again = false;
        try {
          bytes.Next();
        } catch (const Fault&) {
          again = true;
        }
        Check(again, "a failed member read on");
      }
    }
    Check(content.size() <= kBudget, "a member past the budget");
    seen += OneLine(name) + " " + (error.empty() ? testkit::Md5Hex(content) : error) + "\n";
  };
  visitor.Error = [&](const std::string& name, const std::string& error) {
    Check(IsUtf8(name), "name is not UTF-8", name);
    Check(StartsWithAny(error, {"damaged: ", "unsupported", "pack limit reached: "}),
          "member error", error);
    seen += OneLine(name) + " " + error + "\n";
  };
  outcome = ReadPack(source, format, budget, visitor).Error;
  Check(budget.Used <= kBudget || budget.Reached, "the budget went unnoticed");
  return seen;
}

}  // namespace
}  // namespace tintrel

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace tintrel;
  const std::string& name = MemoryFile(data, size);
  const PackFormat format = DetectPackFormat({data, std::min(size, kPackSignatureSize)});
  if (format == PackFormat::kNone) return 0;

  std::string held_outcome, file_outcome;
  const std::string held = Members(MemorySource({data, size}, "pack"), format, held_outcome);
  FileHandle file = OpenForReading(name);
  Check(file.IsOpen(), "memory file");
  const std::string read = Members(FileSource(file, size, "pack"), format, file_outcome);
  Check(held == read && held_outcome == file_outcome, "memory and file readings differ",
        held + "--\n" + read);

  RowOptions options;
  options.Format = TableFormat::JsonLines;
  options.Limits.ExpandedBytes = kBudget;
  RowTools tools(options);
  RowOutput out;
  CatalogRows(name, options, tools, out);
  // A pack of many members has its first rows in a temporary file.
  std::string text;
  ForEachPiece(out.TextSpill, out.Text, [&](std::string_view rows) {
    text += rows;
    return true;
  });
  std::size_t lines = 0, members = 0;
  for (char c : text) lines += c == '\n';
  for (char c : held) members += c == '\n';
  Check(lines == out.Rows, "rows and lines differ");
  // Nested packs add rows of their own, unless they spend the budget the outer members needed.
  Check(out.Rows >= 1 + members || text.find("limit reached") != std::string::npos,
        "fewer rows than members", held + "--\n" + text);
  const std::string pack_row =
      "{\"path\":\"" + name + "\",\"pack\":\"" + name + "\",\"member\":null";
  Check(text.starts_with(pack_row), "the pack's own row is not first", text);
  std::size_t at = 0;
  for (std::size_t line = 0; line < lines; ++line) {
    const std::size_t end = text.find('\n', at);
    const std::string_view row(text.data() + at, end - at);
    Check(row.find("\"md5\":\"") != std::string_view::npos ||
              row.find("\"error\":null") == std::string_view::npos,
          "a row with neither a digest nor an error", row);
    at = end + 1;
  }
  return 0;
}
