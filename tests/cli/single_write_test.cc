// SPDX-License-Identifier: MIT
// Each run hands its whole output to the system in one write, so runs that share standard output
// (xargs -P into one table) never cut into each other's lines.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
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

}  // namespace
}  // namespace tintrel::testkit
