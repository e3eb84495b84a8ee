// SPDX-License-Identifier: MIT
#include "screen/screen_quick.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "scan/byte_classes.h"
#include "scan/window_classes.h"
#include "screen/screen_draw.h"
#include "screen/utf8_glyphs.h"

namespace tintrel {

namespace {

constexpr std::size_t kWindow = 64;
// A block of windows is classified whole before its steps are taken; its last sequence or pipe
// code may reach into the window after it.
constexpr std::size_t kMostWindows = 64;
// The parameters and the final byte of the longest sequence a key holds.
constexpr std::size_t kKeyBytes = 16;
// A run of glyphs is written sixteen cells at a time.
constexpr uint32_t kRunPiece = 16;
// A row's frame reach while the row holds no marks of the current frame: no run is right of it.
constexpr uint32_t kNoReach = UINT32_MAX;

// The places of a block's bytes that end runs, in order, then the block's end and a place past
// every other; eight more are written past the last.
using RunEnds = std::array<uint16_t, kMostWindows * kWindow + 16>;

std::size_t Zeros(uint64_t bits) {
  return static_cast<std::size_t>(__builtin_ctzll(bits));
}

[[maybe_unused]] uint64_t Load64(const uint8_t* bytes) {
  uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

// What fills a key's sixteen bytes past its own, for each length.
[[maybe_unused]] alignas(
    16) constexpr std::array<std::array<uint8_t, kKeyBytes>, kKeyBytes + 1> kKeyPads = [] {
  std::array<std::array<uint8_t, kKeyBytes>, kKeyBytes + 1> pads{};
  for (std::size_t length = 0; length <= kKeyBytes; ++length) {
    for (std::size_t i = length; i < kKeyBytes; ++i) pads[length][i] = 0xFF;
  }
  return pads;
}();

struct Key {
  uint64_t Low, High;
};

std::size_t EntryOf(Key key) {
  return ((key.Low + key.High * 9) * 0x9E3779B97F4A7C15ull) >> (64 - kSequenceCacheBits);
}

// The bytes of the first n cells of sixteen, glyph and attribute each.
[[maybe_unused]] alignas(
    32) constexpr std::array<std::array<uint8_t, 32>, kRunPiece + 1> kRunMasks = [] {
  std::array<std::array<uint8_t, 32>, kRunPiece + 1> masks{};
  for (std::size_t n = 0; n <= kRunPiece; ++n) {
    for (std::size_t i = 0; i < 2 * n; ++i) masks[n][i] = 0xFF;
  }
  return masks;
}();

[[maybe_unused]] constexpr bool EndsRun(uint8_t b, bool high_glyphs) {
  return b == kEscapeByte || b == kPipeByte || b == '\n' || b == '\r' || b == '\t' ||
         (!high_glyphs && b >= 0x80);
}

// The parameter characters from `bytes` on (up to kKeyBytes, which means as many or more), and
// the key of the sequence they and the final byte after them form.
struct SequenceKey {
  std::size_t Params;
  Key Bytes;
};

#if TINTREL_SSE2
[[gnu::always_inline]] inline SequenceKey KeyAt(const uint8_t* bytes) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
  // A digit is a byte whose distance from '0', taken unsigned, is below 10.
  const __m128i from_zero = _mm_xor_si128(_mm_sub_epi8(v, _mm_set1_epi8('0')), _mm_set1_epi8(-128));
  const __m128i params = _mm_or_si128(
      _mm_cmplt_epi8(from_zero, _mm_set1_epi8(-128 + 10)),
      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(kParamSeparators[0]))),
                   _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(kParamSeparators[1])))));
  const std::size_t count = Zeros(~static_cast<uint64_t>(_mm_movemask_epi8(params)));
  const std::size_t length = std::min(count + 1, kKeyBytes);
  const __m128i key =
      _mm_or_si128(v, _mm_load_si128(reinterpret_cast<const __m128i*>(kKeyPads[length].data())));
  return {std::min(count, kKeyBytes),
          {static_cast<uint64_t>(_mm_cvtsi128_si64(key)),
           static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(key, key)))}};
}
#else
[[gnu::always_inline]] inline SequenceKey KeyAt(const uint8_t* bytes) {
  std::size_t count = 0;
  while (count < kKeyBytes && IsParamChar(bytes[count])) ++count;
  std::array<uint8_t, kKeyBytes> key;
  std::memcpy(key.data(), bytes, kKeyBytes);
  for (std::size_t i = std::min(count + 1, kKeyBytes); i < kKeyBytes; ++i) key[i] = 0xFF;
  return {count, {Load64(key.data()), Load64(key.data() + 8)}};
}
#endif

