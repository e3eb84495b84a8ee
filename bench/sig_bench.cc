// SPDX-License-Identifier: MIT
// How well screen_sig finds near copies, and how fast the database finds them.
//   sig_bench variants COUNT   COUNT drawings of typical art, each with five made variants (a
//                              cell changed, a line added, a colour shifted, the record rewritten,
//                              stored as XBin); prints, per variant, the share found as the same
//                              screen (screen_md5) and as the same or a near copy, and the
//                              precision of near copies over every pair of drawings and variants
//   sig_bench database COUNT FILE
//                              writes FILE, a database of COUNT drawings' signatures (one in 50
//                              with a cell changed as well) with the catalogue's screen_sigs table,
//                              indexes and near_copies view, for timing with the sqlite3 shell
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "analysis/art_facts.h"
#include "catalog/database_views.h"
#include "kit/art_generator.h"

namespace tintrel {
namespace {

constexpr int kAnsi[8] = {0, 4, 2, 6, 1, 5, 3, 7};  // a VGA colour's number in ANSI sequences

struct Cells {
  std::vector<Cell> Grid;  // 80 a row
  uint32_t Lines = 0;
};

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

ArtFacts FactsOf(const std::string& name, const std::string& bytes, ArtTools& tools) {
  ArtFacts facts;
  HeldFacts(facts, name, Bytes(bytes), tools);
  return facts;
}

// The drawing's cells as the screen keeps them, 80 columns wide.
Cells CellsOf(const std::string& art, ArtTools& tools) {
  const ArtFacts facts = FactsOf("art.ans", art, tools);
  Cells cells;
  cells.Lines = static_cast<uint32_t>(facts.Top.size() / kDefaultScreenWidth);
  cells.Grid = facts.Top;
  return cells;
}

// Every cell with its colours, CR LF after each row but a full one, which wrapped already.
std::string AnsiOf(const Cells& cells) {
  std::string out;
  int pen = -1;
  for (uint32_t row = 0; row < cells.Lines; ++row) {
    for (uint32_t column = 0; column < kDefaultScreenWidth; ++column) {
      const Cell cell = cells.Grid[row * kDefaultScreenWidth + column];
      if (cell.Attr != pen) {
        const int fg = cell.Attr & 15, bg = cell.Attr >> 4 & 7;
        out += "\x1b[0;" + std::string(fg > 7 ? "1;" : "") + std::to_string(30 + kAnsi[fg & 7]) +
               ";" + std::to_string(40 + kAnsi[bg]) + (cell.Attr & 0x80 ? ";5m" : "m");
        pen = cell.Attr;
      }
      // The bytes the screen acts on are written as spaces, in the base and its variants alike.
      out += static_cast<char>(cell.Glyph == 0 || cell.Glyph == 26 || cell.Glyph == 27 ||
                                       cell.Glyph == '|' || cell.Glyph == 9 || cell.Glyph == 10 ||
                                       cell.Glyph == 13
                                   ? ' '
                                   : cell.Glyph);
    }
  }
  return out;
}

std::string XbinOf(const Cells& cells) {
  std::string out = "XBIN\x1a";
  for (uint32_t n : {kDefaultScreenWidth, cells.Lines}) {
    out += static_cast<char>(n & 0xFF);
    out += static_cast<char>(n >> 8);
  }
  out += "\x10\x08";  // 16 lines a glyph; iCE colours, as the ANSI's blink shows
  for (const Cell& cell : cells.Grid) {
    out += static_cast<char>(cell.Glyph);
    out += static_cast<char>(cell.Attr);
  }
  return out;
}

std::string Record(const std::string& title) {
  std::string record = "\x1aSAUCE00" + title;
  record.resize(8 + 35 + 20 + 20, ' ');
  record += "20260101";
  record.append(4, '\0');
  record += "\x01\x01";
  record += std::string("\x50\0\0\0", 4);
  record.append(6 + 22, '\0');
  return record;
}

enum Variant { kCellChanged, kLineAdded, kColorShifted, kRecordRewritten, kFormatChanged, kKinds };
constexpr const char* kVariantNames[kKinds] = {"a cell changed", "a line added", "a colour shifted",
                                               "the record rewritten", "stored as XBin"};

// The variant's bytes.
std::string MakeVariant(const Cells& base, Variant kind, artgen::Random& random) {
  Cells cells = base;
  const auto pick = [&](uint64_t n) { return static_cast<uint32_t>(artgen::Below(random, n)); };
  switch (kind) {
    case kCellChanged: {
      Cell& cell = cells.Grid[pick(cells.Grid.size())];
      cell = {static_cast<uint8_t>(cell.Glyph == 0xDB ? 'X' : 0xDB),
              static_cast<uint8_t>(cell.Attr ^ 0x0C)};
      break;
    }
    case kLineAdded: {
      std::vector<Cell> line(kDefaultScreenWidth);
      for (Cell& cell : line)
        cell = {static_cast<uint8_t>(0xB0 + pick(3)), static_cast<uint8_t>(1 + pick(15))};
      const uint32_t at = pick(cells.Lines + 1);
      cells.Grid.insert(cells.Grid.begin() + at * kDefaultScreenWidth, line.begin(), line.end());
      ++cells.Lines;
      break;
    }
    case kColorShifted: {
      // One foreground colour the drawing uses made bright or dark everywhere.
      const uint8_t color = cells.Grid[pick(cells.Grid.size())].Attr & 15;
      for (Cell& cell : cells.Grid)
        if ((cell.Attr & 15) == color) cell.Attr ^= 8;
      break;
    }
    case kRecordRewritten: return AnsiOf(cells) + Record("Another title");
    case kFormatChanged: return XbinOf(cells);
    case kKinds: break;
  }
  return AnsiOf(cells);
}

struct Print {
  ScreenPrint Screen;
  uint32_t Width = 0;
  uint64_t Lines = 0;
};

// The near_copies view's rule, for pairs already printed.
bool Near(const Print& a, const Print& b) {
  const auto close = [](uint64_t x, uint64_t y) {
    const uint64_t larger = std::max(x, y);
    return (x > y ? x - y : y - x) <= std::max<uint64_t>(2, larger / 10);
  };
  // The view looks candidates up by a shared pair of bands, not both empty.
  bool shares_pair = false;
  for (int i = 0; i < kSigBands; ++i) {
    for (int j = i + 1; j < kSigBands; ++j) {
      const uint32_t ai = SigBand(a.Screen.Sig, i), aj = SigBand(a.Screen.Sig, j);
      shares_pair = shares_pair || ((ai | aj) != 0 && ai == SigBand(b.Screen.Sig, i) &&
                                    aj == SigBand(b.Screen.Sig, j));
    }
  }
  return shares_pair && a.Lines >= kNearMinLines && b.Lines >= kNearMinLines &&
         close(a.Width, b.Width) && close(a.Lines, b.Lines) &&
         SigDistance(a.Screen.Sig, b.Screen.Sig) <= kNearBits;
}

Print PrintOf(const std::string& name, const std::string& bytes, ArtTools& tools) {
  const ArtFacts facts = FactsOf(name, bytes, tools);
  return {facts.Print, facts.Shown.Width, facts.Shown.Lines};
}

std::string BaseArt(uint64_t seed, artgen::Random& random) {
  return artgen::TypicalArt(seed, 2000 + artgen::Below(random, 98'000), false);
}

int Variants(uint64_t count) {
  auto tools = std::make_unique<ArtTools>();
  tools->TopLines = kStoredCells / kDefaultScreenWidth;
  artgen::Random random{7};
  std::vector<Print> prints;
  std::vector<uint64_t> group;
  std::vector<int> kind;
  for (uint64_t seed = 1; seed <= count; ++seed) {
    const Cells base = CellsOf(BaseArt(seed, random), *tools);
    if (base.Lines == 0) continue;
    prints.push_back(PrintOf("base.ans", AnsiOf(base), *tools));
    group.push_back(seed);
    kind.push_back(-1);
    for (int k = 0; k < kKinds; ++k) {
      const auto variant = static_cast<Variant>(k);
      prints.push_back(PrintOf(variant == kFormatChanged ? "variant.xb" : "variant.ans",
                               MakeVariant(base, variant, random), *tools));
      group.push_back(seed);
      kind.push_back(k);
    }
  }
  uint64_t same[kKinds] = {}, found[kKinds] = {}, made[kKinds] = {};
  uint64_t true_pairs = 0, false_pairs = 0, pairs = 0;
  for (std::size_t i = 0; i < prints.size(); ++i) {
    for (std::size_t j = i + 1; j < prints.size(); ++j) {
      const bool same_screen = prints[i].Screen.Md5 == prints[j].Screen.Md5;
      const bool flagged = same_screen || Near(prints[i], prints[j]);
      ++pairs;
      if (group[i] == group[j]) {
        if (flagged) ++true_pairs;
        if (kind[i] != -1) continue;  // two variants of one drawing: neither is the base
        ++made[kind[j]];
        same[kind[j]] += same_screen;
        found[kind[j]] += flagged;
      } else if (flagged) {
        ++false_pairs;
      }
    }
  }
  std::printf("%zu drawings of typical art (2 to 100 KB), each with %d variants\n",
              prints.size() / (kKinds + 1), kKinds);
  std::printf("%-22s %14s %22s\n", "variant", "same screen", "same or near copy");
  for (int k = 0; k < kKinds; ++k)
    std::printf("%-22s %13.1f%% %21.1f%%\n", kVariantNames[k],
                100.0 * static_cast<double>(same[k]) / static_cast<double>(made[k]),
                100.0 * static_cast<double>(found[k]) / static_cast<double>(made[k]));
  std::printf(
      "pairs of different drawings flagged: %llu of %llu; precision %.4f\n",
      static_cast<unsigned long long>(false_pairs), static_cast<unsigned long long>(pairs),
      true_pairs + false_pairs ? double(true_pairs) / double(true_pairs + false_pairs) : 1.0);
  return 0;
}

void Run(sqlite3* db, const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::fprintf(stderr, "sig_bench: %s\n", error);
    std::exit(1);
  }
}

int Database(uint64_t count, const char* path) {
  auto tools = std::make_unique<ArtTools>();
  tools->TopLines = kStoredCells / kDefaultScreenWidth;
  sqlite3* db = nullptr;
  std::remove(path);
  if (sqlite3_open(path, &db) != SQLITE_OK) return 1;
  Run(db,
      "PRAGMA journal_mode = OFF; BEGIN; CREATE TABLE files (path TEXT PRIMARY KEY, pack TEXT, "
      "member TEXT, screen_md5 TEXT);" +
          std::string(kScreenSigsTable) + BitCountRows());
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO screen_sigs VALUES (?, ?, ?, ?, ?, ?, ?, ?)", -1, &insert,
                     nullptr);
  artgen::Random random{11};
  const auto store = [&](const std::string& name, const Print& print) {
    if (!print.Screen.Md5) return;
    const std::string md5 = DigestToHex(*print.Screen.Md5);
    sqlite3_bind_text(insert, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 2, md5.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(insert, 3, print.Width);
    sqlite3_bind_int64(insert, 4, static_cast<int64_t>(print.Lines));
    for (int band = 0; band < kSigBands; ++band)
      sqlite3_bind_int(insert, 5 + band, static_cast<int>(SigBand(print.Screen.Sig, band)));
    sqlite3_step(insert);
    sqlite3_reset(insert);
  };
  // Smaller drawings than the variants' keep the run short; the signature does not see size.
  for (uint64_t seed = 1; seed <= count; ++seed) {
    const std::string art = artgen::TypicalArt(seed, 2000 + artgen::Below(random, 14'000), false);
    store(std::to_string(seed) + ".ans", PrintOf("art.ans", art, *tools));
    if (seed % 50 == 0) {
      const Cells cells = CellsOf(art, *tools);
      store(std::to_string(seed) + "-changed.ans",
            PrintOf("art.ans", MakeVariant(cells, kCellChanged, random), *tools));
    }
  }
  sqlite3_finalize(insert);
  Run(db, ScreenSigsIndexes() + CurationViews() + "COMMIT; ANALYZE;");
  sqlite3_close(db);
  return 0;
}

}  // namespace
}  // namespace tintrel

int main(int argc, char** argv) {
  const std::string mode = argc > 2 ? argv[1] : "";
  if (mode == "variants" && argc == 3)
    return tintrel::Variants(std::strtoull(argv[2], nullptr, 10));
  if (mode == "database" && argc == 4)
    return tintrel::Database(std::strtoull(argv[2], nullptr, 10), argv[3]);
  std::fprintf(stderr, "usage: sig_bench variants COUNT | sig_bench database COUNT FILE\n");
  return 2;
}
