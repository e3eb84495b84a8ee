// The scan charges runs of ordinary bytes in one step; it must agree with the plain byte-at-a-time
// scan on everything: tallies, counts, attribute, cursor and the position reports it writes.
#include <gtest/gtest.h>

#include <string>

#include "art_generator.h"
#include "scan/file_reader.h"
#include "scan/reference_scan.h"
#include "temp_dir.h"

namespace tintrel {
namespace {

struct Outcome {
  ScanState Scan;
  std::string Written;
};

enum class Way { Reference, Memory, File };

Outcome Scan(Way way, const std::string& bytes) {
  Outcome outcome;
  ResetColorTable(outcome.Scan);
  SetCursor(outcome.Scan, 1, 1);
  Output out;
  out.Sink = &outcome.Written;
  auto data = reinterpret_cast<const uint8_t*>(bytes.data());
  if (way == Way::Reference) {
    testkit::ReferenceScan(outcome.Scan, out, data, bytes.size());
  } else if (way == Way::Memory) {
    ScanMemory(outcome.Scan, out, data, bytes.size());
  } else {
    testkit::TempDir dir;
    ScanImage(outcome.Scan, out, testkit::WriteFile(dir.Path + "/art.ans", bytes));
  }
  FlushOutput(out);
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
  return "";
}

void ExpectSameAsReference(const std::string& bytes, const std::string& what, bool file = false) {
  Outcome reference = Scan(Way::Reference, bytes);
  EXPECT_EQ(Difference(Scan(Way::Memory, bytes), reference), "") << what;
  if (file) EXPECT_EQ(Difference(Scan(Way::File, bytes), reference), "") << what << " (file)";
}

TEST(FastPath, AgreesWithTheReferenceOnSeededInputs) {
  for (uint64_t seed = 1; seed <= 60; ++seed) {
    std::size_t size = 1 + seed * 997 % 13000;  // from a few bytes to past three blocks
    std::string label = " seed " + std::to_string(seed);
    bool file = seed % 10 == 0;
    ExpectSameAsReference(artgen::TypicalArt(seed, size, seed % 2 == 0), "typical" + label, file);
    ExpectSameAsReference(artgen::WorstCaseArt(seed, size), "worst case" + label, file);
    ExpectSameAsReference(artgen::RandomBytes(seed, size, false), "random" + label, file);
    ExpectSameAsReference(artgen::RandomBytes(seed, size, true), "random with 26" + label);
  }
}

// Around every offset of a block, something that is not an ordinary byte cuts a run short.
TEST(FastPath, AgreesWhereRunsMeetBlockBoundaries) {
  const std::string inserts[] = {"|05",     "|9x", "|",    "\x1b[1;34;42m",
                                 "\x1b[6n", "\t",  "\x0e", "\x1a"};
  for (const std::string& insert : inserts) {
    for (std::size_t offset = 0; offset < kBlockSize + 8; ++offset) {
      if (insert.size() > 1 && offset % 7 != 0 && offset + 4 < kBlockSize) continue;
      std::string bytes(offset, '\xdb');
      bytes[offset / 2] = 'a';
      bytes += insert;
      bytes.append(kBlockSize / 2, 'z');
      bytes += "|12\xb1";
      ExpectSameAsReference(bytes,
                            testing::PrintToString(insert) + " at " + std::to_string(offset));
    }
  }
}

}  // namespace
}  // namespace tintrel
