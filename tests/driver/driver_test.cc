// SPDX-License-Identifier: MIT
#include "driver/driver.h"

#include <gtest/gtest.h>

#include <string>

namespace tintrel {
namespace {

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
