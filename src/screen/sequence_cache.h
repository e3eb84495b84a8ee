// SPDX-License-Identifier: MIT
// The cache of the steps of the sequences the quick steps met, which a screen keeps from drawing
// to drawing; the quick steps and their processor code both look into it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "screen/screen_steps.h"

namespace tintrel {

// A sequence's bytes after ESC "[" (its parameters and final byte), all ones past them, and its
// step. A fresh entry, all zero, holds no sequence: a key's first byte ends it or is followed by
// more of it.
struct SequenceEntry {
  uint64_t KeyLow = 0, KeyHigh = 0;
  ScreenStep Step;
};

inline constexpr int kSequenceCacheBits = 12;

// An entry depends on its sequence's bytes alone, so one cache serves drawing after drawing.
struct SequenceCache {
  std::unique_ptr<SequenceEntry[]> Entries =
      std::make_unique<SequenceEntry[]>(std::size_t{1} << kSequenceCacheBits);
};

}  // namespace tintrel
