// SPDX-License-Identifier: MIT
#include "meta/sauce_record.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <stdexcept>
#include <string>

#include "io/fault.h"
#include "kit/sauce_bytes.h"
#include "kit/temp_dir.h"

namespace tintrel {
namespace {

using testkit::SauceBytes;
using testkit::TempDir;
using testkit::WriteFile;

const std::string kRecord = SauceBytes({"Harbour", "ink", "Crew", "19960704"});

std::optional<SauceRecord> ReadSauceOf(const std::string& path) {
  FileHandle file = OpenForReading(path);
  if (!file.IsOpen()) throw std::runtime_error("cannot open " + path);
  return ReadSauce(file, path);
}

TEST(SauceRecord, FoundOnlyInTheLast128Bytes) {
  struct Case {
    std::string what;
    std::string bytes;
    bool found;
  } cases[] = {
      {"art, byte 26, then the record", "\x1b[31mart\r\n\x1a" + kRecord, true},
      {"the whole file is the record", kRecord, true},
      {"127 bytes that begin with SAUCE", kRecord.substr(0, 127), false},
      {"empty file", "", false},
      {"lower-case identifier", "art" + SauceBytes({"t", "a", "g", "d", "sauce"}), false},
      {"any version is accepted", "art" + SauceBytes({"t", "a", "g", "d", "SAUCE", "\xff\x01"}),
       true},
      {"one more byte after the record", "art" + kRecord + "\n", false},
      {"record shifted by one", "art" + kRecord.substr(1) + "S", false},
  };
  TempDir dir;
  for (const Case& c : cases) {
    std::optional<SauceRecord> record = ReadSauceOf(WriteFile(dir.Path + "/art.ans", c.bytes));
    EXPECT_EQ(record.has_value(), c.found) << c.what;
    if (record) {
      std::string last = c.bytes.substr(c.bytes.size() - 128);
      EXPECT_EQ(FieldText(record->Title), last.substr(7, 35)) << c.what;
      EXPECT_EQ(FieldText(record->Date), last.substr(82, 8)) << c.what;
    }
  }
}

TEST(SauceRecord, FieldsKeepEveryByte) {
  TempDir dir;
  std::string title = std::string("Nul\0in the middle", 18) + "  ";
  std::optional<SauceRecord> record = ReadSauceOf(WriteFile(
      dir.Path + "/art.ans", "x" + SauceBytes({title, "", "Crew \"A\", B", "2026"}, '\0')));
  ASSERT_TRUE(record);
  EXPECT_EQ(FieldText(record->Title), title + std::string(35 - title.size(), '\0'));
  EXPECT_EQ(FieldText(record->Author), std::string(20, '\0'));
  EXPECT_EQ(FieldText(record->Group), "Crew \"A\", B" + std::string(9, '\0'));
  EXPECT_EQ(FieldText(record->Date), std::string("2026\0\0\0\0", 8));
}

// Parallel runs share the file; a writer's exclusive lock refuses the open.
TEST(SauceRecord, SharedLocksAgreeExclusiveLocksRefuse) {
  TempDir dir;
  std::string path = WriteFile(dir.Path + "/art.ans", "art" + kRecord);
  int holder = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(holder, 0);

  ASSERT_EQ(flock(holder, LOCK_SH), 0);
  EXPECT_TRUE(ReadSauceOf(path));

  ASSERT_EQ(flock(holder, LOCK_EX), 0);
  try {
    ReadSauceOf(path);
    ADD_FAILURE() << "an exclusively locked file was read";
  } catch (const Fault& fault) {
    EXPECT_EQ(fault.Kind, "FileError");
    EXPECT_EQ(fault.Message, "Unable to open file \"" + path + "\"");
  }
  close(holder);
  EXPECT_TRUE(ReadSauceOf(path));
}

}  // namespace
}  // namespace tintrel
