// SPDX-License-Identifier: MIT
// The built binary at the edges: odd names, sizes around the block edges, huge and dense files,
// parallel runs and a reader that leaves early. Every byte of standard output and the status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <nettle/md5.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "kit/md5_hex.h"
#include "kit/run_binary.h"
#include "kit/sauce_bytes.h"
#include "kit/temp_dir.h"

namespace tintrel::testkit {
namespace {

// Cycles of 15 bytes, then 'a' up to the size. A cycle draws 8 gray cells (6 low, 2 high
// characters) and charges one blue cell by pipe code; its escape sequence changes nothing.
// Cycles cut across the 4096-byte blocks at every offset.
const std::string kCycle = "ab\xdb|01\x1b[0mc\xb0|99";

struct Tallies {
  int64_t Gray = 0, Blue = 0, Low = 0, High = 0;
};

std::string CycleArt(std::size_t size, Tallies& tallies) {
  std::string art;
  art.reserve(size);
  while (art.size() + kCycle.size() <= size) art += kCycle;
  int64_t cycles = static_cast<int64_t>(art.size() / kCycle.size());
  int64_t rest = static_cast<int64_t>(size - art.size());
  art.append(size - art.size(), 'a');
  tallies = {8 * cycles + rest, cycles, 6 * cycles + rest, 2 * cycles};
  return art;
}

// The share as an x87 extended float computes it: each step rounded to 64 bits, then truncated.
int ExtendedShare(int64_t part, int64_t total) {
  if (total == 0) return 0;
  return static_cast<int>(static_cast<long double>(part) / static_cast<long double>(total) * 100);
}

std::string Cell(int64_t percent) {
  std::string text = std::to_string(percent) + "%";
  return std::string(4 - text.size(), ' ') + text;
}

const std::string kColorsRule =
    "Colors ========================================================================\n";

std::string ReportStart(const std::string& name, const std::string& digest) {
  return "File ==========================================================================\n"
         "Filename   : " +
         name + "\nMD5 Hash   : " + digest + ",\n\n" + kColorsRule;
}

std::string CharsSection(int64_t total, int used, int low, int high) {
  return "\nChars =========================================================================\n"
         "Total Chars : " +
         std::to_string(total) + "\nTotal Colors: " + std::to_string(used) +
         "\n\nLow Ascii   : " + Cell(low) + "\nHigh Ascii  : " + Cell(high) + "\n\n";
}

// What a run prints for art made by CycleArt: the summary line and the report.
struct Expected {
  std::string Summary, Report;
};

Expected ExpectedForCycleArt(const std::string& name, const std::string& digest, const Tallies& t) {
  const int64_t total = t.Gray + t.Blue;
  const int64_t gray = total == 0 ? 0 : t.Gray * 100 / total;
  const int64_t blue = total == 0 ? 0 : t.Blue * 100 / total;
  const int low = ExtendedShare(t.Low, t.Low + t.High);
  const int high = ExtendedShare(t.High, t.Low + t.High);
  const int used = (t.Gray > 0) + (t.Blue > 0);
  std::string words = std::string(gray > 10 ? "grayish," : "") + (blue > 10 ? "blueish," : "");
  std::string verdict = std::abs(low - high) < 33 ? "mixed" : low > high ? "low" : "high";
  Expected e;
  e.Summary = digest + "," + words + std::to_string(used) + "," + verdict + ",,,,\n";
  // Unused colours keep their order from yellow down, below the used ones.
  std::string rows = "Grayish    :" + Cell(gray) + "\n";
  if (t.Blue > 0) rows += "Blueish    :" + Cell(blue) + "\n";
  rows +=
      "Yellowish  :  0%\nMagentish  :  0%\nRedish     :  0%\nCyanish    :  0%\n"
      "Greenish   :  0%\n";
  if (t.Blue == 0) rows += "Blueish    :  0%\n";
  e.Report = ReportStart(name, digest) + rows + CharsSection(total, used, low, high);
  return e;
}

void ExpectRun(const std::vector<std::string>& args, const std::string& dir,
               const std::string& stdout_bytes, const std::string& what) {
  RunResult r = RunTintrelBinary(args, dir);
  EXPECT_EQ(r.Stdout, stdout_bytes) << what;
  EXPECT_EQ(r.ExitStatus, 0) << what;
  EXPECT_EQ(r.Stderr, "") << what;
}

TEST(Faults, SizesAroundTheBlockEdges) {
  TempDir dir;
  for (std::size_t size : {0, 1, 127, 128, 129, 4095, 4096, 4097, 8192, 1048577}) {
    Tallies tallies;
    const std::string art = CycleArt(size, tallies);
    WriteFile(dir.Path + "/art.ans", art);
    Expected e = ExpectedForCycleArt("art.ans", Md5Hex(art), tallies);
    ExpectRun({"art.ans"}, dir.Path, e.Summary, std::to_string(size) + " bytes");
    ExpectRun({"art.ans", "-r"}, dir.Path, e.Report, std::to_string(size) + " bytes, report");
  }
}

TEST(Faults, NamesAreBytesUsedAsGiven) {
  TempDir dir;
  Tallies tallies;
  const std::string art = CycleArt(40, tallies);
  for (const std::string name : {"two words.ans", "say \"hi\".ans", "a,b,,c.ans", "it's.ans",
                                 "line\nbreak.ans", "caf\xc3\xa9 \xe9\xff\x80.ans", "\n"}) {
    WriteFile(dir.Path + "/" + name, art);
    Expected e = ExpectedForCycleArt(name, Md5Hex(art), tallies);
    ExpectRun({name}, dir.Path, e.Summary, name);
    ExpectRun({name, "-r"}, dir.Path, e.Report, name);
  }
  // The fault report names the file byte for byte too.
  const std::string name = "a \"b\",\nc\xe9.sock";
  int sock = testkit::BindSocket(dir.Path + "/" + name);
  RunResult r = RunTintrelBinary({name}, dir.Path);
  close(sock);
  EXPECT_EQ(r.Stdout, "File " + name + " not found.\nUnhandled FileError: Unable to open file \"" +
                          name + "\"\n");
  EXPECT_EQ(r.ExitStatus, 217);
  EXPECT_EQ(r.Stderr, "");
}

// Runs that read one file at the same moment share it: each takes a shared lock on the record.
TEST(Faults, ParallelRunsOfOneFileAgree) {
  TempDir dir;
  Tallies tallies;
  const std::string art =
      CycleArt(300000, tallies) + "\x1a" + SauceBytes({"Same time", "many", "runs", "20260101"});
  WriteFile(dir.Path + "/art.ans", art);
  std::string expected = ExpectedForCycleArt("art.ans", Md5Hex(art), tallies).Summary;
  expected.replace(expected.size() - 4, 4, "\"Same time\",\"many\",\"runs\",20260101\n");
  std::vector<RunResult> results(8);
  std::vector<std::thread> runs;
  for (RunResult& result : results)
    runs.emplace_back([&result, &dir] { result = RunTintrelBinary({"art.ans"}, dir.Path); });
  for (std::thread& run : runs) run.join();
  for (const RunResult& r : results) {
    EXPECT_EQ(r.Stdout, expected);
    EXPECT_EQ(r.ExitStatus, 0);
    EXPECT_EQ(r.Stderr, "");
  }
}

// More than a pipe holds, so the run is still writing when the reader has gone: the refused
// write ends it with 217, and it neither hangs nor dies by signal.
TEST(Faults, ReaderThatLeavesEarlyEnds217) {
  TempDir dir;
  std::string art;
  for (int i = 0; i < 200000; ++i) art += "\x1b[6n";
  WriteFile(dir.Path + "/art.ans", art);
  const std::string command =
      "bash -c 'cd \"$1\" && timeout 60 \"$0\" art.ans 2>stderr.txt | head -c 1; "
      "exit \"${PIPESTATUS[0]}\"' '" TINTREL_BINARY "' '" +
      dir.Path + "'";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string seen;
  char chunk[256];
  while (std::size_t got = fread(chunk, 1, sizeof chunk, pipe)) seen.append(chunk, got);
  int status = pclose(pipe);
  EXPECT_EQ(seen, "\x1b");
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 217);
  FILE* errors = fopen((dir.Path + "/stderr.txt").c_str(), "r");
  ASSERT_NE(errors, nullptr);
  EXPECT_EQ(fgetc(errors), EOF);
  fclose(errors);
}

// Offsets and sizes past 2^31 and the record found at the end of a 3 GiB file, most of it a hole.
TEST(Faults, SparseFileOf3GiB) {
  TempDir dir;
  constexpr off_t kSize = off_t{3} << 30;
  const std::string art = "\x1b[1;36mWaves\x1a";
  const std::string record = SauceBytes({"Deep water", "ink", "Crew", "19990909"});
  const std::string path = WriteFile(dir.Path + "/big.ans", art);
  int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  if (ftruncate(fd, kSize - 128) != 0 ||
      pwrite(fd, record.data(), record.size(), kSize - 128) != 128) {
    close(fd);
    GTEST_SKIP() << "this file system cannot hold a 3 GiB sparse file: " << strerror(errno);
  }
  close(fd);

  // The digest of the bytes the file was made of, streamed without reading it back.
  md5_ctx context;
  md5_init(&context);
  md5_update(&context, art.size(), reinterpret_cast<const uint8_t*>(art.data()));
  const std::vector<uint8_t> zeros(1 << 20, 0);
  for (off_t left = kSize - 128 - static_cast<off_t>(art.size()); left > 0;) {
    std::size_t part = left < off_t(zeros.size()) ? std::size_t(left) : zeros.size();
    md5_update(&context, part, zeros.data());
    left -= static_cast<off_t>(part);
  }
  md5_update(&context, record.size(), reinterpret_cast<const uint8_t*>(record.data()));
  uint8_t digest[MD5_DIGEST_SIZE];
  md5_digest(&context, sizeof digest, digest);
  char hex[2 * MD5_DIGEST_SIZE + 1];
  for (int i = 0; i < MD5_DIGEST_SIZE; ++i) std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);

