// SPDX-License-Identifier: MIT
// The rows of the catalogue: the analysis of one file, or of a pack and its members, or why it
// could not be analysed, formatted as they are made.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "analysis/analysis.h"
#include "catalog/pictures.h"
#include "catalog/row_spill.h"
#include "catalog/table.h"
#include "meta/sauce_info.h"
#include "packs/pack_source.h"
#include "scan/quick_steps.h"
#include "screen/screen.h"

namespace tintrel {

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

// What a worker keeps from file to file: the scan's cache of token effects and the screen, both
// of which only their own bytes fill, and what it draws pictures with.
struct RowTools {
  TokenCache Cache;
  Screen Drawing;
  PictureWork Pictures;
};

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
};

// Where the next row would go in each part of an output.
struct RowMark {
  uint64_t Text = 0, Page = 0, Errors = 0;
};

inline RowMark RowPlace(const RowOutput& out) {
  return {out.TextSpill.Size + out.Text.size(), out.PageSpill.Size + out.Page.size(),
          out.Errors.size() + out.UnnamedErrors};
}

// Formats a row onto the output; at `at`, a place the output had, rather than at its end.
void AddRow(RowOutput& out, const Row& row, const RowOptions& options);
void InsertRow(RowOutput& out, RowMark at, const Row& row, const RowOptions& options);

// A file no larger than this is read whole, and its digests may be taken with others' at once.
inline constexpr uint64_t kHeldFileSize = 1 << 20;

// A file read whole and scanned, its record decoded, waiting for its digests.
struct HeldFile {
  std::string Path;
  std::unique_ptr<uint8_t[]> Bytes;
  std::size_t Size = 0;
  Analysis Scanned;
  SauceInfo Sauce;
  ScreenSummary Shown;
};

// Analyses the file at `path`: opened once, read once for the scan, both digests and the SAUCE
// record. A pack gives a row of its own and one per member. Anything but a regular file, and any
// failure, gives a row with `error` filled. A file the earlier catalogue holds with the same stamp
// is not opened: it is only marked kept. The tools are the calling worker's own.
void CatalogRows(const std::string& path, const RowOptions& options, RowTools& tools,
                 RowOutput& out);

// The same, but a file small enough to hold is left in `held`, read and scanned, for the caller
// to take its digests and give them to FinishHeldFile; true then, and `out` is untouched.
bool StartRows(const std::string& path, const RowOptions& options, RowTools& tools, RowOutput& out,
               HeldFile& held);

// The held file's row, and its picture when pictures are made, with its digests: of all its bytes
// and of its art, the bytes in front of the first byte 26 (held.Scanned.ScannedBytes of them).
void FinishHeldFile(HeldFile& held, const Digest& whole, const Digest& art,
                    const RowOptions& options, RowTools& tools, RowOutput& out);

// A row with nothing but the path and why it has nothing else.
Row ErrorRow(const std::string& path, const std::string& error);

// A row of the scan, both digests, the record and the screen.
Row AnalysisRow(const std::string& path, const Analysis& analysis, const SauceInfo& info,
                const ScreenSummary& shown);

// Names a row as a pack's, or as a member of one: `pack` the file on disk, `member` the name
// inside it (empty for the pack's own row).
void SetPackColumns(Row& row, const std::string& pack, const std::string& member);

// Why a failed step gives no row, as the row's error says it.
std::string FaultText(const char* what, const Fault& fault);

}  // namespace tintrel
