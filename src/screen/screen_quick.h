// SPDX-License-Identifier: MIT
// The quick steps of the screen: the bytes are classified 64 at a time into bit masks (the bytes
// that end a run of glyphs, and those that end a sequence's parameters), each run of glyphs is
// written into its row at once with its attribute, and each sequence is looked up whole in a
// cache of the steps its bytes gave before. They take the same rules as the byte loop, through
// the same events, and hand it whatever else comes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "screen/screen_state.h"
#include "screen/sequence_cache.h"

namespace tintrel {

// Takes quick steps over the bytes from `pos` to `count` while it can, the parser being in its
// normal state, and returns where it stopped: near the end, or at a byte the byte loop must take
// (a sequence too long for a key, a high byte while the character set is not known).
std::size_t TakeQuickSteps(Screen& screen, const uint8_t* bytes, std::size_t pos,
                           std::size_t count);

}  // namespace tintrel
