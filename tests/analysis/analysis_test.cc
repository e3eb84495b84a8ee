// SPDX-License-Identifier: MIT
#include "analysis/analysis.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "kit/art_generator.h"
#include "kit/md5_hex.h"
#include "kit/reference_scan.h"
#include "kit/sauce_bytes.h"
#include "kit/temp_dir.h"
#include "scan/scanner.h"

namespace tintrel {
namespace {

using testkit::Md5Hex;
using testkit::TempDir;
using testkit::WriteFile;

ScanState ScannedInMemory(const std::string& bytes) {
  ScanState scan;
  ScanMemory(scan, {}, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  return scan;
}

// One read feeds the scan, both digests and the record, on one thread or two.
TEST(Analysis, OneReadFeedsEveryStep) {
  const std::string record = testkit::SauceBytes({"Tide", "ink", "Crew", "19960704"});
  TempDir dir;
  for (std::size_t size : {std::size_t{0}, std::size_t{100}, std::size_t{512 * 1024 - 1},
                           std::size_t{512 * 1024}, std::size_t{3 * 512 * 1024 + 17}}) {
    std::string art = artgen::TypicalArt(size, size, false);
    const std::string bytes = art + "\x1a" + record;
    const std::string path = WriteFile(dir.Path + "/art.ans", bytes);
    for (DigestThread thread : {DigestThread::ForLargeFiles, DigestThread::Never}) {
      const Analysis a = AnalyseFile(path, {}, thread);
      const std::string what = std::to_string(size) + " bytes";
      EXPECT_TRUE(a.Opened && !a.ScanFault && !a.DigestFault && !a.SauceFault) << what;
      EXPECT_EQ(a.Scan, ScannedInMemory(art)) << what;
      EXPECT_EQ(a.ScannedBytes, art.size()) << what;
      EXPECT_EQ(DigestToHex(a.FileMd5), Md5Hex(bytes)) << what;
      EXPECT_EQ(DigestToHex(a.ArtMd5), Md5Hex(art)) << what;
      ASSERT_TRUE(a.Sauce) << what;
      EXPECT_EQ(FieldText(a.Sauce->Title).substr(0, 4), "Tide") << what;
    }
  }
}

TEST(Analysis, FileThatCannotBeOpenedIsTheDigestsFault) {
  const Analysis a = AnalyseFile("/nonexistent/art.ans", {});
  EXPECT_FALSE(a.Opened);
  EXPECT_EQ(a.Scan, ScanState{});
  EXPECT_FALSE(a.ScanFault);
  ASSERT_TRUE(a.DigestFault);
  EXPECT_EQ(a.DigestFault->Message, "Unable to open file \"/nonexistent/art.ans\"");
}

// /proc/self/mem read from a page of ours with a hole behind it: the reads fail past the page.
TEST(Analysis, FailedReadIsTheScansFaultBeforeByte26AndTheDigestsAfter) {
  const long page = sysconf(_SC_PAGESIZE);
  struct Case {
    std::string bytes;
    bool scan_fault;
  } cases[] = {{"\x1b[31mart\x1a"
                "after",
                false},
               {"\x1b[31mart, no end mark", true}};
  for (const Case& c : cases) {
    void* pages =
        mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(pages, MAP_FAILED);
    auto* first = static_cast<char*>(pages);
    std::string content(page, 'x');
    content.replace(content.size() - c.bytes.size(), c.bytes.size(), c.bytes);
    std::memcpy(first, content.data(), content.size());
    ASSERT_EQ(munmap(first + page, page), 0);
    Analysis a;
    a.Name = "/proc/self/mem";
    FileHandle mem = OpenForReading(a.Name);
    ASSERT_TRUE(mem.IsOpen());
    ASSERT_EQ(lseek(mem.Fd, reinterpret_cast<off_t>(first), SEEK_SET),
              reinterpret_cast<off_t>(first));
    ScanAndDigest(a, mem, {}, DigestThread::Never);
    munmap(first, page);
    const std::optional<Fault>& fault = c.scan_fault ? a.ScanFault : a.DigestFault;
    ASSERT_TRUE(fault) << c.bytes;
    EXPECT_EQ(fault->Message, "Unable to read file \"/proc/self/mem\": Input/output error");
    EXPECT_EQ(c.scan_fault ? a.DigestFault : a.ScanFault, std::nullopt) << c.bytes;
    if (!c.scan_fault) {
      EXPECT_EQ(a.Scan, ScannedInMemory(content));
    }
  }
}

}  // namespace
}  // namespace tintrel
