// SPDX-License-Identifier: MIT
// The report of "-r", end to end: every byte the built binary prints for files made here.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "kit/md5_hex.h"
#include "kit/run_binary.h"
#include "kit/sauce_bytes.h"
#include "kit/temp_dir.h"

namespace tintrel::testkit {
namespace {

std::string FileSection(const std::string& name, const std::string& art) {
  return "File ==========================================================================\n"
         "Filename   : " +
         name + "\nMD5 Hash   : " + Md5Hex(art) + ",\n\n";
}

const std::string kColorsRule =
    "Colors ========================================================================\n";
const std::string kSauceRule =
    "Sauce Data ====================================================================\n";

struct Case {
  std::string what;
  std::string art;
  std::string after_file_section;
};

void ExpectReports(const std::vector<Case>& cases) {
  TempDir dir;
  for (const Case& c : cases) {
    WriteFile(dir.Path + "/art.ans", c.art);
    RunResult r = RunTintrelBinary({"art.ans", "-r"}, dir.Path);
    EXPECT_EQ(r.Stdout, FileSection("art.ans", c.art) + c.after_file_section) << c.what;
    EXPECT_EQ(r.ExitStatus, 0) << c.what;
    EXPECT_EQ(r.Stderr, "") << c.what;
  }
}

// The characters section; the percentage cells are given as printed.
std::string CharsSection(const std::string& total, const std::string& used,
                         const std::string& low_cell, const std::string& high_cell) {
  return "Chars =========================================================================\n"
         "Total Chars : " +
         total + "\nTotal Colors: " + used + "\n\nLow Ascii   : " + low_cell +
         "\nHigh Ascii  : " + high_cell + "\n\n";
}

// Nothing charged to a colour: the table keeps its starting order, gray down to blue.
const std::string kNoColour = kColorsRule +
                              "Grayish    :  0%\n"
                              "Yellowish  :  0%\n"
                              "Magentish  :  0%\n"
                              "Redish     :  0%\n"
                              "Cyanish    :  0%\n"
                              "Greenish   :  0%\n"
                              "Blueish    :  0%\n"
                              "\n";

TEST(Report, SectionsByteForByte) {
  // 99 gray cells and 1 blue; 53 low and 47 high characters, and an exact 53 % prints 52.
  const std::string shares = std::string(52, 'a') + std::string(47, '\xb1') + "\x1b[34mz";
  ExpectReports({
      {"blue and red tied at 50 %: red, blue, then the rest from gray down",
       "\x1b[34mab\x1b[31m\xdb\xdb",
       kColorsRule +
           "Redish     : 50%\n"
           "Blueish    : 50%\n"
           "Grayish    :  0%\n"
           "Yellowish  :  0%\n"
           "Magentish  :  0%\n"
           "Cyanish    :  0%\n"
           "Greenish   :  0%\n"
           "\n" +
           CharsSection("4", "2", " 50%", " 50%")},
      {"empty file", "", kNoColour + CharsSection("0", "0", "  0%", "  0%")},
      {"all black: no colour, yet characters", "\x1b[30maaaaa",
       kNoColour + CharsSection("0", "0", "100%", "  0%")},
      {"one to three digits and the 53 % rule", shares,
       kColorsRule +
           "Grayish    : 99%\n"
           "Blueish    :  1%\n"
           "Yellowish  :  0%\n"
           "Magentish  :  0%\n"
           "Redish     :  0%\n"
           "Cyanish    :  0%\n"
           "Greenish   :  0%\n"
           "\n" +
           CharsSection("100", "2", " 52%", " 47%")},
  });
}

TEST(Report, SauceFieldsAreWrittenWhole) {
  const std::string art = "\x1b[33mab\x1a";
  const std::string tail = kColorsRule +
                           "Yellowish  :100%\n"
                           "Grayish    :  0%\n"
                           "Magentish  :  0%\n"
                           "Redish     :  0%\n"
                           "Cyanish    :  0%\n"
                           "Greenish   :  0%\n"
                           "Blueish    :  0%\n"
                           "\n" +
                           CharsSection("2", "1", "100%", "  0%") + kSauceRule;
  ExpectReports({
      {"space padding stays",
       art + SauceBytes({"Harbour Lights", "ink", "Crew \"A\", B", "19960704"}),
       tail + "Title      : Harbour Lights" + std::string(21, ' ') + "\nAuthor     : ink" +
           std::string(17, ' ') + "\nGroup      : Crew \"A\", B" + std::string(9, ' ') +
           "\nDate       : 19960704\n"},
      {"NUL padding stays", art + SauceBytes({"Tide", "", "g", "1996"}, '\0'),
       tail + "Title      : Tide" + std::string(31, '\0') +
           "\nAuthor     : " + std::string(20, '\0') + "\nGroup      : g" + std::string(19, '\0') +
           "\nDate       : 1996" + std::string(4, '\0') + "\n"},
  });
}

TEST(Report, NamesAndFaults) {
  TempDir dir;
  const std::string art = "\x1b[32m\xdb";
  const std::string tail = kColorsRule +
                           "Greenish   :100%\n"
                           "Grayish    :  0%\n"
                           "Yellowish  :  0%\n"
                           "Magentish  :  0%\n"
                           "Redish     :  0%\n"
                           "Cyanish    :  0%\n"
                           "Blueish    :  0%\n"
                           "\n" +
                           CharsSection("1", "1", "  0%", "100%");
  // A file named like the switch is both the file and the switch.
  WriteFile(dir.Path + "/-r", art);
  RunResult r = RunTintrelBinary({"-r"}, dir.Path);
  EXPECT_EQ(r.Stdout, FileSection("-r", art) + tail);
  EXPECT_EQ(r.ExitStatus, 0);

  // The name is printed whole, however long and whatever its bytes.
  std::string folder = std::string(200, 'd');
  ASSERT_EQ(mkdir((dir.Path + "/" + folder).c_str(), 0755), 0);
  std::string name = folder + "/a \"quoted\", odd \xe9 name " + std::string(100, 'n') + ".ans";
  WriteFile(dir.Path + "/" + name, art);
  r = RunTintrelBinary({name, "-R"}, dir.Path);
  EXPECT_EQ(r.Stdout, FileSection(name, art) + tail);
  EXPECT_EQ(r.ExitStatus, 0);

  // Held exclusively by another process: everything before the record stays, then the fault.
  const std::string locked_art = art + "\x1a" + SauceBytes({"t", "a", "g", "d"});
  std::string path = WriteFile(dir.Path + "/locked.ans", locked_art);
  int holder = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX), 0);
  r = RunTintrelBinary({"locked.ans", "-r"}, dir.Path);
  close(holder);
  EXPECT_EQ(r.Stdout, FileSection("locked.ans", locked_art) + tail +
                          "Unhandled FileError: Unable to open file \"locked.ans\"\n");
  EXPECT_EQ(r.ExitStatus, 217);
}

}  // namespace
}  // namespace tintrel::testkit
