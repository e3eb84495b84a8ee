#include "scan/scanner.h"

#include <algorithm>

#if TINTREL_SSE2
#include <emmintrin.h>
#endif

namespace tintrel {

namespace {

// What NextByte gives when the chunk is used up and more input is to come.
constexpr int kChunkUsedUp = -1;

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

// Bytes that draw one cell and count as a low or a high character, and nothing else.
bool IsOrdinary(uint8_t b) {
  return ClassOf(b) == ByteClass::kCell;
}

#if TINTREL_SSE2
// How many of the 16 bits are set.
inline int64_t BitsSet(uint32_t bits) {
  bits = bits - ((bits >> 1) & 0x5555);
  bits = (bits & 0x3333) + ((bits >> 2) & 0x3333);
  bits = (bits + (bits >> 4)) & 0x0F0F;
  return (bits + (bits >> 8)) & 0x1F;
}
#endif

// The end of the run of ordinary bytes that starts at `at`, no further than `end`; adds the
// run's high characters to `high`. Sixteen bytes are classified at once.
const uint8_t* OrdinaryRunEnd(const uint8_t* at, const uint8_t* end, int64_t& high) {
#if TINTREL_SSE2
  const __m128i kHighest = _mm_set1_epi8(static_cast<char>(kLowestHigh));
  for (; end - at >= 16; at += 16) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    __m128i special = _mm_setzero_si128();
    for (uint8_t c : kRunEnders)
      special = _mm_or_si128(special, _mm_cmpeq_epi8(bytes, _mm_set1_epi8(static_cast<char>(c))));
    auto high_bits = static_cast<uint32_t>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(bytes, kHighest), bytes)));
    auto special_bits = static_cast<uint32_t>(_mm_movemask_epi8(special));
    if (special_bits != 0) {
      int ordinary = __builtin_ctz(special_bits);
      high += BitsSet(high_bits & ((1u << ordinary) - 1));
      return at + ordinary;
    }
    high += BitsSet(high_bits);
  }
#endif
  while (at < end && IsOrdinary(*at)) high += IsHigh(*at++);
  return at;
}

// Takes a whole "ESC [ parameters final" at `at` that ends before `end` in one step, as the
// interpreter would byte by byte, and returns where it ends. Returns `at`, taking nothing, for
// anything else: ESC without "[", a sequence that runs past the block, and a "|" or end mark in
// the place of the final byte, which the byte-by-byte path must see.
const uint8_t* TakeWholeSequence(const uint8_t* at, const uint8_t* end, Pen& pen) {
  if (end - at < 3 || at[1] != '[') return at;
  const uint8_t* params = at + 2;
  const uint8_t* final = params;
  while (final < end && IsParamChar(*final)) ++final;
  if (final == end || *final == kPipeByte || *final == kEndMark) return at;
  // Parameter characters past the 255th are dropped.
  auto length = std::min<std::size_t>(static_cast<std::size_t>(final - params), 255);
  ApplyEffect(pen, SequenceEffect(params, length, *final));
  return final + 1;
}

// Works through the current block from the reading position for as long as every step is one of
// the quick ones: a run of ordinary bytes charged in one step, a control other than ESC, a whole
// control sequence, a "|" whose two next bytes are in the block. Stops at the first byte the
// byte-by-byte path must take: the end mark, and what lies across the end of the block.
void TakeQuickSteps(BlockReader& reader, Pen& pen) {
  const uint8_t* at = reader.Block + reader.BlockPos;
  const uint8_t* const end = reader.Block + reader.BlockCount;
  while (at < end) {
    int64_t high = 0;
    const uint8_t* run_end = OrdinaryRunEnd(at, end, high);
    if (run_end != at) {
      DrawCells(pen, run_end - at, high);
      at = run_end;
      if (at == end) break;
    }
    const uint8_t* next = at;
    if (*at == kEscapeByte) {
      next = TakeWholeSequence(at, end, pen);
    } else if (*at == kPipeByte && end - at >= 3) {
      if (int code = PipeCodeValue(at[1], at[2]); code >= 0) {
        ApplyEffect(pen, PipeCodeEffect(code));
        next = at + 3;
      } else {
        // An ordinary "|"; the two bytes after it are looked at again from the next step.
        DrawCells(pen, 1, 0);
        next = at + 1;
      }
    } else if (ClassOf(*at) == ByteClass::kControl) {
      ApplyEffect(pen, ControlEffect(*at));
      next = at + 1;
    }
    if (next == at) break;
    at = next;
  }
  reader.BlockPos = static_cast<std::size_t>(at - reader.Block);
}

// The byte loop. Returns at the end mark, or when the chunk is used up; a pipe code cut by the
// chunk's end is handed back whole, to be read again with the next chunk's bytes.
void ScanBlocks(Scanner& scanner) {
  BlockReader& reader = scanner.Reader;
  Interpreter& in = scanner.In;
  for (;;) {
    if (scanner.Quick == QuickSteps::kOn && in.ParserState == StateNormal && reader.Replays == 0)
      TakeQuickSteps(reader, in.Drawing);
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
    if (int code = PipeCodeValue(c1, c2); code >= 0) {
      ApplyEffect(in.Drawing, PipeCodeEffect(code));
    } else {
      // A "|" that starts no code is an ordinary byte; the two after it are read again.
      ProcessChar(in, kPipeByte);
      StepBack(reader, static_cast<uint8_t>(c1), static_cast<uint8_t>(c2));
    }
  }
}

}  // namespace

int PipeCodeValue(int c1, int c2) {
  if (c1 < '0' || c1 > '2' || c2 < '0' || c2 > '9') return -1;
  int value = (c1 - '0') * 10 + (c2 - '0');
  return value <= 23 ? value : -1;
}

bool ScanChunk(Scanner& scanner, const uint8_t* bytes, std::size_t size) {
  if (scanner.Ended) return true;
  BlockReader& reader = scanner.Reader;
  reader.Block = bytes;
  reader.BlockPos = 0;
  reader.BlockCount = size;
  ScanBlocks(scanner);
  Settle(scanner.In);
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
                std::size_t size, std::size_t chunk_size, QuickSteps quick) {
  Scanner scanner(scan, positions);
  scanner.Quick = quick;
  for (std::size_t done = 0; done < size; done += chunk_size) {
    if (ScanChunk(scanner, bytes + done, std::min(chunk_size, size - done))) return;
  }
  FinishScan(scanner);
}

}  // namespace tintrel
