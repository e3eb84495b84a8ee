#include "driver/driver.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "temp_dir.h"

namespace tintrel {
namespace {

using testkit::TempDir;
using testkit::WriteFile;

TEST(Driver, PathExistsFollowsLinksAndRejectsDirectories) {
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

TEST(Driver, SwitchesMatchWholeWordsInAnyCase) {
  struct Case {
    std::string argument;
    Switch kind;
  } cases[] = {
      {"-r", Switch::Report},     {"-R", Switch::Report},   {"/h", Switch::Help},
      {"/H", Switch::Help},       {"/?", Switch::Help},     {"-h", Switch::Help},
      {"-?", Switch::Help},       {"--help", Switch::Help}, {"--HeLp", Switch::Help},
      {"-report", Switch::None},  {"-rr", Switch::None},    {"-r ", Switch::None},
      {"--helpme", Switch::None}, {"-x", Switch::None},     {"art.ans", Switch::None},
      {"", Switch::None},         {"\\h", Switch::None},    {"/r", Switch::None},
  };
  for (const Case& c : cases) EXPECT_EQ(SwitchOf(c.argument), c.kind) << c.argument;
}

TEST(Driver, UsageIsSevenLines) {
  std::string sink;
  Output out;
  out.Sink = &sink;
  ShowUsage(out);
  FlushOutput(out);
  EXPECT_EQ(sink,
            " [] Hueprobe v1.0\n\n Usage: tintrel <filename> [options]\n\n Options:\n"
            "   -r  : Show report\n\n");
}

}  // namespace
}  // namespace tintrel
