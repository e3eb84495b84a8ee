// SPDX-License-Identifier: MIT
// The quick steps must leave the scan exactly as the byte loop alone does: tallies, counts,
// attribute, cursor and the position reports written, in chunks of any size and from a file.
#include <gtest/gtest.h>

#include <string>

#include "analysis/analysis.h"
#include "kit/art_generator.h"
#include "kit/reference_scan.h"
#include "kit/temp_dir.h"
#include "scan/scanner.h"

namespace tintrel {
namespace {

struct Outcome {
  ScanState Scan;
  std::string Written;
};

enum class Way { ByteLoop, Memory, MemoryWithAvx2, MemoryWithoutAvx2, MemoryWithAvx512, File };

constexpr QuickSteps QuickStepsOf(Way way) {
  switch (way) {
    case Way::ByteLoop: return QuickSteps::kOff;
    case Way::MemoryWithAvx2: return QuickSteps::kOnWithAvx2;
    case Way::MemoryWithoutAvx2: return QuickSteps::kOnWithoutAvx2;
    case Way::MemoryWithAvx512: return QuickSteps::kOnWithAvx512;
    default: return QuickSteps::kOn;
  }
}

Outcome Scan(Way way, const std::string& bytes, std::size_t chunk_size = kBlockSize) {
  Outcome outcome;
  const PositionSink positions = testkit::ReportsInto(outcome.Written);
  auto data = reinterpret_cast<const uint8_t*>(bytes.data());
  if (way != Way::File) {
    ScanMemory(outcome.Scan, positions, data, bytes.size(), chunk_size, QuickStepsOf(way));
  } else {
    testkit::TempDir dir;
    outcome.Scan = AnalyseFile(testkit::WriteFile(dir.Path + "/art.ans", bytes), positions).Scan;
  }
  return outcome;
}

// Returns the first difference, or "" when there is none.
std::string Difference(const Outcome& a, const Outcome& b) {
  for (std::size_t i = 0; i < 8; ++i) {
    if (a.Scan.ColorTable[i].Count != b.Scan.ColorTable[i].Count)
      return "colour " + std::to_string(i) + ": " + std::to_string(a.Scan.ColorTable[i].Count) +
             " against " + std::to_string(b.Scan.ColorTable[i].Count);
  }
  if (a.Scan.LowAsciiCount != b.Scan.LowAsciiCount) return "low count";
  if (a.Scan.HighAsciiCount != b.Scan.HighAsciiCount) return "high count";
  if (a.Scan.CurrentAttr != b.Scan.CurrentAttr) return "attribute";
  if (a.Scan.CursorX != b.Scan.CursorX || a.Scan.CursorY != b.Scan.CursorY) return "cursor";
  if (a.Written != b.Written) return "written bytes";
  if (a.Scan != b.Scan) return "scan state";
  return "";
}

void ExpectSameAsByteLoop(const std::string& bytes, const std::string& what, bool file = false) {
  Outcome byte_loop = Scan(Way::ByteLoop, bytes);
  for (Way way :
       {Way::Memory, Way::MemoryWithAvx2, Way::MemoryWithoutAvx2, Way::MemoryWithAvx512}) {
    EXPECT_EQ(Difference(Scan(way, bytes), byte_loop), "")
        << what << ", quick steps " << static_cast<int>(QuickStepsOf(way));
  }
  if (file) {
    EXPECT_EQ(Difference(Scan(Way::File, bytes), byte_loop), "") << what << " (file)";
  }
}

TEST(FastPath, AgreesWithTheByteLoopOnSeededInputs) {
  for (uint64_t seed = 1; seed <= 60; ++seed) {
    std::size_t size = 1 + seed * 997 % 13000;  // from a few bytes to past three blocks
    std::string label = " seed " + std::to_string(seed);
    bool file = seed % 10 == 0;
    ExpectSameAsByteLoop(artgen::TypicalArt(seed, size, seed % 2 == 0), "typical" + label, file);
    ExpectSameAsByteLoop(artgen::LongRunArt(seed, size, seed % 2 == 0), "long runs" + label, file);
    ExpectSameAsByteLoop(artgen::WorstCaseArt(seed, size), "worst case" + label, file);
    ExpectSameAsByteLoop(artgen::RandomBytes(seed, size, false), "random" + label, file);
    ExpectSameAsByteLoop(artgen::RandomBytes(seed, size, true), "random with 26" + label);
  }
}

// Past the first 256 KiB the quick steps switch to AVX2 where the processor has it.
TEST(FastPath, AgreesAcrossTheSwitchToAvx2) {
  const std::size_t size = 300 * 1024;
  ExpectSameAsByteLoop(artgen::TypicalArt(7, size, false), "typical", true);
  ExpectSameAsByteLoop(artgen::LongRunArt(7, size, false), "long runs");
  ExpectSameAsByteLoop(artgen::WorstCaseArt(7, size), "worst case");
  ExpectSameAsByteLoop(artgen::RandomBytes(7, size, false), "random");
}

// One cache lent to scan after scan, as a catalogue worker lends its own: what earlier scans left
// in it, in the small cache and in the large, never changes a later scan.
TEST(FastPath, AgreesWithACacheLentFromScanToScan) {
  TokenCache cache;
  for (uint64_t seed = 1; seed <= 12; ++seed) {
    const std::size_t size = seed % 4 == 0 ? 300 * 1024 : 1 + seed * 1999 % 20000;
    for (const std::string& bytes :
         {artgen::TypicalArt(seed, size, false), artgen::LongRunArt(seed, size, false),
          artgen::WorstCaseArt(seed, size), artgen::RandomBytes(seed, size, false)}) {
      Outcome lent;
      ScanMemory(lent.Scan, testkit::ReportsInto(lent.Written),
                 reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), kBlockSize,
                 QuickSteps::kOn, &cache);
      EXPECT_EQ(Difference(lent, Scan(Way::ByteLoop, bytes)), "") << "seed " << seed;
    }
  }
}

// Chunks as short as a byte cut pipe codes and sequences anywhere; what a chunk's end cuts is
// held back for the next one.
TEST(FastPath, AgreesInChunksOfAnySize) {
  for (uint64_t seed = 1; seed <= 6; ++seed) {
    for (const std::string& bytes :
         {artgen::TypicalArt(seed, 3000, false), artgen::LongRunArt(seed, 3000, false),
          artgen::WorstCaseArt(seed, 3000), std::string("a||05|1|")}) {
      const Outcome byte_loop = Scan(Way::ByteLoop, bytes);
      for (std::size_t chunk : {1, 2, 3, 5, 64, 100, 200}) {
        for (Way way : {Way::MemoryWithAvx2, Way::MemoryWithoutAvx2, Way::MemoryWithAvx512}) {
          EXPECT_EQ(Difference(Scan(way, bytes, chunk), byte_loop), "")
              << "seed " << seed << ", chunks of " << chunk;
        }
      }
    }
  }
}

// Around every offset of a block, something that is not an ordinary byte cuts a run short.
TEST(FastPath, AgreesWhereRunsMeetBlockBoundaries) {
  std::string long_sequence = "\x1b[";
  for (int i = 0; i < 130; ++i) long_sequence += "1;";
  const std::string inserts[] = {
      "|05", "|9x", "|", "\x1b[1;34;42m", "\x1b[6n", "\t", "\x0e", "\x1a",
      // Parameters the quick reading of a whole sequence must leave to the byte-by-byte path.
      "\x1b[999999999;7;44m", "\x1b[1234567890123;5m", "\x1b[99999999991;44m", "\x1b[;;1;m",
      "\x1b[?7h\x1b[m", "\x1b[1|05m", "\x1b[3\x1a", "\x1bx\x1b[1;46m", long_sequence + "34m",
      long_sequence + "C"};
  for (const std::string& insert : inserts) {
    for (std::size_t offset = 0; offset < kBlockSize + 8; ++offset) {
      if (insert.size() > 1 && offset % 7 != 0 && offset + 4 < kBlockSize) continue;
      std::string bytes(offset, '\xdb');
      bytes[offset / 2] = 'a';
      bytes += insert;
      bytes.append(kBlockSize / 2, 'z');
      bytes += "|12\xb1";
      ExpectSameAsByteLoop(bytes, testing::PrintToString(insert) + " at " + std::to_string(offset));
    }
  }
}

// ESC and a high byte that it drops, around every window edge, where the quick steps' blocks end:
// from a chunk's start, and after a sequence too long for them, which the byte loop takes.
TEST(FastPath, AgreesWhereADroppedHighByteMeetsABlockEnd) {
  for (const std::string& before : {std::string(), std::string("\x1b[12345678901234567890m")}) {
    for (std::size_t offset = 0; offset < kBlockSize; ++offset) {
      if ((offset + 2) % 64 > 3) continue;
      std::string bytes = before + std::string(offset, 'z') + "\x1b\xb1\x1b[u";
      bytes.append(200, '\xdb');
      ExpectSameAsByteLoop(bytes, "ESC and a high byte at " + std::to_string(offset));
    }
  }
}

}  // namespace
}  // namespace tintrel
