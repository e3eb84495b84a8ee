// SPDX-License-Identifier: MIT
#include "scan/quick_steps.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <utility>

#include "scan/byte_classes.h"
#include "scan/window_classes.h"
#include "simd/bits.h"
#include "simd/processor.h"

namespace tintrel {

namespace {

static_assert(sizeof(TokenEntry) == 32, "two entries to a cache line");
static_assert(offsetof(Effect, High) == offsetof(Effect, Wrap) + 8, "the moves lie in a row");

// A block of windows is classified whole before its steps are taken: after the byte loop took a
// token, a first one of few windows, since it may take over again after a few bytes, and then
// larger ones.
constexpr std::size_t kFirstWindows = 2, kMostWindows = 64;
// The bytes of a block's last windows are copied, followed by an end mark, where every step
// stops, into this many windows and the one after them: a token cut by the end of the block
// reaches the end mark and is left to the byte loop. Plain cells fill the rest, so that the copy
// has no more places where runs end than it needs.
constexpr std::size_t kTailWindows = 2;
constexpr uint8_t kPlainCell = ' ';
static_assert(ClassOf(kPlainCell) == ByteClass::kCell);

// A block's classes: the places where runs of cells end, in order and then the block's end twice,
// and the bits of the bytes that stop keys and of the high bytes, window after window, for the
// block and the window after it, which its last token may reach into.
struct BlockClasses {
  std::array<uint16_t, kMostWindows * kWindowSize + 32> RunEnds;  // 32 may be written past the last
  std::array<uint64_t, kMostWindows + 2> KeyStops;  // a word more: 64 bits are read from any byte
  std::array<uint64_t, kMostWindows + 1> High;
};

struct KeyPad {
  uint64_t Low, High;
};

// What fills the two words of a token's key past the token's bytes, for each length.
constexpr std::array<KeyPad, kLongestToken + 1> kKeyPads = [] {
  std::array<KeyPad, kLongestToken + 1> pads{};
  for (std::size_t length = 0; length <= kLongestToken; ++length) {
    pads[length].Low = length >= 8 ? 0 : ~0ull << (8 * length);
    pads[length].High = length >= 16 ? 0 : length <= 8 ? ~0ull : ~0ull << (8 * (length - 8));
  }
  return pads;
}();

// The bytes after a token's first that extend its key, counted: as many as a key holds.
constexpr std::size_t kMostKeyBytes = kLongestToken - 2;

// A key's length by the token's first byte and the bytes after it that extend keys: for ESC,
// ESC and the byte after it, or all those bytes and the one after them, which holds ESC "[", the
// parameters and the final byte; for "|", "|", the byte after it and, when that extends keys,
// the next one (no more can make a code, and no less tells a code from a "|" on its own); or
// one byte. A row for each.
constexpr std::size_t kRowSize = 16;
enum TokenRow : uint8_t { kOneByte, kEscape, kPipe };

constexpr std::array<uint8_t, 256> kTokenRows = [] {
  std::array<uint8_t, 256> rows{};
  rows[kEscapeByte] = kEscape * kRowSize;
  rows[kPipeByte] = kPipe * kRowSize;
  return rows;
}();

constexpr std::array<uint8_t, 3 * kRowSize> kTokenLengths = [] {
  std::array<uint8_t, 3 * kRowSize> lengths{};
  for (std::size_t extending = 0; extending < kRowSize; ++extending) {
    lengths[kOneByte * kRowSize + extending] = 1;
    lengths[kEscape * kRowSize + extending] =
        static_cast<uint8_t>(extending == 0 ? 2 : 2 + std::min(extending, kMostKeyBytes));
    lengths[kPipe * kRowSize + extending] = extending == 0 ? 2 : 3;
  }
  return lengths;
}();

// The key pads by the same index, so that a step looks a token's length up only on a miss.
constexpr std::array<KeyPad, 3 * kRowSize> kTokenPads = [] {
  std::array<KeyPad, 3 * kRowSize> pads{};
  for (std::size_t i = 0; i < pads.size(); ++i) pads[i] = kKeyPads[kTokenLengths[i]];
  return pads;
}();

// What a step looks up for a token's key, in one object, so that one register reaches it all:
// the pads by row and bytes extending the key, the rows by first byte, and the hash multiplier,
// too wide for an instruction.
struct KeyTables {
  std::array<KeyPad, 3 * kRowSize> Pads;
  std::array<uint8_t, 256> Rows;
  uint64_t Multiplier;
};

constexpr KeyTables kKeyTables = {kTokenPads, kTokenRows, kHashMultiplier};

// The tables where the compiler cannot see their values, which it would otherwise build in
// registers anew for every step.
inline const KeyTables* KeyTablesInMemory() {
  const KeyTables* tables = &kKeyTables;
  asm("" : "+r"(tables));
  return tables;
}

// The first entry of the set a key goes to, in a cache of 2^kBits entries.
template <int kBits>
std::size_t Set(uint64_t low, uint64_t high, uint64_t multiplier) {
  return (((low + high * 9) * multiplier) >> (65 - kBits)) * 2;
}

bool ForReader(uint8_t b) {
  return ClassOf(b) == ByteClass::kPipe || ClassOf(b) == ByteClass::kEndMark;
}

// Stores the step over the token that starts the key of `length` bytes at `at`, by the
// interpreter's rules, in the first entry of a set, whose token moves to the second. The reader
// must see an end mark before the interpreter does, where the token would start, after ESC, in
// the place of a final byte or in the bytes after "|" the key holds, and a "|" after ESC or in
// the place of a final byte: the byte loop takes those tokens, and sequences longer than a key,
// which leave the entry as it was.
constexpr uint8_t kCursorMarks = kSave | kRestore | kErase;

// The parts of an effect the steps leave to MoveAndCharge.
constexpr uint8_t kSeldomSteps = kSeldomFlags | kSave | kRestore | kLastApart;

bool Fill(TokenEntry* set, const uint8_t* at, std::size_t length) {
  TokenEntry filled;
  filled.KeyLow = Load64(at) | kKeyPads[length].Low;
  filled.KeyHigh = Load64(at + 8) | kKeyPads[length].High;
  filled.RunFrom = static_cast<uint8_t>(length);
  switch (ClassOf(at[0])) {
    case ByteClass::kControl: filled.Step = ControlEffect(at[0]); break;
    case ByteClass::kPipe: {
      if (at[length - 1] == kEndMark) return false;
      // A byte after "|" that is no digit starts no code, whatever follows it.
      const int code = PipeCodeValue(at[1], at[2]);
      if (code >= 0) {
        filled.Step = PipeCodeEffect(code);
      } else {
        // A "|" that starts no code is an ordinary byte; the two after it are read again.
        filled.Step = LowCellEffect();
        filled.RunFrom = 1;
      }
      break;
    }
    case ByteClass::kEscape: {
      // ESC and the byte after it vanish, unless that byte is "[": then the final byte is the
      // first after it that is no parameter character, which may be a "[" inside the key.
      std::size_t last = 1;
      if (at[1] == '[') {
        last = 2;
        while (last < length && IsParamChar(at[last])) ++last;
        if (last == length) return false;
      }
      if (ForReader(at[last])) return false;
      if (last > 1) filled.Step = SequenceEffect(at + 2, last - 2, at[last]);
      if (IsHigh(at[last]) || byte_table::EndsRun(byte_table::kTable[at[last]]))
        filled.Step.Flags |= kLastApart;
      filled.RunFrom = static_cast<uint8_t>(last + 1);
      break;
    }
    default: return false;
  }
  // A quick step draws no cells of its own: a "|" that starts no code is a cell of the run after
  // it, which starts at the "|".
  if (!(filled.Step.Flags & kSeldomSteps)) {
    filled.RunFrom = static_cast<uint8_t>(filled.RunFrom - filled.Step.Cells);
    filled.Step.Cells = 0;
  }
  Effect marks;
  marks.Flags = filled.Step.Flags & kCursorMarks;
  if (marks.Flags != 0 && filled.Step == marks) filled.Step.Flags |= kOnlyMarks;
  set[1] = set[0];
  set[0] = filled;
  return true;
}

// On a miss in the first entry of the set: the token moves to the front from the second, or is
// filled in; false when the byte loop must take it. The token is the index of its row and of
// the bytes that extend its key.
[[gnu::noinline]] bool Look(TokenEntry* set, const uint8_t* at, std::size_t token) {
  const uint64_t low = Load64(at) | kTokenPads[token].Low;
  const uint64_t high = Load64(at + 8) | kTokenPads[token].High;
  if (set[1].KeyLow == low && set[1].KeyHigh == high) {
    std::swap(set[0], set[1]);
    return true;
  }
  return Fill(set, at, kTokenLengths[token]);
}

#if TINTREL_SSE2
// The cursor in the two low lanes of a register; what the other lanes hold does not count.
using CursorLanes = __m128i;

inline __m128i CursorIn(uint16_t cursor) {
  return _mm_cvtsi32_si128(cursor);
}

inline uint16_t CursorOut(__m128i lanes) {
  return static_cast<uint16_t>(_mm_cvtsi128_si32(lanes));
}

// The entry's moves from the pair of bytes `pair` on, in a register: only its two low lanes count,
// and the bytes after them may be the next entry's.
inline __m128i Moves(const TokenEntry& entry, std::size_t pair) {
  const auto* moves = reinterpret_cast<const uint8_t*>(&entry) + offsetof(TokenEntry, Step) +
                      offsetof(Effect, Wrap) + 2 * pair;
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(moves));
}

// MoveCursor, with each operand loaded straight into the lanes of the coordinates.
inline __m128i StepCursor(__m128i cursor, const TokenEntry& entry) {
  cursor = _mm_add_epi8(cursor, Moves(entry, 0));
  cursor = _mm_adds_epu8(cursor, Moves(entry, 1));
  cursor = _mm_subs_epu8(cursor, Moves(entry, 2));
  cursor = _mm_max_epu8(cursor, Moves(entry, 3));
  return _mm_min_epu8(cursor, Moves(entry, 4));
}
#else
using CursorLanes = uint16_t;

inline uint16_t CursorIn(uint16_t cursor) {
  return cursor;
}

inline uint16_t CursorOut(uint16_t cursor) {
  return cursor;
}

inline uint16_t StepCursor(uint16_t cursor, const TokenEntry& entry) {
  return MoveCursor(cursor, entry.Step);
}
#endif

// MoveAndCharge for an effect that only saves, restores or erases, which the worst of inputs are
// full of, without a branch.
inline CursorLanes TakeMarks(Pen& pen, CursorLanes cursor, uint8_t flags) {
  const uint16_t at = CursorOut(cursor);
  const int erased =
      std::max(kLastColumn - ColumnOf(at), 0) & -static_cast<int>((flags & kErase) != 0);
  pen.Counts->ByAttr[pen.Attr] += erased;
  pen.NotCharacters += erased;
  pen.Saved = (flags & kSave) ? at : pen.Saved;
  return CursorIn((flags & kRestore) ? pen.Saved : at);
}

// Writes the places of the bits of a window's run ends from `ends` on, the window starting at
// `first`, and returns where the places of the next window go. Eight places at a time, whether
// the window has so many or not: the next window's places overwrite those past its last.
template <typename Processor>
[[gnu::always_inline]] inline uint16_t* PlacesOneByOne(uint16_t* ends, uint64_t bits,
                                                       uint16_t first) {
  uint16_t* const next = ends + Processor::CountBits(bits);
  do {
    for (std::size_t i = 0; i < 8; ++i) {
      ends[i] = static_cast<uint16_t>(first + Processor::LowestBit(bits));
      bits &= bits - 1;
    }
    ends += 8;
  } while (ends < next);
  return next;
}

// What the steps take from the processor: the classification of a window, counting the bits of
// a word, the lowest set bit of a word, which may have none when its result is not used, and
// the places of a window's run ends.
struct Portably {
  static WindowClasses Classify(const uint8_t* bytes) { return ClassifyWindow(bytes); }

