// SPDX-License-Identifier: MIT
// The scan of a drawing: its bytes in file order up to the first byte 26, the "|NN" pipe colour
// codes charged straight to the tallies, every other byte handed to the interpreter. The bytes
// come in chunks of any size, as they are read; the scan keeps no pointer into a chunk after it
// is done with it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "scan/byte_classes.h"
#include "scan/escape_interpreter.h"
#include "scan/quick_steps.h"
#include "scan/scan_state.h"

namespace tintrel {

inline constexpr std::size_t kBlockSize = 4096;

// The byte source of the scan: the chunk being scanned, and the bytes handed back to be read
// again.
struct BlockReader {
  const uint8_t* Block = nullptr;  // the current chunk
  std::size_t BlockPos = 0;        // bytes of the current chunk already yielded
  std::size_t BlockCount = 0;      // bytes in the current chunk
  bool AtEnd = false;              // no chunk follows: past the last byte comes the end mark
  // Bytes handed back (StepBack, or a pipe code cut by the end of a chunk), and how many of them
  // are still to be yielded again; they are yielded from the end of Replay.
  std::array<uint8_t, 2> Replay{};
  uint8_t Replays = 0;
};

// Whether the byte loop hands what it can to the quick steps, or takes every byte itself; and
// how the quick steps go: as at the start of a scan (a small cache; SSSE3 where the processor has
// AVX2, else SSE2) for its first 256 KiB and further on with AVX-512 or AVX2 where the processor
// has them and a large cache (kOn), from the first byte as further on but with AVX2 at most, or
// always as at the start with the classification every processor has, or from the first byte as
// further on. All give the same scan; the byte loop alone is what the quick steps are checked
// against.
enum class QuickSteps : uint8_t { kOff, kOn, kOnWithAvx2, kOnWithoutAvx2, kOnWithAvx512 };

struct Scanner {
  Interpreter In;
  BlockReader Reader;
  bool Ended = false;  // the end mark was reached: later bytes are not looked at
  QuickSteps Quick = QuickSteps::kOn;
  std::unique_ptr<TokenCache> OwnCache;  // made when no cache is lent
  TokenCache* Cache;
  uint64_t Scanned = 0;  // bytes of the chunks before this one

  // A cache lent to the scan keeps what it learnt for the next scan that borrows it: one thread
  // scanning file after file looks each token up once.
  Scanner(ScanState& scan, const PositionSink& positions, TokenCache* cache = nullptr)
      : In{scan, positions},
        OwnCache(cache ? nullptr : std::make_unique<TokenCache>()),
        Cache(cache ? cache : OwnCache.get()) {}
};

// Scans the next chunk; true once the end mark was reached. The scan state is written when the
// scan ends: at the end mark, or in FinishScan.
bool ScanChunk(Scanner& scanner, const uint8_t* bytes, std::size_t size);

// The input is over: what a chunk's end held back is taken now, and the scan ends.
void FinishScan(Scanner& scanner);

// Scans bytes held in memory as a file of them is scanned, in chunks of `chunk_size` bytes.
void ScanMemory(ScanState& scan, const PositionSink& positions, const uint8_t* bytes,
                std::size_t size, std::size_t chunk_size = kBlockSize,
                QuickSteps quick = QuickSteps::kOn, TokenCache* cache = nullptr);

}  // namespace tintrel
