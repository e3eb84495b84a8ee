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

}  // namespace
}  // namespace tintrel