  static int CountBits(uint64_t bits) { return tintrel::CountBits(bits); }

  static std::size_t LowestBit(uint64_t bits) { return Zeros(bits | uint64_t{1} << 63); }

  static uint16_t* Places(uint16_t* ends, uint64_t bits, uint16_t first) {
    return PlacesOneByOne<Portably>(ends, bits, first);
  }
};

#if TINTREL_SSE2
// TZCNT, 64 for no bit, written so that the compiler clears no register before it: the
// processors that run these steps read nothing of it.
[[TINTREL_TARGET_SSSE3]] inline std::size_t Tzcnt(uint64_t bits) {
  uint64_t zeros;
  asm("tzcnt %1, %0" : "=r"(zeros) : "r"(bits) : "cc");
  return zeros;
}

struct WithSsse3 {
  [[TINTREL_TARGET_SSSE3]] static WindowClasses Classify(const uint8_t* bytes) {
    return ssse3::ClassifyWindow(bytes);
  }

  [[TINTREL_TARGET_SSSE3]] static int CountBits(uint64_t bits) {
    return __builtin_popcountll(bits);
  }

  [[TINTREL_TARGET_SSSE3]] static std::size_t LowestBit(uint64_t bits) { return Tzcnt(bits); }

  [[TINTREL_TARGET_SSSE3]] static uint16_t* Places(uint16_t* ends, uint64_t bits, uint16_t first) {
    return PlacesOneByOne<WithSsse3>(ends, bits, first);
  }
};

struct WithAvx2 {
  [[TINTREL_TARGET_AVX2]] static WindowClasses Classify(const uint8_t* bytes) {
    return avx2::ClassifyWindow(bytes);
  }

