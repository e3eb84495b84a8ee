// SPDX-License-Identifier: MIT
// Writes the seed inputs of the fuzz targets into a folder, one file each: typical art and art of
// long runs, with and without a SAUCE record, the densest escape and pipe-code traffic, random
// bytes, and the edges the scan and the record reader turn on. Made anew on each run, so no binary
// is kept.
#include <cstdio>
#include <string>
#include <vector>

#include "kit/art_generator.h"
#include "kit/sauce_bytes.h"

namespace tintrel {
namespace {

std::string Times(const std::string& text, int count) {
  std::string all;
  for (int i = 0; i < count; ++i) all += text;
  return all;
}

std::vector<std::string> Seeds() {
  using namespace artgen;
  const std::string record = testkit::SauceBytes({"Harbour Lights", "ink", "Crew", "19960704"});
  std::vector<std::string> seeds = {
      // Pipe codes: valid, out of range, cut short by the end, and after a lone "|".
      "",
      "|",
      "|0",
      "|2",
      "|23",
      "|24",
      "|99",
      "||01",
      "|0|1|02",
      "a|1",
      "\x1b[|05m",
      // Sequences: unfinished, reports, saved positions, long counts, wraps, odd finals.
      "\x1b",
      "\x1b[",
      "\x1b[1;",
      "\x1b[6n",
      "\x1b[s\x1b[10;100H\x1b[u\x1b[u\x1b[6n",
      "\x1b[99999999999C\x1b[6n",
      "\x1b[255B\x1b[256E\x1b[6n",
      "\x1b[5A\x1b[10D\x1b[2J\x1b[6n",
      "\x1b[=7h",
      "\x1b\x1b[1m",
      "\x1b(x",
      "\x1b[?5m\x1b[;1m\x1b[1;m\x1b[256m\x1b[286m",
      "\x1b[1;33;44m\x1b[7m\x1b[5m\x1b[44mcells",
      "\x1b[" + std::string(300, '1') + "m",
      "\x1b[" + Times("1;", 200) + "mX",
      // Controls, tabs past column 80, erase from every kind of column, high bytes.
      std::string("\0\n\f\x0e\x0f\r\x7f\x80\xff", 9),
      Times("\t", 10) + "\x1b[K\x1b[6n",
      Times("\t", 32) + "\x1b[K",
      "\x1b[1;80H\x1b[K\x1b[1;79H\x1b[K\x1b[G\x1b[K",
      // Byte 26 ends the scan; the record behind it is read all the same.
      "art\x1a more art",
      "\x1b[31mart\r\n\x1a" + record,
      record,
      "x" + record.substr(0, 127),
      "art" + record + "\n",
      "\x1a" + testkit::SauceBytes({"Say \"hi\", twice\n", "a,b", "\"", "2026,01 "}, '\0'),
      // Whole records: comments, flags and font, widths, records stacked, counts that do not fit.
      "art\x1a" + testkit::CommentBlock({"first line", "\xb0\xb1\xb2"}) +
          testkit::SauceBytes({.Title = "Tide",
                               .Date = "19960229",
                               .FileSize = 3,
                               .DataType = 1,
                               .FileType = 1,
                               .TInfo = {80, 25},
                               .Comments = 2,
                               .TFlags = 0x13,
                               .TInfoS = "IBM VGA"}),
      "\x1a" + testkit::SauceBytes({.Date = "20000229", .DataType = 5, .FileType = 80}),
      "\x1a" + record + testkit::SauceBytes({.Title = "again", .DataType = 6, .TInfo = {160, 50}}),
      "\x1a" + record + testkit::CommentBlock(std::vector<std::string_view>(255, "line")) +
          testkit::SauceBytes({.Comments = 255}, '\0'),
      std::string(71, 'a') + "\x1a" +
          testkit::SauceBytes({.FileSize = 0xffffffff, .Comments = 255}),
      // Block edges: a pipe code, a sequence and a run of cells across byte 4096.
      std::string(4095, 'a') + "|01",
      std::string(4094, 'a') + "\x1b[31mb",
      std::string(4096, '\xdb') + "\x1b[6n",
      "\x1b[1;33;44m" + std::string(5000, '\xb1'),
      // The screen: UTF-8 art, redraws and clears, extended colours, past the stored rows.
      "\xe2\x96\x88\xe2\x96\x80 caf\xc3\xa9 \xef\xbb\xbf" + std::string(300, '.') + "\xe2\x96",
      Times("\x1b[2J\x1b[H\x1b[44mframe\x1b[3A\rup\x1b[s\x1b[5;70Hx\x1b[u\x1b[K\r\n", 40),
      Times("\x1b[38;5;196;48;2;0;0;170mX\x1b[1;255;85;0tY\x1b[0;9;9;9t\x1b[93;104;7mZ", 60),
      "\x1b[2500B\x1b[44mbelow\x1b[2000A\x1b[5;40m" + std::string(300, ' ') + "\x1b[9999C!",
      // The other art formats: headers of their own, runs, and text with codes of its own.
      std::string("XBIN\x1a\x04\0\x02\0\x10\x0d", 11) + std::string(48, '\x2a') +
          "\x81\x1f"
          "AB\xc1\xdb\x4e\x01 \x07x\x02\x41\xb0\x13\x13",
      std::string("\x18TUNDRA24\x06"
                  "A\0\xff\xff\xff\0\0\0\xaa"
                  "B\x01\0\0\0\x01\0\0\0\0",
                  29),
      std::string("\x04"
                  "1.4\0\0\0\0\x4f\0\x18\0A\x1f\x01\0\x05\0\xdb\x4e",
                  20) +
          std::string(4096, '\x18') + std::string(48, '\x15'),
      "\x01" + std::string(192, '\x15') + std::string(4096, '\x3c') + Times("A\x1f\xdb\x4e", 90),
      "@X1FAB@X4E\xdb\xdb\r\n@CLS@@POS:10@@X07 @x02x",
      "\x16\x01\x1f"
      "AB\x19\xdb\x1a\r\n\x16\x08\x02\x03\x16\x09XY\x16\x19\x02"
      "ab\x03"
      "\x16\x0a\x01\x01\x01\x05\x05\x16\x0d\x4e*\x03\x04\x0c\x16\x0e",
  };
  for (uint64_t seed = 1; seed <= 4; ++seed) {
    seeds.push_back(TypicalArt(seed, 1000 * seed * seed, seed % 2 == 0));
    seeds.push_back(LongRunArt(seed, 1000 * seed * seed, seed % 2 == 1));
    seeds.push_back(WorstCaseArt(seed, 2000 * seed));
    seeds.push_back(RandomBytes(seed, 512 * seed, seed > 2));
  }
  return seeds;
}

}  // namespace
}  // namespace tintrel

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stdout, "usage: make_seed_corpus FOLDER\n");
    return 2;
  }
  int number = 0;
  for (const std::string& seed : tintrel::Seeds()) {
    std::string path = std::string(argv[1]) + "/seed-" + std::to_string(++number);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(seed.data(), 1, seed.size(), file) != seed.size() ||
        std::fclose(file) != 0) {
      std::fprintf(stdout, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
