// SPDX-License-Identifier: MIT
// The rows of one path the walk found: a file's own row, or a pack's and its members', or why it
// could not be analysed. A small file is held whole, so that its digests may be taken in the MD5
// lanes with those of other files.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "analysis/art_facts.h"
#include "catalog/art_row.h"
#include "catalog/row_output.h"
#include "catalog/row_tools.h"

namespace tintrel {

// A file read whole and scanned, its record decoded and its screen drawn, waiting for its digests.
struct HeldFile {
  std::string Path;
  std::unique_ptr<uint8_t[]> Bytes;
  std::size_t Size = 0;
  ArtFacts Facts;
};

// Makes the rows of the file at `path` into `out`: opened once, read once for the scan, both
// digests, the SAUCE record and the screen. A pack gives a row of its own and one per member.
// Anything but a regular file, and any failure, gives a row with `error` filled. A file the
// earlier catalogue holds with the same stamp is not opened: it is only marked kept.
//
// A file small enough to hold is given back instead, read and scanned, for the caller to take its
// digests and give them to FinishHeldFile; `out` then names it and its stamp, and has no row yet.
std::optional<HeldFile> StartFileRows(const std::string& path, const RowOptions& options,
                                      RowTools& tools, RowOutput& out);

// The held file's row, and its picture when pictures are made, with its digests: of all its bytes
// and of its art, the bytes in front of the first byte 26.
void FinishHeldFile(HeldFile& held, const Digest& whole, const Digest& art,
                    const RowOptions& options, RowTools& tools, RowOutput& out);

// Both steps, the digests of a held file taken on one stream.
void CatalogRows(const std::string& path, const RowOptions& options, RowTools& tools,
                 RowOutput& out);

}  // namespace tintrel
