// SPDX-License-Identifier: MIT
#include "io/output.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace tintrel {
namespace {

TEST(Output, PassesBytesUnchangedThroughTheBuffer) {
  std::string bytes;
  for (int i = 0; i < 200000; ++i) bytes.push_back(static_cast<char>(i * 7 % 256));
  std::string sink;
  Output out;
  out.Sink = &sink;
  WriteText(out, bytes.substr(0, 10));
  WriteText(out, bytes.substr(10));  // larger than the buffer
  FlushOutput(out);
  EXPECT_EQ(sink, bytes);
}

TEST(Output, UnhandledReportStandsOnItsOwnLine) {
  struct Case {
    std::string before, after;
  } cases[] = {
      {"", "Unhandled FileError: Unable to read file \"a\": Input/output error\n"},
      {"line\n", "line\nUnhandled FileError: Unable to read file \"a\": Input/output error\n"},
      {"\x1b[1;1R",
       "\x1b[1;1R\nUnhandled FileError: Unable to read file \"a\": Input/output error\n"},
  };
  for (const Case& c : cases) {
    std::string sink;
    Output out;
    out.Sink = &sink;
    WriteText(out, c.before);
    WriteUnhandledReport(out, FileError("read", "a", EIO));
    EXPECT_EQ(sink, c.after) << testing::PrintToString(c.before);
  }
}

TEST(Output, FileErrorNamesTheFileAndTheReason) {
  EXPECT_EQ(FileError("close", "art 1.ans", EIO).Message,
            "Unable to close file \"art 1.ans\": Input/output error");
  EXPECT_EQ(FileError("open", "art 1.ans", 0).Message, "Unable to open file \"art 1.ans\"");
}

TEST(Output, RefusedWriteIsAnOutputError) {
  int fd = open("/dev/full", O_WRONLY);
  ASSERT_GE(fd, 0);
  Output out;
  out.Fd = fd;
  WriteLine(out, "result");
  try {
    FlushOutput(out);
    ADD_FAILURE() << "writing to /dev/full should fail";
  } catch (const Fault& fault) {
    EXPECT_EQ(fault.Kind, "OutputError");
    EXPECT_EQ(fault.Message, "Unable to write to standard output: No space left on device");
    // The report cannot go out either, and says nothing more about it.
    WriteUnhandledReport(out, fault);
  }
  close(fd);
}

}  // namespace
}  // namespace tintrel
