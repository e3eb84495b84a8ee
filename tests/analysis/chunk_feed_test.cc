// SPDX-License-Identifier: MIT
#include "analysis/chunk_feed.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "kit/art_generator.h"
#include "kit/md5_hex.h"
#include "kit/sauce_bytes.h"
#include "kit/temp_dir.h"
#include "meta/sauce_info.h"
#include "packs/pack_source.h"
#include "scan/scanner.h"
#include "screen/screen.h"

namespace tintrel {
namespace {

// A file on disk and a member streamed in small chunks each give the scan of the art alone, both
// digests, and the screen the byte loop draws from the same bytes, whatever the reads' sizes.
TEST(ChunkFeed, FileAndStreamGiveTheScanDigestsAndScreenOfTheBytes) {
  const std::string record = testkit::SauceBytes({"Tide", "ink", "Crew", "19960704"});
  testkit::TempDir dir;
  for (std::size_t size :
       {std::size_t{0}, std::size_t{100}, std::size_t{64 * 1024 + 5}, std::size_t{200'000}}) {
    for (bool ended : {false, true}) {
      const std::string art = artgen::TypicalArt(size + 1, size, false);
      const std::string bytes = ended ? art + "\x1a" + record : art;
      const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
      ScanState expected_scan;
      ScanMemory(expected_scan, {}, reinterpret_cast<const uint8_t*>(art.data()), art.size(),
                 kBlockSize, QuickSteps::kOff);
      Screen byte_loop;
      byte_loop.Quick = QuickScreen::kOff;
      DrawMemory(byte_loop, data, bytes.size());
      const ScreenSummary expected_screen = SummarizeScreen(byte_loop);
      const std::string where = std::to_string(size) + (ended ? " with a record" : "");

      Analysis on_disk;
      on_disk.Name = testkit::WriteFile(dir.Path + "/art.ans", bytes);
      const FileHandle file = OpenForReading(on_disk.Name);
      Screen screen;
      ScanDrawAndDigest(on_disk, file, DigestThread::Never, nullptr, &screen);

      Analysis streamed;
      SauceInfo sauce;
      std::size_t at = 0;
      MemberBytes member;
      member.Next = [&]() -> std::span<const uint8_t> {
        const std::size_t take = std::min<std::size_t>(333, bytes.size() - at);
        at += take;
        return {data + at - take, take};
      };
      Screen stream_screen;
      AnalyseStream(streamed, sauce, member, nullptr, &stream_screen);

      for (const Analysis* a : {&on_disk, &streamed}) {
        EXPECT_EQ(a->Scan, expected_scan) << where;
        EXPECT_EQ(a->ScannedBytes, art.size()) << where;
        EXPECT_EQ(DigestToHex(a->FileMd5), testkit::Md5Hex(bytes)) << where;
        EXPECT_EQ(DigestToHex(a->ArtMd5), testkit::Md5Hex(art)) << where;
      }
      EXPECT_EQ(SummarizeScreen(screen), expected_screen) << where;
      EXPECT_EQ(SummarizeScreen(stream_screen), expected_screen) << where;
      EXPECT_EQ(sauce.Present, ended) << where;
    }
  }
}

}  // namespace
}  // namespace tintrel
