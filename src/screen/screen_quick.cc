// SPDX-License-Identifier: MIT
#include "screen/screen_quick.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "scan/byte_classes.h"
#include "screen/screen_draw.h"
#include "screen/utf8_glyphs.h"

#if TINTREL_SSE2
#include <emmintrin.h>
#endif

namespace tintrel {

namespace {

constexpr std::size_t kWindow = 64;
// A block of windows is classified whole before its steps are taken; one window more is
// classified after it, into which its last sequence or pipe code may reach.
constexpr std::size_t kMostWindows = 64;
// The parameters and the final byte of the longest sequence a key holds.
constexpr std::size_t kKeyBytes = 16;
// A run of glyphs is written sixteen cells at a time.
constexpr uint32_t kRunPiece = 16;

struct BlockClasses {
  std::array<uint64_t, kMostWindows + 2> Enders;  // bytes that end a run of glyphs
  std::array<uint64_t, kMostWindows + 2> Stops;   // bytes that are no parameter character
};

constexpr bool EndsRun(uint8_t b, bool high_glyphs) {
  return b == kEscapeByte || b == kPipeByte || b == '\n' || b == '\r' || b == '\t' ||
         (!high_glyphs && b >= 0x80);
}

template <bool kHighGlyphs>
void ClassifyWindow(const uint8_t* bytes, uint64_t& enders, uint64_t& stops) {
#if TINTREL_SSE2
  enders = stops = 0;
  for (int part = 0; part < 4; ++part) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * part));
    auto is = [v](char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
    const __m128i ends = _mm_or_si128(_mm_or_si128(_mm_or_si128(is(kEscapeByte), is(kPipeByte)),
                                                   _mm_or_si128(is('\n'), is('\r'))),
                                      is('\t'));
    // A digit is a byte whose distance from '0', taken unsigned, is below 10.
    const __m128i from_zero =
        _mm_xor_si128(_mm_sub_epi8(v, _mm_set1_epi8('0')), _mm_set1_epi8(-128));
    const __m128i digits = _mm_cmplt_epi8(from_zero, _mm_set1_epi8(-128 + 10));
    const __m128i params =
        _mm_or_si128(digits, _mm_or_si128(is(kParamSeparators[0]), is(kParamSeparators[1])));
    auto end_bits = static_cast<uint32_t>(_mm_movemask_epi8(ends));
    if (!kHighGlyphs) end_bits |= static_cast<uint32_t>(_mm_movemask_epi8(v));
    enders |= uint64_t{end_bits} << (16 * part);
    stops |= uint64_t{~static_cast<uint32_t>(_mm_movemask_epi8(params)) & 0xFFFFu} << (16 * part);
  }
#else
  enders = stops = 0;
  for (std::size_t i = 0; i < kWindow; ++i) {
    enders |= uint64_t{EndsRun(bytes[i], kHighGlyphs)} << i;
    stops |= uint64_t{!IsParamChar(bytes[i])} << i;
  }
#endif
}

std::size_t Zeros(uint64_t bits) {
  return static_cast<std::size_t>(__builtin_ctzll(bits));
}

// The first byte at or after `at` whose bit is set, or `limit` when none is before it.
std::size_t NextBit(const std::array<uint64_t, kMostWindows + 2>& bits, std::size_t at,
                    std::size_t limit) {
  if (const uint64_t word = bits[at / kWindow] >> (at % kWindow)) return at + Zeros(word);
  for (std::size_t w = at / kWindow + 1; w * kWindow < limit; ++w) {
    if (bits[w] != 0) return w * kWindow + Zeros(bits[w]);
  }
  return limit;
}

// How many parameter characters stand from `at` on, up to kKeyBytes.
std::size_t ParamsFrom(const std::array<uint64_t, kMostWindows + 2>& stops, std::size_t at) {
  const std::size_t w = at / kWindow, shift = at % kWindow;
  uint64_t word = stops[w] >> shift;
  if (shift != 0) word |= stops[w + 1] << (kWindow - shift);
  return Zeros(word | uint64_t{1} << kKeyBytes);
}

