#include "scan/quick_steps.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "scan/byte_classes.h"
#include "scan/window_classes.h"

namespace tintrel {

namespace {

static_assert(sizeof(TokenEntry) == 32, "two entries to a cache line");

// Steps start in the window at Base and may read 16 bytes on; the next window is classified
// ahead, so that a final byte past the window's end is found in registers too.
constexpr std::size_t kReach = 2 * kWindowSize;

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

uint64_t Load64(const uint8_t* bytes) {
  uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

template <int kBits>
std::size_t Slot(uint64_t low, uint64_t high) {
  return ((low + high * 9) * 0x9E3779B97F4A7C15ull) >> (64 - kBits);
}

// The trailing zero bits of a word that has a bit set.
std::size_t Zeros(uint64_t bits) {
  return static_cast<unsigned>(__builtin_ctzll(bits));
}

uint16_t Load16(const uint8_t* bytes) {
  uint16_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

// ESC "[" as the two bytes of a little-endian word.
constexpr uint16_t kSequenceStart = kEscapeByte | '[' << 8;

bool ForReader(uint8_t b) {
  return ClassOf(b) == ByteClass::kPipe || ClassOf(b) == ByteClass::kEndMark;
}

// The step over the token of `length` bytes at `at`, by the interpreter's rules. The reader must
// see an end mark before the interpreter does, where the token would start, after ESC, in the
// place of a final byte or in the two bytes after "|", and a "|" after ESC or in the place of a
// final byte: the byte loop takes those tokens, and sequences longer than a step.
[[gnu::noinline]] void Fill(TokenEntry& entry, const uint8_t* at, std::size_t length) {
  entry.KeyLow = Load64(at) | kKeyPads[length].Low;
  entry.KeyHigh = Load64(at + 8) | kKeyPads[length].High;
  entry.Step = {};
  entry.Flags = 0;
  const uint8_t last = at[length - 1];
  switch (ClassOf(at[0])) {
    case ByteClass::kControl:
      entry.Step = ControlEffect(at[0]);
      entry.Flags = kTakenQuickly;
      return;
    case ByteClass::kPipe: {
      if (at[1] == kEndMark || at[2] == kEndMark) return;
      const int code = PipeCodeValue(at[1], at[2]);
      // A "|" that starts no code is an ordinary byte; the two after it are read again.
      entry.Step = code >= 0 ? PipeCodeEffect(code) : LowCellEffect();
      entry.Flags = kTakenQuickly;
      return;
    }
    case ByteClass::kEscape:
      if (ForReader(last) || IsParamChar(last)) return;
      // ESC and the byte after it vanish, unless that byte is "[".
      if (length > 2) entry.Step = SequenceEffect(at + 2, length - 3, last);
      entry.Flags = kTakenQuickly | (IsHigh(last) ? kDropsHigh : 0);
      return;
    default: return;
  }
}

// Where the steps are: the window starting at Base, with the one after it classified too. The
// last bytes of a block, where the classification would read past its end, are worked through in
// a copy followed by end marks, where every step stops: a token cut by the end of the block is
// left to the byte loop.
struct Walk {
  const uint8_t* Base;
  const uint8_t* End;
  const uint8_t* TailOrigin = nullptr;  // the byte of the block the copy starts with
  alignas(16) std::array<uint8_t, 2 * kReach> Tail;
};

// The run ends and non-parameter bits of the window at Base and of the one after it.
struct Masks {
  uint64_t RunEnds, NextRunEnds;
  uint64_t NonParam, NextNonParam;
};

// Moves to the tail copy once the window after the next would start past the block's end.
[[gnu::always_inline]] inline void KeepInReach(Walk& walk) {
  if (walk.TailOrigin == nullptr && static_cast<std::size_t>(walk.End - walk.Base) < kReach)
      [[unlikely]] {
    const auto left = static_cast<std::size_t>(walk.End - walk.Base);
    walk.TailOrigin = walk.Base;
    std::memcpy(walk.Tail.data(), walk.Base, left);
    std::memset(walk.Tail.data() + left, kEndMark, walk.Tail.size() - left);
    walk.Base = walk.Tail.data();
  }
}

using Classifier = WindowClasses (*)(const uint8_t*);

// Classifies the window after the one at Base; returns its high bytes.
template <Classifier Classify>
[[gnu::always_inline]] inline int64_t ClassifyNext(const Walk& walk, Masks& masks) {
  const WindowClasses next = Classify(walk.Base + kWindowSize);
  masks.NextRunEnds = next.RunEnds;
  masks.NextNonParam = next.NonParam;
  return next.High;
}

// The non-parameter bits from `off` on, across the two windows.
inline uint64_t NonParamFrom(const Masks& masks, std::size_t off) {
  __extension__ using Bits = unsigned __int128;
  return static_cast<uint64_t>((static_cast<Bits>(masks.NextNonParam) << 64 | masks.NonParam) >>
                               off);
}

int64_t HighBytes(const uint8_t* from, const uint8_t* to) {
  int64_t high = 0;
  for (; from < to; ++from) high += IsHigh(*from);
  return high;
}

template <Classifier Classify, int kCacheBits>
[[gnu::always_inline]] inline std::size_t Steps(const uint8_t* block, std::size_t pos,
                                                std::size_t count, Pen& pen_out,
                                                TokenEntry* const entries) {
  Pen pen = pen_out;
  Walk walk{block + pos, block + count, nullptr, {}};
  KeepInReach(walk);
  // Every high byte is counted as its window is classified; the ones a token drops, and the
  // ones past the last step, are taken off again.
  const WindowClasses first = Classify(walk.Base);
  Masks masks{first.RunEnds, 0, first.NonParam, 0};
  pen.High += first.High + ClassifyNext<Classify>(walk, masks);
  std::size_t off = 0;
  // Why the steps inside a window paused: the outer loop does what calls out, so that the inner
  // one keeps the pen and the walk in registers.
  enum class Pause { kNone, kWindowDone, kMiss, kPositionReport, kStop } pause = Pause::kNone;
  const uint8_t* miss_at = nullptr;
  std::size_t miss_length = 0;
  TokenEntry* miss_entry = nullptr;
  for (;;) {
    switch (pause) {
      case Pause::kNone: break;
      case Pause::kWindowDone:
        // Cells to the end of the window; the next one starts there, inside a token or not.
        DrawCells(pen, off < kWindowSize ? static_cast<int64_t>(kWindowSize - off) : 0, 0);
        off = std::max(off, kWindowSize) - kWindowSize;
        walk.Base += kWindowSize;
        masks.RunEnds = masks.NextRunEnds;
        masks.NonParam = masks.NextNonParam;
        KeepInReach(walk);
        pen.High += ClassifyNext<Classify>(walk, masks);
        break;
      case Pause::kMiss: Fill(*miss_entry, miss_at, miss_length); break;
      case Pause::kPositionReport: ReportPosition(pen); break;
      case Pause::kStop: {
        const uint8_t* stop = walk.Base + off;
        pen.High -= HighBytes(stop, walk.Base + kReach);
        pen_out = pen;
        return static_cast<std::size_t>(
            (walk.TailOrigin ? walk.TailOrigin + (stop - walk.Tail.data()) : stop) - block);
      }
    }
    for (;;) {
      uint64_t ends;
      if (off >= kWindowSize || (ends = masks.RunEnds >> off) == 0) {
        pause = Pause::kWindowDone;
        break;
      }
      const std::size_t cells = Zeros(ends);
      DrawCells(pen, static_cast<int64_t>(cells), 0);
      off += cells;
      const uint8_t* at = walk.Base + off;

      // ESC "[", the parameters and the final byte; or what the first byte's class gives. The
      // key ends after 16 bytes: a longer sequence has no final byte in it, and stops the steps.
      const bool sequence = Load16(at) == kSequenceStart;
      const std::size_t params = Zeros(NonParamFrom(masks, off + 2) | (1u << (kLongestToken - 3)));
      const std::size_t length = TokenBytes(at[0]) + ((params + 1) & -std::size_t{sequence});
      // The step goes as far as the key but for a "|" that starts no code, which is one byte.
      const bool lone_pipe =
          (at[0] == kPipeByte) & (static_cast<uint8_t>(at[2] - '0') >= kPipeSecondDigits[at[1]]);
      const std::size_t advance = length - 2 * lone_pipe;

      const uint64_t low = Load64(at) | kKeyPads[length].Low;
      const uint64_t high = Load64(at + 8) | kKeyPads[length].High;
      TokenEntry& entry = entries[Slot<kCacheBits>(low, high)];
      if (((entry.KeyLow ^ low) | (entry.KeyHigh ^ high)) != 0) [[unlikely]] {
        miss_entry = &entry;
        miss_at = at;
        miss_length = length;
        pause = Pause::kMiss;
        break;
      }
      if (entry.Flags != kTakenQuickly) [[unlikely]] {
        if (!(entry.Flags & kTakenQuickly)) {
          pause = Pause::kStop;
          break;
        }
        pen.High -= 1;  // the byte ESC drops, or a final byte, is high and draws nothing
      }
      off += advance;
      if (MoveAndCharge(pen, entry.Step)) [[unlikely]] {
        pause = Pause::kPositionReport;
        break;
      }
    }
  }
}

[[gnu::flatten]] std::size_t StartSteps(const uint8_t* block, std::size_t pos, std::size_t count,
                                        Pen& pen, TokenEntry* entries) {
  return Steps<ClassifyWindow, kSmallCacheBits>(block, pos, count, pen, entries);
}

[[gnu::flatten]] std::size_t FurtherStepsWithoutAvx2(const uint8_t* block, std::size_t pos,
                                                     std::size_t count, Pen& pen,
                                                     TokenEntry* entries) {
  return Steps<ClassifyWindow, kLargeCacheBits>(block, pos, count, pen, entries);
}

#if TINTREL_SSE2
[[gnu::target("avx2,popcnt"), gnu::flatten]] std::size_t FurtherStepsWithAvx2(
    const uint8_t* block, std::size_t pos, std::size_t count, Pen& pen, TokenEntry* entries) {
  return Steps<avx2::ClassifyWindow, kLargeCacheBits>(block, pos, count, pen, entries);
}
#endif

}  // namespace

std::size_t TakeQuickSteps(const uint8_t* block, std::size_t pos, std::size_t count, Pen& pen,
                           TokenCache& cache, Stage stage) {
  if (pos == count) return pos;
  if (stage == Stage::kStart) return StartSteps(block, pos, count, pen, cache.Small.get());
  if (!cache.Large) cache.Large = NewTokenEntries(kLargeCacheBits);
#if TINTREL_SSE2
  static const bool kAvx2 = avx2::Available();
  if (kAvx2 && stage == Stage::kFurther)
    return FurtherStepsWithAvx2(block, pos, count, pen, cache.Large.get());
#endif
  return FurtherStepsWithoutAvx2(block, pos, count, pen, cache.Large.get());
}

}  // namespace tintrel
