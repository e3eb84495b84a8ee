// SPDX-License-Identifier: MIT
#include "scan/scanner.h"

#include <algorithm>

namespace tintrel {

namespace {

// What NextByte gives when the chunk is used up and more input is to come.
constexpr int kChunkUsedUp = -1;

// A short scan keeps to the small cache and to SSE2: fresh pages cost a fault each, and AVX2
// starts slowly on a core that has not run it lately.
constexpr uint64_t kFurtherAfter = 256 * 1024;

Stage StageOf(const Scanner& scanner) {
  switch (scanner.Quick) {
    case QuickSteps::kOnWithAvx2: return Stage::kFurtherWithAvx2;
    case QuickSteps::kOnWithAvx512: return Stage::kFurther;
    case QuickSteps::kOnWithoutAvx2: return Stage::kStartPortably;
    default: return scanner.Scanned >= kFurtherAfter ? Stage::kFurther : Stage::kStart;
  }
}

// The next byte, the end mark once the input is over, or kChunkUsedUp.
int NextByte(BlockReader& reader) {
  if (reader.Replays > 0) return reader.Replay[2 - reader.Replays--];
  if (reader.BlockPos < reader.BlockCount) return reader.Block[reader.BlockPos++];
  return reader.AtEnd ? kEndMark : kChunkUsedUp;
}

// The next NextByte calls yield again the bytes that the last calls yielded, which the caller
// hands back: the reader keeps no look-behind, and no pointer into a finished chunk.
void StepBack(BlockReader& reader, uint8_t c1, uint8_t c2) {
  reader.Replay = {c1, c2};
  reader.Replays = 2;
}

void StepBack(BlockReader& reader, uint8_t c1) {
  reader.Replay[1] = c1;
  reader.Replays = 1;
}

// The byte loop. Returns at the end mark, or when the chunk is used up; a pipe code cut by the
// chunk's end is handed back whole, to be read again with the next chunk's bytes.
void ScanBlocks(Scanner& scanner) {
  BlockReader& reader = scanner.Reader;
  Interpreter& in = scanner.In;
  for (;;) {
    if (scanner.Quick != QuickSteps::kOff && in.ParserState == StateNormal && reader.Replays == 0) {
      reader.BlockPos = TakeQuickSteps(reader.Block, reader.BlockPos, reader.BlockCount, in.Drawing,
                                       *scanner.Cache, StageOf(scanner));
    }
    int b = NextByte(reader);
    if (b == kChunkUsedUp) return;
    if (b == kEndMark) {
      scanner.Ended = true;
      return;
    }
    if (b != kPipeByte) {
      ProcessChar(in, static_cast<uint8_t>(b));
      continue;
    }
    int c1 = NextByte(reader);
    if (c1 == kChunkUsedUp) return StepBack(reader, kPipeByte);
    int c2 = NextByte(reader);
    if (c2 == kChunkUsedUp) return StepBack(reader, kPipeByte, static_cast<uint8_t>(c1));
    if (int code = PipeCodeValue(static_cast<uint8_t>(c1), static_cast<uint8_t>(c2)); code >= 0) {
      ApplyEffect(in.Drawing, PipeCodeEffect(code));
    } else {
      // A "|" that starts no code is an ordinary byte; the two after it are read again.
      ProcessChar(in, kPipeByte);
      StepBack(reader, static_cast<uint8_t>(c1), static_cast<uint8_t>(c2));
    }
  }
}

}  // namespace

bool ScanChunk(Scanner& scanner, const uint8_t* bytes, std::size_t size) {
  if (scanner.Ended) return true;
  BlockReader& reader = scanner.Reader;
  reader.Block = bytes;
  reader.BlockPos = 0;
  reader.BlockCount = size;
  ScanBlocks(scanner);
  scanner.Scanned += size;
  if (scanner.Ended) Settle(scanner.In);
  reader.Block = nullptr;
  reader.BlockPos = reader.BlockCount = 0;
  return scanner.Ended;
}

void FinishScan(Scanner& scanner) {
  if (scanner.Ended) return;
  scanner.Reader.AtEnd = true;
  ScanBlocks(scanner);
  Settle(scanner.In);
}

void ScanMemory(ScanState& scan, const PositionSink& positions, const uint8_t* bytes,
                std::size_t size, std::size_t chunk_size, QuickSteps quick, TokenCache* cache) {
  Scanner scanner(scan, positions, cache);
  scanner.Quick = quick;
  for (std::size_t done = 0; done < size; done += chunk_size) {
    if (ScanChunk(scanner, bytes + done, std::min(chunk_size, size - done))) return;
  }
  FinishScan(scanner);
}

}  // namespace tintrel
