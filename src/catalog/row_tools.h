// SPDX-License-Identifier: MIT
// What a worker keeps from file to file to make rows: the scan's and the screen's tools, what it
// draws pictures with, the buffer a streamed member is gathered in, and the MD5 lanes a pack's
// small members are digested in.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "analysis/art_facts.h"
#include "catalog/pictures.h"
#include "catalog/row_output.h"
#include "meta/md5_lanes.h"

namespace tintrel {

// A file or member no larger than this is held whole for the MD5 lanes, which digest several at
// once.
inline constexpr uint64_t kHeldFileSize = 1 << 20;

// A pack's member held for its digests, its row to be made once the lanes give them.
struct MemberInLane {
  std::string Member;
  std::string NameWarning;  // its name was cut
  ArtFacts Facts;
  std::vector<uint8_t> Bytes;  // a copy: the pack's reader reuses its own for the next member
  bool Busy = false;           // in Order
  bool Digested = false;
};

// The members of the pack being read that are in the lanes; their rows go out in the pack's order.
struct MemberLanes {
  Md5LaneSet Lanes;
  std::array<Md5Done, kMaxMd5Lanes> Done;
  std::array<MemberInLane, kMaxMd5Lanes> Members;  // by tag
  std::deque<std::size_t> Order;                   // the tags in flight, in the pack's order
};

struct RowTools {
  ArtTools Art;
  PictureWork Pictures;
  std::vector<uint8_t> Gathered;
  MemberLanes InLanes;

  explicit RowTools(const RowOptions& options) {
    Art.TopLines = options.Pictures != nullptr ? UINT32_MAX : 0;
  }
};

}  // namespace tintrel