// What the steps take from the processor: the classification of a window of 64 bytes into the
// bytes that end runs (and the high bytes, unless they are glyphs), and writing a run of at most
// 16 glyphs with their attribute into cells, which reads sixteen glyphs and leaves the cells
// past the run as they were.
struct Portably {
  template <bool kHighGlyphs>
  static uint64_t Classify(const uint8_t* bytes) {
    uint64_t enders = 0;
#if TINTREL_SSE2
    for (int part = 0; part < 4; ++part) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * part));
      auto is = [v](char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
      const __m128i ends = _mm_or_si128(_mm_or_si128(_mm_or_si128(is(kEscapeByte), is(kPipeByte)),
                                                     _mm_or_si128(is('\n'), is('\r'))),
                                        is('\t'));
      auto bits = static_cast<uint32_t>(_mm_movemask_epi8(ends));
      if (!kHighGlyphs) bits |= static_cast<uint32_t>(_mm_movemask_epi8(v));
      enders |= uint64_t{bits} << (16 * part);
    }
#else
    for (std::size_t i = 0; i < kWindow; ++i)
      enders |= uint64_t{EndsRun(bytes[i], kHighGlyphs)} << i;
#endif
    return enders;
  }

  static void Write(Cell* cells, const uint8_t* glyphs, uint32_t n, uint8_t attr) {
#if TINTREL_SSE2
    const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(glyphs));
    const __m128i a = _mm_set1_epi8(static_cast<char>(attr));
    auto* to = reinterpret_cast<__m128i*>(cells);
    for (int half = 0; half < 2; ++half) {
      const __m128i mask =
          _mm_load_si128(reinterpret_cast<const __m128i*>(kRunMasks[n].data()) + half);
      const __m128i drawn = half == 0 ? _mm_unpacklo_epi8(g, a) : _mm_unpackhi_epi8(g, a);
      const __m128i was = _mm_loadu_si128(to + half);
      _mm_storeu_si128(to + half,
                       _mm_or_si128(_mm_and_si128(mask, drawn), _mm_andnot_si128(mask, was)));
    }
#else
    for (uint32_t i = 0; i < n; ++i) cells[i] = {glyphs[i], attr};
#endif
  }
};

#if TINTREL_SSE2
#define TINTREL_SCREEN_AVX2 gnu::target("avx2,popcnt,bmi,bmi2")

struct WithAvx2 {
  [[TINTREL_SCREEN_AVX2]] static __m256i Is(__m256i v, char c) {
    return _mm256_cmpeq_epi8(v, _mm256_set1_epi8(c));
  }

  template <bool kHighGlyphs>
  [[TINTREL_SCREEN_AVX2]] static uint64_t Classify(const uint8_t* bytes) {
    uint64_t enders = 0;
    for (int part = 0; part < 2; ++part) {
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + 32 * part));
      const __m256i ends =
          _mm256_or_si256(_mm256_or_si256(_mm256_or_si256(Is(v, kEscapeByte), Is(v, kPipeByte)),
                                          _mm256_or_si256(Is(v, '\n'), Is(v, '\r'))),
                          Is(v, '\t'));
      auto bits = static_cast<uint32_t>(_mm256_movemask_epi8(ends));
      if (!kHighGlyphs) bits |= static_cast<uint32_t>(_mm256_movemask_epi8(v));
      enders |= uint64_t{bits} << (32 * part);
    }
    return enders;
  }

  [[TINTREL_SCREEN_AVX2]] static void Write(Cell* cells, const uint8_t* glyphs, uint32_t n,
                                            uint8_t attr) {
    const __m256i drawn = _mm256_or_si256(
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(glyphs))),
        _mm256_set1_epi16(static_cast<int16_t>(attr << 8)));
    auto* to = reinterpret_cast<__m256i*>(cells);
    const __m256i mask = _mm256_load_si256(reinterpret_cast<const __m256i*>(kRunMasks[n].data()));
    _mm256_storeu_si256(to, _mm256_blendv_epi8(_mm256_loadu_si256(to), drawn, mask));
  }
};

struct WithAvx512 {
  [[TINTREL_AVX512]] static uint64_t Is(__m512i v, char c) {
    return _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(c));
  }

  template <bool kHighGlyphs>
  [[TINTREL_AVX512]] static uint64_t Classify(const uint8_t* bytes) {
    const __m512i v = _mm512_loadu_si512(bytes);
    uint64_t enders =
        Is(v, kEscapeByte) | Is(v, kPipeByte) | Is(v, '\n') | Is(v, '\r') | Is(v, '\t');
    if (!kHighGlyphs) enders |= _mm512_movepi8_mask(v);
    return enders;
  }

  [[TINTREL_AVX512]] static void Write(Cell* cells, const uint8_t* glyphs, uint32_t n,
                                       uint8_t attr) {
    const __m256i drawn = _mm256_or_si256(
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(glyphs))),
        _mm256_set1_epi16(static_cast<int16_t>(attr << 8)));
    _mm256_mask_storeu_epi16(cells, static_cast<__mmask16>((1u << n) - 1), drawn);
  }
};
#endif

