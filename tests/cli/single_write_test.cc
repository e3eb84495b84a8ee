// SPDX-License-Identifier: MIT
// Each run hands its whole output to the system in one write, so runs that share standard output
// (xargs -P into one table) never cut into each other's lines.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "kit/run_binary.h"
#include "kit/sauce_bytes.h"
#include "kit/temp_dir.h"

namespace tintrel::testkit {
namespace {

struct Writes {
  std::vector<std::string> Messages;  // one per write the run made
  int ExitStatus = -1;
};

// Standard output is a SOCK_SEQPACKET socket, which keeps the bounds of every write as a message.
Writes RunCountingWrites(const std::vector<std::string>& args, const std::string& dir) {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) return {};
  Writes writes;
  writes.ExitStatus = RunTintrelBinary(args, dir, ends[1]).ExitStatus;
  close(ends[1]);
  std::vector<char> message(1 << 17);
  while (true) {
    ssize_t got = recv(ends[0], message.data(), message.size(), 0);
    if (got <= 0) break;
    writes.Messages.emplace_back(message.data(), static_cast<std::size_t>(got));
  }
  close(ends[0]);
  return writes;
}

TEST(SingleWrite, WholeOutputGoesOutInOneWrite) {
  TempDir dir;
  // Position reports, drawn cells and a SAUCE record: output from the scan and from the writers.
  WriteFile(dir.Path + "/art.ans", "\x1b[6n\x1b[1;31mRed\x1b[44m\xdb\xdb\x1b[6n\r\n\x1a" +
                                       SauceBytes({"Title, \"quoted\"", "me", "us", "20260101"}));
  // A socket exists but cannot be opened: the scan's line, then the fault's.
  int sock = testkit::BindSocket(dir.Path + "/art.sock");

  const std::vector<std::vector<std::string>> runs = {
      {"art.ans"}, {"art.ans", "-r"}, {"art.sock"}, {"art.sock", "-r"}, {}, {"missing.ans"},
  };
  for (const std::vector<std::string>& args : runs) {
    std::string what = "tintrel";
    for (const std::string& arg : args) what += " " + arg;
    RunResult piped = RunTintrelBinary(args, dir.Path);
    Writes writes = RunCountingWrites(args, dir.Path);
    ASSERT_EQ(writes.Messages.size(), 1u) << what;
    EXPECT_EQ(writes.Messages[0], piped.Stdout) << what;
    EXPECT_EQ(writes.ExitStatus, piped.ExitStatus) << what;
  }
  close(sock);
}

// Two gathers share one table file, as xargs -P hands it to its runs: a run that floods its line
// with a million position reports (6 MB) still lands whole between the others' lines.
TEST(SingleWrite, ReportFloodStaysWholeInAParallelGather) {
  TempDir dir;
  std::string flood;
  for (int i = 0; i < 1'000'000; ++i) flood += "\x1b[6n";
  WriteFile(dir.Path + "/flood.ans", flood);
  WriteFile(dir.Path + "/small.ans", "\x1b[1;33mHello\r\n");
  const std::string flood_line = RunTintrelBinary({"flood.ans"}, dir.Path).Stdout;
  const std::string small_line = RunTintrelBinary({"small.ans"}, dir.Path).Stdout;
  ASSERT_GT(flood_line.size(), std::size_t{6'000'000});

  const std::string table = dir.Path + "/table.csv";
  int fd = open(table.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  std::thread flooding([&] {
    for (int i = 0; i < 3; ++i) RunTintrelBinary({"flood.ans"}, dir.Path, fd);
  });
  for (int i = 0; i < 200; ++i) RunTintrelBinary({"small.ans"}, dir.Path, fd);
  flooding.join();
  close(fd);

  std::ifstream in(table, std::ios::binary);
  std::stringstream whole;
  whole << in.rdbuf();
  int floods = 0, smalls = 0, mixed = 0;
  std::string line;
  while (std::getline(whole, line)) {
    line += '\n';
    if (line == flood_line) {
      ++floods;
    } else if (line == small_line) {
      ++smalls;
    } else {
      ++mixed;
    }
  }
  EXPECT_EQ(mixed, 0);
  EXPECT_EQ(floods, 3);
  EXPECT_EQ(smalls, 200);
}

}  // namespace
}  // namespace tintrel::testkit
