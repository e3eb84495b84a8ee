// The quick steps of the scan: a run of cells, or a whole token (a control, a pipe code, a "|"
// that starts none, ESC with the byte it drops, a whole control sequence), each in one step.
// Bytes are classified 64 at a time into bit masks once, and a token's bytes are looked up in a
// small cache of the effects the interpreter's rules gave them before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "scan/escape_interpreter.h"

namespace tintrel {

// The longest token a quick step takes: ESC, "[", 13 parameter characters and the final byte.
inline constexpr std::size_t kLongestToken = 16;
inline constexpr int kTokenCacheBits = 12;

// A token's bytes, all ones past its end, and their effect. A fresh entry, all zero, holds no
// token: the only tokens of 16 bytes start with ESC.
struct TokenEntry {
  uint64_t KeyLow = 0, KeyHigh = 0;
  Effect Step;
  uint8_t Flags = 0;
};

inline constexpr uint8_t kTakenQuickly = 1;  // else the byte loop takes the token
inline constexpr uint8_t kDropsHigh = 128;   // its last byte is high and draws nothing

struct FreeDeleter {
  void operator()(void* memory) const { std::free(memory); }
};

// Direct-mapped. The entries start as zeroed memory, which the system hands out for nothing.
struct TokenCache {
  std::unique_ptr<TokenEntry[], FreeDeleter> Entries{
      static_cast<TokenEntry*>(std::calloc(std::size_t{1} << kTokenCacheBits, sizeof(TokenEntry)))};
};

// How windows are classified: with AVX2 where the processor has it, or as on every processor
// (SSE2, or the table one byte at a time in a build without SIMD).
enum class Classification { kBest, kWithoutAvx2 };

// Takes quick steps over the bytes from `pos` to `count` of `block` for as long as it can and
// returns where it stopped: at the end, or at the first byte the byte loop must take. Those are
// the end mark, a token cut by the end of the block, a sequence too long for one step, and a "|"
// or end mark where the byte after ESC or a final byte would be.
std::size_t TakeQuickSteps(const uint8_t* block, std::size_t pos, std::size_t count, Pen& pen,
                           TokenCache& cache, Classification classification);

}  // namespace tintrel
