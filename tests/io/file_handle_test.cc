// SPDX-License-Identifier: MIT
#include "io/file_handle.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "kit/temp_dir.h"

namespace tintrel {
namespace {

using testkit::TempDir;
using testkit::WriteFile;

TEST(FileHandle, PathExistsFollowsLinksAndRejectsDirectories) {
  TempDir dir;
  const std::string& d = dir.Path;
  WriteFile(d + "/art.ans", "x");
  WriteFile(d + "/empty.ans", "");
  ASSERT_EQ(mkdir((d + "/folder").c_str(), 0755), 0);
  ASSERT_EQ(symlink("art.ans", (d + "/to-file").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", (d + "/dangling").c_str()), 0);
  ASSERT_EQ(symlink("folder", (d + "/to-folder").c_str()), 0);
  ASSERT_EQ(mkfifo((d + "/fifo").c_str(), 0644), 0);
  struct Case {
    std::string path;
    bool exists;
  } cases[] = {
      {d + "/art.ans", true},    {d + "/empty.ans", true},
      {d + "/to-file", true},    {d + "/fifo", true},
      {"/dev/null", true},       {d + "/missing", false},
      {d + "/dangling", false},  {d + "/folder", false},
      {d + "/to-folder", false}, {"", false},
      {d + "/art.ans/x", false},
  };
  for (const Case& c : cases) EXPECT_EQ(PathExists(c.path), c.exists) << c.path;
}

// The record is read from the end before the art is read from the start.
TEST(FileHandle, EndOffsetLeavesTheReadWhereItWas) {
  TempDir dir;
  FileHandle file = OpenForReading(WriteFile(dir.Path + "/art.ans", "art\x1aSAUCE"));
  char bytes[4] = {};
  ASSERT_EQ(ReadSome(file, bytes, 2, "art"), 2u);
  EXPECT_EQ(EndOffset(file), 9);
  EXPECT_EQ(ReadSome(file, bytes, 2, "art"), 2u);
  EXPECT_EQ(std::string(bytes, 2), "t\x1a");
}

}  // namespace
}  // namespace tintrel