uint32_t InkOf(const uint8_t* glyphs, uint32_t n) {
  uint32_t ink = 0;
  for (uint32_t i = 0; i < n; ++i) ink += !IsBlank(glyphs[i]);
  return ink;
}

// The marks of a stored row that the current frame drew on, or none.
RowMarks* DrawnRow(Screen& screen, uint32_t row) {
  if (row >= screen.RowsReady || screen.Marks[row].Frame != screen.Frame) return nullptr;
  return &screen.Marks[row];
}

// The runs the block's loop does not write itself: on a row this frame has not drawn on yet or
// left of what it drew there, below the stored rows, past the last column, longer than a piece;
// DrawGlyphs takes the rest.
[[gnu::noinline]] void DrawRun(Screen& screen, const uint8_t* glyphs, std::size_t count) {
  while (count > 0) {
    const auto n = static_cast<uint32_t>(std::min<std::size_t>(count, kRunPiece));
    const uint32_t to = screen.Column + n;
    if (to > screen.Width) return DrawGlyphs(screen, glyphs, count);
    RowMarks* marks = DrawnRow(screen, screen.Row);
    if (marks == nullptr && screen.Row < screen.RowCap && screen.FrameOpen)
      marks = &EnterRow(screen, screen.Row);
    if (marks != nullptr) {
      // Drawing at or left of what this frame drew on the row starts the next frame.
      if (screen.Column < marks->FrameHi) {
        ++screen.Frames;
        *marks = {++screen.Frame, 0, marks->HeldHi};
      }
      Portably::Write(screen.Cells.data() + std::size_t{screen.Row} * screen.Width + screen.Column,
                      glyphs, n, screen.Attr);
      marks->FrameHi = to;
      marks->HeldHi = std::max(marks->HeldHi, to);
      screen.Column = to;
    } else if (screen.Row >= screen.RowCap && screen.FrameOpen && screen.Row < screen.BelowLines &&
               to <= screen.BelowWidth) {
      screen.BelowByAttr[screen.Attr] += n;
      screen.BelowInkedByAttr[screen.Attr] += InkOf(glyphs, n);
      screen.Column = to;
    } else {
      DrawGlyphs(screen, glyphs, n);
    }
    if (screen.Column == screen.Width) LineFeed(screen);
    glyphs += n;
    count -= n;
  }
}

// The cells of the cursor's row and its frame reach, while the current frame drew on it; else
// no cells and kNoReach, so that no run is right of it. The row's HeldHi is settled when the
// row is left: while the quick steps stay on it, the reach only grows.
struct RowView {
  Cell* Cells;
  uint32_t Reach;
};

RowView ViewRow(Screen& screen, uint32_t row) {
  const RowMarks* marks = DrawnRow(screen, row);
  if (marks == nullptr) return {nullptr, kNoReach};
  return {screen.Cells.data() + std::size_t{row} * screen.Width, marks->FrameHi};
}

void LeaveRow(Screen& screen, uint32_t row, RowView view) {
  if (view.Cells == nullptr) return;
  RowMarks& marks = screen.Marks[row];
  marks.FrameHi = view.Reach;
  marks.HeldHi = std::max(marks.HeldHi, view.Reach);
}

int CountBits(uint64_t bits) {
  bits -= (bits >> 1) & 0x5555555555555555ull;
  bits = (bits & 0x3333333333333333ull) + ((bits >> 2) & 0x3333333333333333ull);
  bits = (bits + (bits >> 4)) & 0x0F0F0F0F0F0F0F0Full;
  return static_cast<int>((bits * 0x0101010101010101ull) >> 56);
}

// Lists where runs end in a block of `windows` windows: eight places at a time, whether a window
// has so many or not, so that the loop's end is seldom mispredicted; the next window's places
// overwrite those past a window's last.
template <typename Processor, bool kHighGlyphs>
[[gnu::always_inline]] inline void ListRunEnds(const uint8_t* base, std::size_t windows,
                                               RunEnds& ends) {
  uint16_t* next = ends.data();
  for (std::size_t w = 0; w < windows; ++w) {
    uint64_t bits = Processor::template Classify<kHighGlyphs>(base + w * kWindow);
    uint16_t* const last = next + CountBits(bits);
    do {
      for (int i = 0; i < 8; ++i) {
        next[i] = static_cast<uint16_t>(w * kWindow + Zeros(bits | uint64_t{1} << 63));
        bits &= bits - 1;
      }
      next += 8;
    } while (next < last);
    next = last;
  }
  next[0] = static_cast<uint16_t>(windows * kWindow);
  next[1] = UINT16_MAX;
}