  [[TINTREL_TARGET_AVX2]] static int CountBits(uint64_t bits) { return __builtin_popcountll(bits); }

  [[TINTREL_TARGET_AVX2]] static std::size_t LowestBit(uint64_t bits) { return Tzcnt(bits); }

  [[TINTREL_TARGET_AVX2]] static uint16_t* Places(uint16_t* ends, uint64_t bits, uint16_t first) {
    return PlacesOneByOne<WithAvx2>(ends, bits, first);
  }
};

struct WithAvx512 {
  [[TINTREL_TARGET_AVX512]] static WindowClasses Classify(const uint8_t* bytes) {
    return avx512::ClassifyWindow(bytes);
  }

  [[TINTREL_TARGET_AVX512]] static int CountBits(uint64_t bits) {
    return __builtin_popcountll(bits);
  }

  [[TINTREL_TARGET_AVX512]] static std::size_t LowestBit(uint64_t bits) { return Tzcnt(bits); }

  // The places of each half of the window in one compress, 32 of them written whatever the half
  // holds.
  [[TINTREL_TARGET_AVX512]] static uint16_t* Places(uint16_t* ends, uint64_t bits, uint16_t first) {
    const __m512i low_places = _mm512_add_epi16(
        _mm512_set_epi16(31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14, 13,
                         12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0),
        _mm512_set1_epi16(static_cast<int16_t>(first)));
    const __m512i high_places = _mm512_add_epi16(low_places, _mm512_set1_epi16(32));
    const auto low = static_cast<uint32_t>(bits), high = static_cast<uint32_t>(bits >> 32);
    _mm512_storeu_si512(ends, _mm512_maskz_compress_epi16(low, low_places));
    ends += CountBits(low);
    _mm512_storeu_si512(ends, _mm512_maskz_compress_epi16(high, high_places));
    return ends + CountBits(high);
  }
};
#endif

// Classifies `windows` windows and the one after them; returns the high bytes of the first.
template <typename Processor>
[[gnu::always_inline]] inline int64_t ClassifyBlock(const uint8_t* bytes, std::size_t windows,
                                                    BlockClasses& classes) {
  uint16_t* ends = classes.RunEnds.data();
  int64_t high = 0;
  for (std::size_t w = 0; w < windows; ++w) {
    const WindowClasses window = Processor::Classify(bytes + w * kWindowSize);
    classes.KeyStops[w] = window.KeyStops;
    classes.High[w] = window.High;
    high += Processor::CountBits(window.High);
    ends = Processor::Places(ends, window.RunEnds, static_cast<uint16_t>(w * kWindowSize));
  }
  ends[0] = ends[1] = static_cast<uint16_t>(windows * kWindowSize);
  const WindowClasses after = Processor::Classify(bytes + windows * kWindowSize);
  classes.KeyStops[windows] = after.KeyStops;
  classes.KeyStops[windows + 1] = ~uint64_t{0};
  classes.High[windows] = after.High;
  return high;
}

// The high bytes of the block from `from` on.
template <typename Processor>
int64_t HighFrom(const BlockClasses& classes, std::size_t from, std::size_t windows) {
  int64_t high = Processor::CountBits(classes.High[from / kWindowSize] >> (from % kWindowSize));
  for (std::size_t w = from / kWindowSize + 1; w < windows; ++w)
    high += Processor::CountBits(classes.High[w]);
  return high;
}

// A token's key and the first entry of its set, found before the step ahead of it is taken.
struct TokenKey {
  uint64_t Low, High;
  std::size_t Token;  // its row and the bytes that extend its key
  TokenEntry* Entry;
};

// The key of the token at `start`, which may be the block's end: the window after it is there
// to be read.
template <int kCacheBits>
[[gnu::always_inline]] inline TokenKey KeyAt(const uint8_t* bytes, std::size_t start,
                                             const uint8_t* key_stops, const KeyTables* tables,
                                             TokenEntry* entries) {
  const std::size_t after = start + 1;
  const std::size_t extending =
      Zeros((Load64(key_stops + after / 8) >> (after % 8)) | 1u << kMostKeyBytes);
  const uint64_t first_word = Load64(bytes + start);
  const std::size_t token = tables->Rows[static_cast<uint8_t>(first_word)] + extending;
  const uint64_t low = first_word | tables->Pads[token].Low;
  const uint64_t high = Load64(bytes + start + 8) | tables->Pads[token].High;
  return {low, high, token, &entries[Set<kCacheBits>(low, high, tables->Multiplier)]};
}

// The entry that holds the token at `start`, or none when the first entry of its set holds
// another: only a lookup that misses changes what the entries hold.
template <int kCacheBits>
[[gnu::always_inline]] inline const TokenEntry* EntryAt(const uint8_t* bytes, std::size_t start,
                                                        const uint8_t* key_stops,
                                                        const KeyTables* tables,
                                                        TokenEntry* entries) {
  const TokenKey key = KeyAt<kCacheBits>(bytes, start, key_stops, tables, entries);
  const TokenEntry& entry = *key.Entry;
  return ((entry.KeyLow ^ key.Low) | (entry.KeyHigh ^ key.High)) == 0 ? &entry : nullptr;
}

struct BlockEnd {
  std::size_t At;  // where the steps ended, from the block's first byte
  bool Stopped;    // at a token the byte loop must take
};

// The steps over a block of `windows` windows, which may go on into the window after it.
template <typename Processor, int kCacheBits>
[[gnu::always_inline]] inline BlockEnd TakeBlock(const uint8_t* bytes, std::size_t windows,
                                                 BlockClasses& classes, Pen& pen,
                                                 CursorLanes& cursor, TokenEntry* const entries) {
  // Every high byte is counted as its window is classified; the ones a token drops, and the
  // ones past the last step, are taken off again.
  pen.High += ClassifyBlock<Processor>(bytes, windows, classes);
  const auto* key_stops = reinterpret_cast<const uint8_t*>(classes.KeyStops.data());
  const KeyTables* const tables = KeyTablesInMemory();
  const std::size_t limit = windows * kWindowSize;
  const uint16_t* next = classes.RunEnds.data();
  std::size_t done = 0;  // where the last step ended
  // Each token is looked up two steps ahead, so that its lookup does not wait on the steps before
  // it; a third step ahead gained nothing.
  auto entry_at = [&](std::size_t place) {
    return EntryAt<kCacheBits>(bytes, place, key_stops, tables, entries);
  };
  std::size_t start = *next;
  const TokenEntry* found = entry_at(start);
  const TokenEntry* ahead = entry_at(next[1]);
  while (start != limit) {
    const TokenEntry* further = entry_at(next[2]);
    auto cells = static_cast<int64_t>(start - done);
    if (found == nullptr) [[unlikely]] {
      const TokenKey key = KeyAt<kCacheBits>(bytes, start, key_stops, tables, entries);
      if (!Look(key.Entry, bytes + start, key.Token)) {
        DrawCells(pen, cells, 0);
        pen.High -= HighFrom<Processor>(classes, start, windows);
        return {start, true};
      }
      found = key.Entry;
      ahead = entry_at(next[1]);
      further = entry_at(next[2]);
    }
    const TokenEntry& entry = *found;
    const Effect& step = entry.Step;
    if (step.Flags & kSeldomSteps) [[unlikely]] {
      DrawCells(pen, cells, 0);
      if (step.Flags & kOnlyMarks) {
        cursor = TakeMarks(pen, cursor, step.Flags);
      } else {
        if (step.Flags & kLastApart) {
          // The places where runs end inside the token are passed over; the last byte is the
          // only one that may be high.
          const std::size_t end = start + entry.RunFrom;
          while (next[1] < std::min(end, limit)) ++next;
          ahead = entry_at(next[1]);
          further = entry_at(next[2]);
          pen.High -= IsHigh(bytes[end - 1]);
        }
        pen.Cursor = CursorOut(cursor);
        if (MoveAndCharge(pen, step)) ReportPosition(pen);
        cursor = CursorIn(pen.Cursor);
      }
    } else {
      pen.Counts->ByAttr[pen.Attr] += cells;
      pen.Counts->ByPipeColor[step.PipeColor] += 1;
      cursor = StepCursor(cursor, entry);
      pen.Attr = static_cast<uint8_t>((pen.Attr & step.AttrKeep) | step.AttrSet);
    }
    done = start + entry.RunFrom;
    start = *++next;
    found = ahead;
    ahead = further;
  }
  if (done < limit) {
    DrawCells(pen, static_cast<int64_t>(limit - done), 0);
    return {limit, false};
  }
  pen.High += Processor::CountBits(classes.High[windows] & ((uint64_t{1} << (done - limit)) - 1));
  return {done, false};
}

template <typename Processor, int kCacheBits>
[[gnu::always_inline]] inline std::size_t Steps(const uint8_t* block, std::size_t pos,
                                                std::size_t count, Pen& pen_out,
                                                TokenEntry* const entries) {
  Pen pen = pen_out;
  CursorLanes cursor = CursorIn(pen.Cursor);
  BlockClasses classes;
  alignas(16) std::array<uint8_t, (kTailWindows + 1) * kWindowSize> tail;
  std::size_t windows = pos == 0 ? kMostWindows : kFirstWindows;
  for (;;) {
    const std::size_t left = count - pos;
    const uint8_t* bytes = block + pos;
    std::size_t block_windows = std::min(windows, left / kWindowSize - 1);
    if (left < kTailWindows * kWindowSize) {
      std::memcpy(tail.data(), bytes, left);
      tail[left] = kEndMark;
      std::memset(tail.data() + left + 1, kPlainCell, tail.size() - left - 1);
      bytes = tail.data();
      block_windows = kTailWindows;
    }
    const BlockEnd end =
        TakeBlock<Processor, kCacheBits>(bytes, block_windows, classes, pen, cursor, entries);
    pos += end.At;
    if (end.Stopped) break;
    windows = kMostWindows;
  }
  pen.Cursor = CursorOut(cursor);
  pen_out = pen;
  return pos;
}

// Packing the places where runs end into vectors costs more than it saves.
#if defined(__GNUC__) && !defined(__clang__)
#define TINTREL_STEPS gnu::flatten, gnu::optimize("no-tree-slp-vectorize")
#else
#define TINTREL_STEPS gnu::flatten
#endif

[[TINTREL_STEPS]] std::size_t StartSteps(const uint8_t* block, std::size_t pos, std::size_t count,
                                         Pen& pen, TokenEntry* entries) {
  return Steps<Portably, kSmallCacheBits>(block, pos, count, pen, entries);
}

[[TINTREL_STEPS]] std::size_t FurtherStepsWithoutAvx2(const uint8_t* block, std::size_t pos,
                                                      std::size_t count, Pen& pen,
                                                      TokenEntry* entries) {
  return Steps<Portably, kLargeCacheBits>(block, pos, count, pen, entries);
}

#if TINTREL_SSE2
[[TINTREL_TARGET_AVX512, TINTREL_STEPS]] std::size_t FurtherStepsWithAvx512(
    const uint8_t* block, std::size_t pos, std::size_t count, Pen& pen, TokenEntry* entries) {
  return Steps<WithAvx512, kLargeCacheBits>(block, pos, count, pen, entries);
}

[[TINTREL_TARGET_SSSE3, TINTREL_STEPS]] std::size_t StartStepsWithSsse3(const uint8_t* block,
                                                                        std::size_t pos,
                                                                        std::size_t count, Pen& pen,
                                                                        TokenEntry* entries) {
  return Steps<WithSsse3, kSmallCacheBits>(block, pos, count, pen, entries);
}

[[TINTREL_TARGET_AVX2, TINTREL_STEPS]] std::size_t FurtherStepsWithAvx2(const uint8_t* block,
                                                                        std::size_t pos,
                                                                        std::size_t count, Pen& pen,
                                                                        TokenEntry* entries) {
  return Steps<WithAvx2, kLargeCacheBits>(block, pos, count, pen, entries);
}
#endif

}  // namespace

std::size_t TakeQuickSteps(const uint8_t* block, std::size_t pos, std::size_t count, Pen& pen,
                           TokenCache& cache, Stage stage) {
  if (pos == count) return pos;
#if TINTREL_SSE2
  const ProcessorFeatures& processor = ThisProcessor();
  if (processor.Avx2 && stage == Stage::kStart)
    return StartStepsWithSsse3(block, pos, count, pen, cache.Small.get());
#endif
  if (stage == Stage::kStart || stage == Stage::kStartPortably)
    return StartSteps(block, pos, count, pen, cache.Small.get());
  if (!cache.Large) cache.Large = NewTokenEntries(kLargeCacheBits);
#if TINTREL_SSE2
  if (processor.Avx512 && stage == Stage::kFurther)
    return FurtherStepsWithAvx512(block, pos, count, pen, cache.Large.get());
  if (processor.Avx2) return FurtherStepsWithAvx2(block, pos, count, pen, cache.Large.get());
#endif
  return FurtherStepsWithoutAvx2(block, pos, count, pen, cache.Large.get());
}

}  // namespace tintrel
