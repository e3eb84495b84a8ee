// SPDX-License-Identifier: MIT
// The quick steps of the scan: a run of cells, or a whole token (a control, a pipe code, a "|"
// that starts none, ESC with the byte it drops, a whole control sequence), each in one step.
// The bytes of a block are classified into bit masks and a list of the places where runs end
// before any step is taken, and a token's bytes are looked up in a small cache of the effects the
// interpreter's rules gave them before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "scan/escape_interpreter.h"

namespace tintrel {

// The longest token a quick step takes: ESC, "[", 13 parameter characters and the final byte.
inline constexpr std::size_t kLongestToken = 16;
// A scan's first 256 KiB use the small cache, which touches few pages (eight) but holds enough
// sets that a drawing's few hundred tokens do not keep swapping in them; a longer scan the large,
// in which they seldom meet in a set.
inline constexpr int kSmallCacheBits = 10, kLargeCacheBits = 13;

// A token's bytes, all ones past its end, their effect and where the run after it starts, from
// its first byte. A fresh entry, all zero, holds no token: the only tokens of 16 bytes start
// with ESC. Only tokens the quick steps take are kept.
struct TokenEntry {
  uint64_t KeyLow = 0, KeyHigh = 0;
  Effect Step;
  uint8_t RunFrom = 0;
};

// Beside the effect's own flags: the token's last byte, which draws nothing, is high or ends runs;
// the effect saves the cursor, restores it or erases to the end of the line, and does nothing
// else.
inline constexpr uint8_t kLastApart = 128, kOnlyMarks = 64;

// Frees the memory the entries were placed in.
struct FreeDeleter {
  void* Memory = nullptr;
  void operator()(TokenEntry*) const { std::free(Memory); }
};

using TokenEntries = std::unique_ptr<TokenEntry[], FreeDeleter>;

inline constexpr std::size_t kCacheLine = 64;

// Two ways to a set, a set to a cache line. The entries start as zeroed memory; one more stands
// after them, as the cursor step reads sixteen bytes from an entry's moves on.
inline TokenEntries NewTokenEntries(int bits) {
  const std::size_t size = ((std::size_t{1} << bits) + 1) * sizeof(TokenEntry) + kCacheLine - 1;
  void* memory = std::calloc(size, 1);
  const auto line = (reinterpret_cast<std::uintptr_t>(memory) + kCacheLine - 1) & -kCacheLine;
  return TokenEntries(reinterpret_cast<TokenEntry*>(line), FreeDeleter{memory});
}

// An entry depends on its token's bytes alone, so one cache may serve one scan after another.
struct TokenCache {
  TokenEntries Small = NewTokenEntries(kSmallCacheBits);
  TokenEntries Large;  // made when a scan first goes on past its start
};

// How the steps go: at the start of a scan with the small cache, further on with the large; with
// the best classification the processor has (SSSE3 at the start where the processor has AVX2,
// AVX-512 or AVX2 further on), further on with AVX2 at most, or at the start with the one every
// processor has (SSE2, or the table one byte at a time in a build without SIMD).
enum class Stage { kStart, kFurther, kFurtherWithAvx2, kStartPortably };

// Takes quick steps over the bytes from `pos` to `count` of `block` for as long as it can and
// returns where it stopped: at the end, or at the first byte the byte loop must take. Those are
// the end mark, a token cut by the end of the block, a sequence too long for one step, and a "|"
// or end mark where the byte after ESC or a final byte would be.
std::size_t TakeQuickSteps(const uint8_t* block, std::size_t pos, std::size_t count, Pen& pen,
                           TokenCache& cache, Stage stage);

}  // namespace tintrel