  ExpectRun({"big.ans"}, dir.Path,
            std::string(hex) + ",cyanish,1,low,\"Deep water\",\"ink\",\"Crew\",19990909\n",
            "3 GiB");
}

// ESC [ K at column 1 charges 79 cells to the foreground and 79 to the background: counts whose
// hundredfold passes 2^31 and the total 2^32, so no share may be taken in 32 bits.
TEST(Faults, EraseSequencesPast2To31Cells) {
  struct Run {
    std::string colours;  // foreground and background alike
    std::string word;
    int sequences;
  };
  const Run runs[] = {{"31;41", "Redish     :", 150000},
                      {"32;42", "Greenish   :", 100000},
                      {"37;47", "Grayish    :", 30000}};
  std::string art;
  int64_t total = 0;
  for (const Run& run : runs) {
    art += "\x1b[" + run.colours + "m";
    for (int i = 0; i < run.sequences; ++i) art += "\x1b[K";
    total += int64_t{158} * run.sequences;
  }
  ASSERT_GT(int64_t{158} * runs[0].sequences * 100, int64_t{1} << 31);
  std::string rows;
  for (const Run& run : runs)
    rows += run.word + Cell(int64_t{158} * run.sequences * 100 / total) + "\n";
  rows += "Yellowish  :  0%\nMagentish  :  0%\nCyanish    :  0%\nBlueish    :  0%\n";

  TempDir dir;
  WriteFile(dir.Path + "/erase.ans", art);
  const std::string digest = Md5Hex(art);
  ExpectRun({"erase.ans"}, dir.Path, digest + ",redish,greenish,3,mixed,,,,\n", "summary");
  ExpectRun({"erase.ans", "-r"}, dir.Path,
            ReportStart("erase.ans", digest) + rows + CharsSection(total, 3, 0, 0), "report");
}

}  // namespace
}  // namespace tintrel::testkit
