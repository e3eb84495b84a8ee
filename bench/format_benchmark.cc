// SPDX-License-Identifier: MIT
// XBin's run-length decoding, in bytes of cells out per second: the cells of typical art (made
// to the statistics of real collections and drawn on the screen at 80 columns) compressed as the
// drawing programs do, row by row, a run of whole cells where two or more repeat, of one
// attribute or one glyph where three or more share it, else cells as they are. With
// TINTREL_XBIN_FILES (paths, separated by ":") set, the cells of those XBin files are compressed
// the same way and decoded too. Then the whole reader on the same files: decoding, the screen and
// the tally; and recognition alone. Nothing is read from disk while it is timed.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "formats/readers.h"
#include "formats/xbin_runs.h"
#include "kit/art_generator.h"

namespace tintrel {
namespace {

std::size_t Same(const std::vector<Cell>& row, std::size_t at, bool glyph, bool attr) {
  std::size_t n = 1;
  while (at + n < row.size() && n < 64 && (!glyph || row[at + n].Glyph == row[at].Glyph) &&
         (!attr || row[at + n].Attr == row[at].Attr))
    ++n;
  return n;
}

// One row's runs, greedy.
void CompressRow(const std::vector<Cell>& row, std::string& out) {
  for (std::size_t at = 0; at < row.size();) {
    const std::size_t both = Same(row, at, true, true), attr = Same(row, at, false, true),
                      glyph = Same(row, at, true, false);
    if (both >= 2) {
      out += {char(0xC0 | (both - 1)), char(row[at].Glyph), char(row[at].Attr)};
      at += both;
    } else if (attr >= 3) {
      out += {char(0x80 | (attr - 1)), char(row[at].Attr)};
      for (std::size_t i = 0; i < attr; ++i) out += char(row[at + i].Glyph);
      at += attr;
    } else if (glyph >= 3) {
      out += {char(0x40 | (glyph - 1)), char(row[at].Glyph)};
      for (std::size_t i = 0; i < glyph; ++i) out += char(row[at + i].Attr);
      at += glyph;
    } else {
      std::size_t n = 1;
      while (at + n < row.size() && n < 64 && Same(row, at + n, true, true) < 2 &&
             Same(row, at + n, false, true) < 3 && Same(row, at + n, true, false) < 3)
        ++n;
      out += char(n - 1);
      for (std::size_t i = 0; i < n; ++i) out += {char(row[at + i].Glyph), char(row[at + i].Attr)};
      at += n;
    }
  }
}

struct Compressed {
  std::string Xbin;  // a whole file: header and runs
  std::size_t Cells = 0;
};

Compressed Compress(const Screen& screen, uint32_t lines) {
  Compressed compressed;
  const uint32_t width = screen.Width;
  compressed.Xbin = std::string("XBIN\x1a", 5) + char(width & 255) + char(width >> 8) +
                    char(lines & 255) + char(lines >> 8) + char(16) + char(0x0C);
  for (uint32_t row = 0; row < lines; ++row) {
    const std::span<const Cell> cells = ScreenRow(screen, row);
    CompressRow({cells.begin(), cells.end()}, compressed.Xbin);
    compressed.Cells += width;
  }
  return compressed;
}

std::vector<Compressed> Inputs() {
  std::vector<Compressed> inputs;
  Screen screen;
  for (uint64_t seed = 1; seed <= 8; ++seed) {
    const std::string art = artgen::TypicalArt(seed, 64 << 10, false);
    ResetScreen(screen);
    DrawMemory(screen, reinterpret_cast<const uint8_t*>(art.data()), art.size());
    inputs.push_back(Compress(screen, StoredRows(screen)));
  }
  if (const char* files = std::getenv("TINTREL_XBIN_FILES")) {
    std::stringstream list(files);
    Drawing drawing;
    for (std::string path; std::getline(list, path, ':');) {
      std::ifstream in(path, std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)), {});
      ReadXbin(drawing, {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
      inputs.push_back(Compress(drawing.Grid, StoredRows(drawing.Grid)));
    }
  }
  return inputs;
}

const std::vector<Compressed>& TheInputs() {
  static const std::vector<Compressed> inputs = Inputs();
  return inputs;
}

void BM_XbinRunDecoding(benchmark::State& state) {
  const std::vector<Compressed>& inputs = TheInputs();
  std::size_t most = 0, in = 0;
  for (const Compressed& input : inputs) {
    most = std::max(most, input.Cells);
    in += input.Xbin.size() - 11;
  }
  std::vector<Cell> cells(most);
  int64_t out = 0;
  for (auto _ : state) {
    for (const Compressed& input : inputs) {
      const auto* bytes = reinterpret_cast<const uint8_t*>(input.Xbin.data());
      XbinRuns runs{bytes + 11, bytes + input.Xbin.size()};
      out += static_cast<int64_t>(2 * DecodeXbinRuns(runs, cells.data(), input.Cells));
      benchmark::DoNotOptimize(cells.data());
    }
  }
  state.SetBytesProcessed(out);
  state.counters["ratio"] =
      static_cast<double>(out) / static_cast<double>(state.iterations()) / static_cast<double>(in);
}
BENCHMARK(BM_XbinRunDecoding);

void BM_XbinReader(benchmark::State& state) {
  Drawing drawing;
  int64_t out = 0;
  for (auto _ : state) {
    for (const Compressed& input : TheInputs()) {
      ReadXbin(drawing, {reinterpret_cast<const uint8_t*>(input.Xbin.data()), input.Xbin.size()});
      benchmark::DoNotOptimize(TallyOf(drawing));
      out += static_cast<int64_t>(2 * input.Cells);
    }
  }
  state.SetBytesProcessed(out);
}
BENCHMARK(BM_XbinReader);

// Recognition alone over typical ANSI art of about 40 KB a file, the mean of real collections:
// what telling the format adds to reading each file.
void BM_Recognition(benchmark::State& state) {
  static const std::vector<std::string> files = [] {
    std::vector<std::string> made;
    for (uint64_t seed = 1; seed <= 100; ++seed)
      made.push_back(artgen::TypicalArt(seed, 40 << 10, seed % 2 == 0));
    return made;
  }();
  int64_t bytes = 0;
  for (auto _ : state) {
    for (const std::string& file : files) {
      const std::span<const uint8_t> art(reinterpret_cast<const uint8_t*>(file.data()),
                                         file.size());
      benchmark::DoNotOptimize(RecognizeFormat(art, {}, "ans"));
      bytes += static_cast<int64_t>(file.size());
    }
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_Recognition);

}  // namespace
}  // namespace tintrel

BENCHMARK_MAIN();
