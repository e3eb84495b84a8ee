// SPDX-License-Identifier: MIT
// The built binary, run as a user would: every byte of standard output and the exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "kit/md5_hex.h"
#include "kit/run_binary.h"
#include "kit/temp_dir.h"

namespace tintrel::testkit {
namespace {

const std::string kUsage =
    " [] Hueprobe v1.0\n"
    "\n"
    " Usage: tintrel <filename> [options]\n"
    "\n"
    " Options:\n"
    "   -r  : Show report\n"
    "\n";
const std::string kMissing = "File doesn't exist. Aborting...\n";

// Art whose scan writes a position report, so a run shows that the file was read. Its three
// drawn cells (H, i, the carriage return) are yellow on blue; the pipe code adds one magenta.
const std::string kArtThatReports = "\x1b[1;33;44mHi|05\x1b[3;5H\x1b[6n\r\n";
const std::string kItsSummary =
    "\x1b[3;5R" + Md5Hex(kArtThatReports) + ",yellowish,blueish,magentish,3,low,,,,\n";

struct Case {
  std::string what;
  std::vector<std::string> args;
  std::string stdout_bytes;
  int status;
};

void ExpectRuns(const std::vector<Case>& cases, const std::string& dir) {
  for (const Case& c : cases) {
    RunResult r = RunTintrelBinary(c.args, dir);
    EXPECT_EQ(r.Stdout, c.stdout_bytes) << c.what;
    EXPECT_EQ(r.ExitStatus, c.status) << c.what;
    EXPECT_EQ(r.Stderr, "") << c.what;
  }
}

TEST(Cli, CommandLineChecksComeInOrder) {
  TempDir dir;
  const std::string& d = dir.Path;
  WriteFile(d + "/art.ans", kArtThatReports);
  WriteFile(d + "/-r", kArtThatReports);
  WriteFile(d + "/--help", kArtThatReports);
  ASSERT_EQ(mkdir((d + "/folder").c_str(), 0755), 0);
  ASSERT_EQ(symlink("art.ans", (d + "/link.ans").c_str()), 0);
  ASSERT_EQ(symlink("gone.ans", (d + "/dangling.ans").c_str()), 0);
  ExpectRuns(
      {
          {"no argument", {}, kUsage, 0},
          {"missing file", {"nothing.ans"}, kMissing, 0},
          {"missing file with help", {"nothing.ans", "-h"}, kMissing, 0},
          {"directory", {"folder"}, kMissing, 0},
          {"empty name", {""}, kMissing, 0},
          {"dangling link", {"dangling.ans"}, kMissing, 0},
          {"-h alone", {"-h"}, kMissing, 0},
          {"plain file", {"art.ans"}, kItsSummary, 0},
          {"link to a file", {"link.ans"}, kItsSummary, 0},
          {"file then -H", {"art.ans", "-H"}, kUsage, 0},
          {"file then --Help", {"art.ans", "--Help"}, kUsage, 0},
          {"file then /?", {"art.ans", "/?"}, kUsage, 0},
          {"file then /h", {"art.ans", "/h"}, kUsage, 0},
          {"report then help", {"art.ans", "-r", "-?"}, kUsage, 0},
          {"unknown switches", {"art.ans", "-x", "-report", "extra"}, kItsSummary, 0},
          {"file named --help", {"--help"}, kUsage, 0},
      },
      d);
}

TEST(Cli, LongPathsAreUsedWhole) {
  TempDir dir;
  std::string relative;
  for (int depth = 0; depth < 6; ++depth) {
    relative += std::string(60, static_cast<char>('a' + depth));
    ASSERT_EQ(mkdir((dir.Path + "/" + relative).c_str(), 0755), 0);
    relative += "/";
  }
  relative += "art.ans";
  ASSERT_GT(relative.size(), 255u);
  WriteFile(dir.Path + "/" + relative, kArtThatReports);
  // A name that agrees with a real file in its first 255 bytes is still missing.
  std::string near_miss = relative.substr(0, relative.size() - 1) + "x";
  ExpectRuns(
      {
          {"long path", {relative}, kItsSummary, 0},
          {"long absolute path", {dir.Path + "/" + relative}, kItsSummary, 0},
          {"long missing path", {near_miss}, kMissing, 0},
      },
      dir.Path);
}

TEST(Cli, PositionReportsAreWrittenDuringTheScan) {
  TempDir dir;
  // Nothing is drawn: only the pipe code charges a cell, and no character is counted.
  const std::string reports = "\x1b[6n\x1b[10;100f\x1b[n|07\x1b[s\x1b[H\x1b[u\x1b[5n";
  const std::string ends = "\x1b[6n\x1a\x1b[6n";
  WriteFile(dir.Path + "/reports.ans", reports);
  WriteFile(dir.Path + "/ends.ans", ends);
  ExpectRuns(
      {
          {"several reports",
           {"reports.ans"},
           "\x1b[1;1R\x1b[10;100R\x1b[10;100R" + Md5Hex(reports) + ",grayish,1,mixed,,,,\n",
           0},
          {"nothing after byte 26", {"ends.ans"}, "\x1b[1;1R" + Md5Hex(ends) + ",0,mixed,,,,\n", 0},
      },
      dir.Path);
}

TEST(Cli, FileThatExistsButCannotBeOpened) {
  TempDir dir;
  int sock = testkit::BindSocket(dir.Path + "/art.sock");
  // The scan passes over it; the digest cannot make one up.
  const std::string refused = "Unhandled FileError: Unable to open file \"art.sock\"\n";
  ExpectRuns({{"socket", {"art.sock"}, "File art.sock not found.\n" + refused, 217},
              {"socket, report",
               {"art.sock", "-r"},
               "File art.sock not found.\n" + std::string("File ") + std::string(74, '=') +
                   "\nFilename   : art.sock\n" + refused,
               217}},
             dir.Path);
  close(sock);
}

// A named pipe is read once: the digest covers the bytes the scan read, past the byte 26 too.
// Its end cannot be found, so it has no SAUCE record.
TEST(Cli, NamedPipeIsDigestedAsItWasRead) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir.Path + "/art.fifo").c_str(), 0600), 0);
  const std::string bytes = kArtThatReports + "\x1a" + "after the art";
  std::thread writer([&] {
    // Waits up to ten seconds for the reader, then gives up rather than hang the test.
    int fd = -1;
    for (int tries = 0; fd < 0 && tries < 1000; ++tries) {
      fd = open((dir.Path + "/art.fifo").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (fd < 0) usleep(10000);
    }
    if (fd < 0) return;
    fcntl(fd, F_SETFL, 0);
    [[maybe_unused]] ssize_t written = write(fd, bytes.data(), bytes.size());
    close(fd);
  });
  RunResult r = RunTintrelBinary({"art.fifo"}, dir.Path);
  writer.join();
  EXPECT_EQ(r.Stdout, "\x1b[3;5R" + Md5Hex(bytes) + ",yellowish,blueish,magentish,3,low,,,,\n");
  EXPECT_EQ(r.ExitStatus, 0);
}

TEST(Cli, UnhandledFaultsEndWith217) {
  ExpectRuns({{"read fails after open",
               {"/proc/self/mem"},
               "Unhandled FileError: Unable to read file \"/proc/self/mem\": Input/output error\n",
               217}},
             ".");
}

// Standard output that refuses every byte: nothing can be said, but the status tells.
TEST(Cli, RefusedOutputEndsWith217) {
  TempDir dir;
  WriteFile(dir.Path + "/art.ans", kArtThatReports);
  int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
  ASSERT_GE(full, 0);
  int unread[2];
  ASSERT_EQ(pipe2(unread, O_CLOEXEC), 0);
  close(unread[0]);  // nobody will read: every write fails with a broken pipe
  for (int fd : {full, unread[1]}) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"missing.ans"}, {"art.ans"}, {"art.ans", "-r"}}) {
      RunResult r = RunTintrelBinary(args, dir.Path, fd);
      EXPECT_EQ(r.ExitStatus, 217) << (fd == full ? "full " : "pipe ") << args.size();
      EXPECT_EQ(r.Stderr, "");
    }
  }
  close(full);
  close(unread[1]);
}

}  // namespace
}  // namespace tintrel::testkit