uint64_t Load64(const uint8_t* bytes) {
  uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

struct KeyPad {
  uint64_t Low, High;
};

// What fills the two words of a key past its bytes, for each length.
constexpr std::array<KeyPad, kKeyBytes + 1> kKeyPads = [] {
  std::array<KeyPad, kKeyBytes + 1> pads{};
  for (std::size_t length = 0; length <= kKeyBytes; ++length) {
    pads[length].Low = length >= 8 ? 0 : ~0ull << (8 * length);
    pads[length].High = length >= 16 ? 0 : length <= 8 ? ~0ull : ~0ull << (8 * (length - 8));
  }
  return pads;
}();

std::size_t EntryOf(uint64_t low, uint64_t high) {
  return ((low + high * 9) * 0x9E3779B97F4A7C15ull) >> (64 - kSequenceCacheBits);
}

constexpr std::array<uint8_t, 256> kBitsSet = [] {
  std::array<uint8_t, 256> counts{};
  for (int i = 0; i < 256; ++i) counts[i] = static_cast<uint8_t>(__builtin_popcount(i));
  return counts;
}();

#if TINTREL_SSE2
// The bytes of the first n cells of sixteen, glyph and attribute each.
alignas(16) constexpr std::array<std::array<uint8_t, 32>, kRunPiece + 1> kRunMasks = [] {
  std::array<std::array<uint8_t, 32>, kRunPiece + 1> masks{};
  for (std::size_t n = 0; n <= kRunPiece; ++n) {
    for (std::size_t i = 0; i < 2 * n; ++i) masks[n][i] = 0xFF;
  }
  return masks;
}();

// Writes n glyphs (at most 16) with the attribute into the cells and returns how many have
// ink. Reads sixteen glyphs, and writes back the sixteen cells' bytes past the n as they were.
[[gnu::always_inline]] inline uint32_t WriteRun(Cell* cells, const uint8_t* glyphs, uint32_t n,
                                                uint8_t attr) {
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
  const __m128i blank = _mm_or_si128(
      _mm_or_si128(_mm_cmpeq_epi8(g, _mm_setzero_si128()), _mm_cmpeq_epi8(g, _mm_set1_epi8(' '))),
      _mm_cmpeq_epi8(g, _mm_set1_epi8(-1)));
  const uint32_t ink = ~static_cast<uint32_t>(_mm_movemask_epi8(blank)) & ((1u << n) - 1);
  return kBitsSet[ink & 0xFF] + kBitsSet[ink >> 8];
}
#else
[[gnu::always_inline]] inline uint32_t WriteRun(Cell* cells, const uint8_t* glyphs, uint32_t n,
                                                uint8_t attr) {
  uint32_t ink = 0;
  for (uint32_t i = 0; i < n; ++i) {
    cells[i] = {glyphs[i], attr};
    ink += !IsBlank(glyphs[i]);
  }
  return ink;
}
#endif

uint32_t InkOf(const uint8_t* glyphs, uint32_t n) {
  uint32_t ink = 0;
  for (uint32_t i = 0; i < n; ++i) ink += !IsBlank(glyphs[i]);
  return ink;
}

// The steps over a block of `limit` bytes, whose classes are in `classes`, from its first byte.
// Returns where they ended, which may be inside the window after the block; `stopped` tells
// that the byte loop must take the token there.
template <bool kHighGlyphs>
std::size_t TakeBlock(Screen& screen, const uint8_t* base, std::size_t limit,
                      const BlockClasses& classes, bool& stopped) {
  SequenceEntry* const entries = screen.Cache->Entries.get();
  const uint32_t width = screen.Width;
  // The cursor and the pen stay in registers while the steps go; the screen has them back
  // whenever one of its events is called.
  uint32_t row = screen.Row, column = screen.Column;
  uint16_t pen = screen.Pen;
  uint8_t attr = screen.Attr;
  Cell* row_cells = nullptr;
  RowMarks* marks = nullptr;  // the row's marks, when the row is stored and drawn in this frame
  bool below = false;         // the row is past the stored rows, and a frame is open
  auto find_row = [&] {
    marks = nullptr;
    below = row >= screen.RowCap && screen.FrameOpen;
    if (row < screen.RowsReady && screen.Marks[row].Frame == screen.Frame) {
      marks = &screen.Marks[row];
      row_cells = screen.Cells.data() + std::size_t{row} * width;
    }
  };
  auto give_back = [&] {
    screen.Row = row;
    screen.Column = column;
    screen.Pen = pen;
    screen.Attr = attr;
  };
  auto take_back = [&] {
    row = screen.Row;
    column = screen.Column;
    pen = screen.Pen;
    attr = screen.Attr;
    find_row();
  };
  find_row();

  // Glyphs that fit on the row, right of what this frame drew on it, or below the stored rows
  // within what shows there already, are written or counted here; the rest by DrawGlyphs.
  auto draw = [&](const uint8_t* glyphs, uint32_t n) {
    if (column + n <= width) {
      if (marks == nullptr && row < screen.RowCap && screen.FrameOpen) {
        give_back();
        marks = &EnterRow(screen);
        row_cells = screen.Cells.data() + std::size_t{row} * width;
      }
      if (marks != nullptr && column >= marks->FrameHi) {
        if (column < marks->HeldHi) [[unlikely]]
          ReleaseCells(screen, row_cells, column, std::min<uint32_t>(column + n, marks->HeldHi));
        const uint32_t ink = WriteRun(row_cells + column, glyphs, n, attr);
        screen.HeldByAttr[attr] += n;
        screen.InkedByAttr[attr] += ink;
        column += n;
        marks->FrameHi = static_cast<uint16_t>(column);
        marks->HeldHi = std::max(marks->HeldHi, marks->FrameHi);
      } else if (below && row < screen.BelowLines && column + n <= screen.BelowWidth) {
        screen.HeldByAttr[attr] += n;
        screen.InkedByAttr[attr] += InkOf(glyphs, n);
        column += n;
      } else {
        give_back();
        DrawGlyphs(screen, glyphs, n);
        return take_back();
      }
      if (column == width) {
        column = 0;
        row = RowsDown(row, 1);
        find_row();
      }
      return;
    }
    give_back();
    DrawGlyphs(screen, glyphs, n);
    take_back();
  };
  auto take_step = [&](const ScreenStep& step) {
    pen = static_cast<uint16_t>((pen & step.PenKeep) | step.PenSet);
    attr = AttrOfPen(pen);
    screen.ExtendedColors |= step.Extended;
    if (step.Kind == StepKind::kPenOnly) return;
    if (step.Kind == StepKind::kForward) {
      column = ColumnsForward(column, step.Row, width);
      return;
    }
    give_back();
    TakeAction(screen, step);
    take_back();
  };

  std::size_t at = 0;
  while (at < limit) {
    const std::size_t end = NextBit(classes.Enders, at, limit);
    for (; at < end; at += kRunPiece)
      draw(base + at, static_cast<uint32_t>(std::min<std::size_t>(kRunPiece, end - at)));
    at = end;
    if (at == limit) break;
    const uint8_t b = base[at];
    switch (b) {
      case kEscapeByte: {
        // ESC without "[" is dropped, and the byte after it read as usual.
        if (base[at + 1] != '[') {
          ++at;
          continue;
        }
        const std::size_t from = at + 2;
        const std::size_t params = ParamsFrom(classes.Stops, from);
        if (params == kKeyBytes) {
          stopped = true;
          give_back();
          return at;
        }
        const std::size_t length = params + 1;
        const uint64_t low = Load64(base + from) | kKeyPads[length].Low;
        const uint64_t high = Load64(base + from + 8) | kKeyPads[length].High;
        SequenceEntry& entry = entries[EntryOf(low, high)];
        if (entry.KeyLow != low || entry.KeyHigh != high) [[unlikely]]
          entry = {low, high, SequenceStep(base + from, params, base[from + params])};
        at = from + length;
        take_step(entry.Step);
        continue;
      }
      case kPipeByte:
        if (const int code = PipeCodeValue(base[at + 1], base[at + 2]); code >= 0) {
          take_step(PipeStep(code));
          at += 3;
        } else {
          draw(base + at, 1);
          ++at;
        }
        continue;
      case '\n':
        row = RowsDown(row, 1);
        column = 0;
        find_row();
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
      default: {
        // A high byte of UTF-8 art.
        if (screen.Characters != Charset::kUtf8) {
          stopped = true;
          give_back();
          return at;
        }
        const Utf8Read read = ReadUtf8(base + at, 4);
        if (read.Outcome != Utf8Read::kCharacter) {
          draw(base + at, 1);
          ++at;
          continue;
        }
        if (const int glyph = GlyphOf(read.Code); glyph != kNoGlyph) {
          std::array<uint8_t, kRunPiece> one{static_cast<uint8_t>(glyph)};
          draw(one.data(), 1);
        }
        at += read.Length;
        continue;
      }
    }
  }
  give_back();
  return at;
}

template <bool kHighGlyphs>
std::size_t TakeBlocks(Screen& screen, const uint8_t* bytes, std::size_t pos, std::size_t count) {
  BlockClasses classes;
  while (count - pos >= 2 * kWindow) {
    const std::size_t windows = std::min(kMostWindows, (count - pos) / kWindow - 1);
    const uint8_t* base = bytes + pos;
    for (std::size_t w = 0; w <= windows; ++w)
      ClassifyWindow<kHighGlyphs>(base + w * kWindow, classes.Enders[w], classes.Stops[w]);
    classes.Enders[windows + 1] = classes.Stops[windows + 1] = ~uint64_t{0};
    bool stopped = false;
    pos += TakeBlock<kHighGlyphs>(screen, base, windows * kWindow, classes, stopped);
    if (stopped) break;
  }
  return pos;
}

}  // namespace

std::size_t TakeQuickSteps(Screen& screen, const uint8_t* bytes, std::size_t pos,
                           std::size_t count) {
  if (count - pos < 2 * kWindow) return pos;
  if (!screen.Cache) screen.Cache = std::make_unique<SequenceCache>();
  if (screen.Characters == Charset::kCp437) return TakeBlocks<true>(screen, bytes, pos, count);
  return TakeBlocks<false>(screen, bytes, pos, count);
}

}  // namespace tintrel