// The steps over a block of `limit` bytes from its first byte, whose run ends are listed.
// Returns where they ended, which may be inside the window after the block; `stopped` tells
// that the byte loop must take the token there. The cursor, the pen and the marks of the
// cursor's row stay in registers; the screen has them back whenever one of its events is called.
template <typename Processor, bool kHighGlyphs>
[[gnu::always_inline]] inline std::size_t TakeBlock(Screen& screen, const uint8_t* base,
                                                    std::size_t limit, const RunEnds& ends,
                                                    bool& stopped) {
  SequenceEntry* const entries = screen.Cache->Entries.get();
  const uint32_t width = screen.Width;
  uint32_t row = screen.Row, column = screen.Column;
  uint16_t pen = screen.Pen;
  uint8_t attr = screen.Attr;
  RowView view = ViewRow(screen, row);
  // Plain code rather than lambdas, which would keep the cursor in memory.
#define TINTREL_GIVE_BACK()                                                                 \
  (LeaveRow(screen, row, view), screen.Row = row, screen.Column = column, screen.Pen = pen, \
   screen.Attr = attr)
#define TINTREL_TAKE_BACK()                                                        \
  (row = screen.Row, column = screen.Column, pen = screen.Pen, attr = screen.Attr, \
   view = ViewRow(screen, row))

  // The next place where a run ends: the start of the token after the run. Only a token that
  // ends with a byte that ends runs passes over one of them.
  const uint16_t* next = ends.data();
  std::size_t at = 0;
  while (at < limit) {
    while (*next < at) [[unlikely]]++ next;
    const std::size_t end = *next++;
    const auto n = static_cast<uint32_t>(end - at);
    // A run that fits on a row right of what this frame drew there is written here; an empty
    // one passes through unseen, without a branch.
    if (column >= view.Reach && n <= kRunPiece && column + n <= width) [[likely]] {
      Processor::Write(view.Cells + column, base + at, n, attr);
      column += n;
      view.Reach = n != 0 ? column : view.Reach;
      if (column == width) [[unlikely]] {
        LeaveRow(screen, row, view);
        column = 0;
        row = RowsDown(row, 1);
        view = ViewRow(screen, row);
      }
    } else if (n != 0) {
      TINTREL_GIVE_BACK();
      DrawRun(screen, base + at, n);
      TINTREL_TAKE_BACK();
    }
    at = end;
    if (at == limit) break;
    const uint8_t b = base[at];
    // The token's own place is passed; places inside it are passed below, at the loop's start.

    if (b == kEscapeByte) [[likely]] {
      // ESC without "[" is dropped, and the byte after it read as usual.
      if (base[at + 1] != '[') {
        ++at;
        continue;
      }
      const SequenceKey key = KeyAt(base + at + 2);
      if (key.Params == kKeyBytes) {
        stopped = true;
        break;
      }
      SequenceEntry& entry = entries[EntryOf(key.Bytes)];
      if (entry.KeyLow != key.Bytes.Low || entry.KeyHigh != key.Bytes.High) [[unlikely]] {
        entry = {key.Bytes.Low, key.Bytes.High,
                 SequenceStep(base + at + 2, key.Params, base[at + 2 + key.Params])};
      }
      at += 3 + key.Params;
      const ScreenStep& step = entry.Step;
      pen = static_cast<uint16_t>((pen & step.PenKeep) | step.PenSet);
      attr = AttrOfPen(pen);
      column = ColumnsForward(column, step.Forward, width);
      if (step.Kind == StepKind::kNone) [[likely]]
        continue;
      TINTREL_GIVE_BACK();
      TakeAction(screen, step);
      TINTREL_TAKE_BACK();
      continue;
    }
    switch (b) {
      case '\n':
        LeaveRow(screen, row, view);
        row = RowsDown(row, 1);
        column = 0;
        view = ViewRow(screen, row);
        ++at;
        continue;
      case '\r':
        column = 0;
        ++at;
        continue;
      case '\t':
        column = TabStop(column, width);
        ++at;
        continue;
      case kPipeByte:
        TINTREL_GIVE_BACK();
        if (const int code = PipeCodeValue(base[at + 1], base[at + 2]); code >= 0) {
          TakeStep(screen, PipeStep(code));
          at += 3;
        } else {
          DrawRun(screen, base + at, 1);
          ++at;
        }
        TINTREL_TAKE_BACK();
        continue;
      default: {
        // A high byte of UTF-8 art.
        if (screen.Characters != Charset::kUtf8) {
          stopped = true;
          break;
        }
        TINTREL_GIVE_BACK();
        const Utf8Read read = ReadUtf8(base + at, 4);
        if (read.Outcome != Utf8Read::kCharacter) {
          DrawRun(screen, base + at, 1);
          ++at;
        } else {
          if (const int glyph = GlyphOf(read.Code); glyph != kNoGlyph) {
            const std::array<uint8_t, kRunPiece> one{static_cast<uint8_t>(glyph)};
            DrawRun(screen, one.data(), 1);
          }
          at += read.Length;
        }
        TINTREL_TAKE_BACK();
        continue;
      }
    }
    break;
  }
  TINTREL_GIVE_BACK();
#undef TINTREL_GIVE_BACK
#undef TINTREL_TAKE_BACK
  return at;
}

