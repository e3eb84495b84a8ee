// SPDX-License-Identifier: MIT
// The collection recipe of the README and the manual page, run as written: parallel runs into one
// table give exactly the lines that one run after another gives, one line per file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "kit/md5_hex.h"
#include "kit/run_binary.h"
#include "kit/sauce_bytes.h"
#include "kit/temp_dir.h"

namespace tintrel::testkit {
namespace {

constexpr int kFiles = 300;

// `words` (1 to 3) colours of nearly equal counts, so that each of them is named; which colours,
// how many cells and the SAUCE record vary with `i`, and bytes after the end mark keep every
// file's digest apart.
std::string ArtFile(int i, int words) {
  static const char kAnsiDigit[7] = {'4', '2', '6', '1', '5', '3', '7'};
  std::string art;
  for (int w = 0; w < words; ++w)
    art += std::string("\x1b[3") + kAnsiDigit[(i + 2 * w) % 7] + "m" +
           std::string(10 + (i + w) % 5, '\xdb');
  art += "\x1a" + std::to_string(i);
  if (i % 2 == 1) {
    const std::string title = "No. " + std::to_string(i) + ", \"quoted\"";
    art += SauceBytes({title, "a,b", "", "2026010" + std::to_string(i % 10)});
  }
  return art;
}

std::multiset<std::string> Lines(const std::string& text) {
  std::multiset<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.insert(line);
  return lines;
}

// The colour words of a line: the fields between the digest and the first field that is a digit.
int ColourWords(const std::string& line) {
  int words = 0;
  std::size_t start = line.find(',') + 1;
  while (!std::isdigit(static_cast<unsigned char>(line[start]))) {
    start = line.find(',', start) + 1;
    ++words;
  }
  return words;
}

TEST(ParallelTable, ParallelRunsGiveTheLinesOfSequentialRuns) {
  TempDir dir;
  ASSERT_EQ(mkdir((dir.Path + "/art").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((dir.Path + "/art/sub dir").c_str(), 0755), 0);
  std::multiset<std::string> sequential, digests;
  for (int i = 0; i < kFiles; ++i) {
    const std::string art = ArtFile(i, 1 + i % 3);
    const std::string name = (i % 4 == 0 ? "art/sub dir/" : "art/") + std::to_string(i) + ".ans";
    WriteFile(dir.Path + "/" + name, art);
    digests.insert(Md5Hex(art));
    RunResult r = RunTintrelBinary({name}, dir.Path);
    ASSERT_EQ(r.ExitStatus, 0) << name;
    ASSERT_EQ(r.Stdout.find('\n'), r.Stdout.size() - 1) << name << ": not one line";
    ASSERT_EQ(r.Stdout.substr(0, 33), Md5Hex(art) + ",") << name;
    sequential.insert(r.Stdout.substr(0, r.Stdout.size() - 1));
  }

  const std::string command = "cd '" + dir.Path +
                              "' && find art -type f -print0 | xargs -0 -P 4 -n 1 '" +
                              TINTREL_BINARY + "' > table.csv";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  std::string table;
  {
    std::ifstream in(dir.Path + "/table.csv", std::ios::binary);
    table.assign(std::istreambuf_iterator<char>(in), {});
  }
  ASSERT_FALSE(table.empty());
  EXPECT_EQ(table.back(), '\n');
  const std::multiset<std::string> parallel = Lines(table);
  EXPECT_EQ(parallel.size(), static_cast<std::size_t>(kFiles));
  EXPECT_EQ(parallel, sequential);

  std::multiset<std::string> table_digests;
  std::set<int> word_counts;
  for (const std::string& line : parallel) {
    table_digests.insert(line.substr(0, 32));
    word_counts.insert(ColourWords(line));
  }
  EXPECT_EQ(table_digests, digests);
  EXPECT_EQ(word_counts, (std::set<int>{1, 2, 3}));
}

}  // namespace
}  // namespace tintrel::testkit
