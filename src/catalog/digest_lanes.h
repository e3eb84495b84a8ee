// SPDX-License-Identifier: MIT
// The held files of one worker in the MD5 lanes: several digested at once, each handed back as
// soon as its lane is done with it, when its row is made.
#pragma once

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "catalog/file_rows.h"
#include "meta/md5_lanes.h"

namespace tintrel {

// A file in the lanes: its row number, its bytes and what is known of it, and the output its row
// goes to, which names the file and its stamp already.
struct DigestedFile {
  uint64_t Number = 0;
  HeldFile Held;
  RowOutput Out;
};

// Rows made, by their numbers, waiting to be handed to the pipeline.
using FinishedRows = std::vector<std::pair<uint64_t, RowOutput>>;

struct Digesting {
  Md5LaneSet Lanes;
  std::array<DigestedFile, kMaxMd5Lanes> Files;  // by tag
  std::array<Md5Done, kMaxMd5Lanes> Done;
  std::size_t InFlight = 0;
};

// Puts the file in a lane, once one is free: files done before then are finished.
void StartDigest(Digesting& digesting, DigestedFile&& file, const RowOptions& options,
                 RowTools& tools, FinishedRows& finished);

// Runs the lanes until a file is done, and makes the rows of each that is.
void CollectDigests(Digesting& digesting, const RowOptions& options, RowTools& tools,
                    FinishedRows& finished);

}  // namespace tintrel