template <typename Processor, bool kHighGlyphs>
[[gnu::always_inline]] inline std::size_t TakeBlocks(Screen& screen, const uint8_t* bytes,
                                                     std::size_t pos, std::size_t count) {
  RunEnds ends;
  // The window after a block holds its last token's bytes: only a block that has one is taken.
  while (count - pos >= 2 * kWindow) {
    const std::size_t windows = std::min(kMostWindows, (count - pos) / kWindow - 1);
    const uint8_t* base = bytes + pos;
    ListRunEnds<Processor, kHighGlyphs>(base, windows, ends);
    bool stopped = false;
    pos += TakeBlock<Processor, kHighGlyphs>(screen, base, windows * kWindow, ends, stopped);
    if (stopped) break;
  }
  return pos;
}

// Packing the cursor's coordinates into vectors costs more than it saves.
#if defined(__GNUC__) && !defined(__clang__)
#define TINTREL_SCREEN_STEPS gnu::optimize("no-tree-slp-vectorize")
#else
#define TINTREL_SCREEN_STEPS
#endif

template <bool kHighGlyphs>
[[TINTREL_SCREEN_STEPS]] std::size_t StepsPortably(Screen& screen, const uint8_t* bytes,
                                                   std::size_t pos, std::size_t count) {
  return TakeBlocks<Portably, kHighGlyphs>(screen, bytes, pos, count);
}

#if TINTREL_SSE2
template <bool kHighGlyphs>
[[TINTREL_SCREEN_AVX2, TINTREL_SCREEN_STEPS]] std::size_t StepsWithAvx2(Screen& screen,
                                                                        const uint8_t* bytes,
                                                                        std::size_t pos,
                                                                        std::size_t count) {
  return TakeBlocks<WithAvx2, kHighGlyphs>(screen, bytes, pos, count);
}

template <bool kHighGlyphs>
[[TINTREL_AVX512, TINTREL_SCREEN_STEPS]] std::size_t StepsWithAvx512(Screen& screen,
                                                                     const uint8_t* bytes,
                                                                     std::size_t pos,
                                                                     std::size_t count) {
  return TakeBlocks<WithAvx512, kHighGlyphs>(screen, bytes, pos, count);
}
#endif

// The steps of code page 437 art, where high bytes are glyphs, and of all other art.
template <bool kHighGlyphs>
std::size_t Steps(Screen& screen, const uint8_t* bytes, std::size_t pos, std::size_t count) {
#if TINTREL_SSE2
  static const bool kAvx512 = avx512::Available(), kAvx2 = avx2::Available();
  if (kAvx512 && screen.Quick == QuickScreen::kOn)
    return StepsWithAvx512<kHighGlyphs>(screen, bytes, pos, count);
  if (kAvx2 && screen.Quick != QuickScreen::kWithoutAvx)
    return StepsWithAvx2<kHighGlyphs>(screen, bytes, pos, count);
#endif
  return StepsPortably<kHighGlyphs>(screen, bytes, pos, count);
}

}  // namespace

std::size_t TakeQuickSteps(Screen& screen, const uint8_t* bytes, std::size_t pos,
                           std::size_t count) {
  if (count - pos < 2 * kWindow) return pos;
  if (!screen.Cache) screen.Cache = std::make_unique<SequenceCache>();
  if (screen.Characters == Charset::kCp437) return Steps<true>(screen, bytes, pos, count);
  return Steps<false>(screen, bytes, pos, count);
}

}  // namespace tintrel
