// SPDX-License-Identifier: MIT
// Where the rows of one walked path go as they are made: formatted for the table (and the
// gallery page), with what the messages and the progress line tell of them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "catalog/row_spill.h"
#include "catalog/table.h"
#include "packs/pack_source.h"

namespace tintrel {

struct PictureShelf;

// A file on disk as its rows were made: its size and modification time.
struct FileStamp {
  int64_t Size = 0;
  int64_t ModifiedNs = 0;  // nanoseconds since 1970
  bool operator==(const FileStamp&) const = default;
};

// The files on disk whose rows an earlier catalogue holds, by path: a file it may keep and finds
// with the same stamp is not read again.
struct EarlierFile {
  FileStamp Stamp;
  uint64_t Rows = 0;  // its own and its members'
  bool Keep = false;
  bool Clean = true;      // no row of it has an error
  std::size_t Index = 0;  // its place among the earlier files
};
using EarlierFiles = std::unordered_map<std::string, EarlierFile>;

// How a file becomes rows.
struct RowOptions {
  TableFormat Format = TableFormat::Csv;
  bool Page = false;                 // the gallery page's records are made too
  PictureShelf* Pictures = nullptr;  // --thumbnails: where the pictures go
  bool OpenPacks = true;             // false: a pack is a plain file
  PackLimits Limits;
  const EarlierFiles* Earlier = nullptr;  // an update: the files that need not be read again
};

// The rows made of one path, formatted, and what the messages and the progress line tell of them.
struct RowOutput {
  std::string Path;                                         // as walked
  std::string Text;                                         // every row, with its line end
  std::string Page;                                         // their records for the gallery page
  std::vector<std::pair<std::string, std::string>> Errors;  // path and error of each error row
  uint64_t UnnamedErrors = 0;                               // error rows past those named in Errors
  SpilledRows TextSpill, PageSpill;  // rows in front of Text and Page, moved out of memory
  uint64_t Rows = 0;
  uint64_t Bytes = 0;              // the sizes of the files and members analysed
  std::optional<FileStamp> Stamp;  // a regular file's, taken before it was read
  bool Kept = false;               // unchanged since the earlier catalogue: its rows stand
  std::vector<uint64_t> Arts;      // the first 8 bytes of each row's art digest, to find copies
};

// Where the next row would go in each part of an output.
struct RowMark {
  uint64_t Text = 0, Page = 0, Errors = 0;
};

inline RowMark RowPlace(const RowOutput& out) {
  return {out.TextSpill.Size + out.Text.size(), out.PageSpill.Size + out.Page.size(),
          out.Errors.size() + out.UnnamedErrors};
}

// Formats a row onto the output: at its end, or at `at`, a place the output had (a pack's own
// row goes in front of its members once they are read).
void AddRow(RowOutput& out, const Row& row, const RowOptions& options,
            std::optional<RowMark> at = std::nullopt);

}  // namespace tintrel
