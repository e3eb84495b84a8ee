// SPDX-License-Identifier: MIT
// The rows of a pack: its own row (its size and digest, and what went wrong with it as a whole),
// then a row for each member in the pack's own order. A pack inside a pack is opened too, up to
// the depth limit, and gives a row of its own in its place among the members. A member gives the
// row the same file gives on disk: one of up to kHoldLimit bytes is held whole, whatever its
// compression, and drawn at its record's width; a larger one streams through, and its record,
// coming at its end, is too late for the screen, which draws it at 80 columns.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "catalog/art_row.h"
#include "catalog/row_output.h"
#include "io/file_handle.h"
#include "packs/pack_format.h"

namespace tintrel {

// Members one pack may have, nested packs' included, so that its rows, held until the pack is
// read, stay within bounds.
inline constexpr uint64_t kMostMembers = 100000;

// The rows of the pack `file`, whose bytes are `held` when the caller has read them all already.
void PackRows(const std::string& path, const FileHandle& file, uint64_t size, PackFormat format,
              const RowOptions& options, RowTools& tools, RowOutput& out,
              std::span<const uint8_t> held = {});

}  // namespace tintrel
