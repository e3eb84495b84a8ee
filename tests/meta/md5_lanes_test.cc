// SPDX-License-Identifier: MIT
#include "meta/md5_lanes.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "kit/art_generator.h"
#include "kit/md5_hex.h"

namespace tintrel {
namespace {

using testkit::Md5Hex;

struct Message {
  std::vector<uint8_t> Bytes;  // exactly as long as the file, so that a sanitizer sees overreads
  std::size_t PrefixSize;
};

std::string_view View(const std::vector<uint8_t>& bytes, std::size_t size) {
  return {reinterpret_cast<const char*>(bytes.data()), size};
}

struct Kind {
  Md5Lanes Lanes;
  std::size_t Chains;
};

// Every kind this processor runs, each forced, in one chain and in two.
std::vector<Kind> RunnableKinds() {
  std::vector<Kind> kinds;
  for (Md5Lanes lanes : {Md5Lanes::Scalar, Md5Lanes::Sse2, Md5Lanes::Avx2, Md5Lanes::Avx512})
    for (std::size_t chains : {1, 2})
      if (lanes <= BestMd5Lanes()) kinds.push_back({lanes, chains});
  return kinds;
}

// Digests the messages as a catalogue worker does, handing a free lane the next message as soon
// as one ends, and checks both digests of each against Nettle's, and that each comes back once.
void ExpectNettleDigests(Kind kind, const std::vector<Message>& messages) {
  SCOPED_TRACE("kind " + std::to_string(static_cast<int>(kind.Lanes)) + ", chains " +
               std::to_string(kind.Chains));
  Md5LaneSet lanes(kind.Lanes, kind.Chains);
  ASSERT_EQ(lanes.Kind, kind.Lanes);
  ASSERT_EQ(lanes.Width, Md5LaneWidth(kind.Lanes, kind.Chains));
  std::vector<int> returned(messages.size());
  std::array<Md5Done, kMaxMd5Lanes> done;
  std::size_t next = 0, in_flight = 0;
  while (next < messages.size() || in_flight > 0) {
    while (next < messages.size() && FreeMd5Lanes(lanes) > 0) {
      const Message& m = messages[next];
      ASSERT_TRUE(AddMd5Job(lanes, {m.Bytes.data(), m.Bytes.size(), m.PrefixSize, next++}));
      ++in_flight;
    }
    const std::size_t ended = RunMd5Lanes(lanes, done);
    ASSERT_GT(ended, 0u);
    in_flight -= ended;
    for (std::size_t i = 0; i < ended; ++i) {
      const Message& m = messages[done[i].Tag];
      ++returned[done[i].Tag];
      const std::size_t prefix = std::min(m.PrefixSize, m.Bytes.size());
      EXPECT_EQ(DigestToHex(done[i].Whole), Md5Hex(View(m.Bytes, m.Bytes.size())))
          << "size " << m.Bytes.size();
      EXPECT_EQ(DigestToHex(done[i].Prefix), Md5Hex(View(m.Bytes, prefix)))
          << "size " << m.Bytes.size() << ", prefix " << m.PrefixSize;
    }
  }
  EXPECT_EQ(RunMd5Lanes(lanes, done), 0u);
  EXPECT_EQ(std::count(returned.begin(), returned.end(), 1), messages.size());
}

// Where a length or prefix may go wrong: the ends of a block, and 55 and 56 bytes into one, where
// the padding starts to need a second block.
std::vector<std::size_t> PrefixSizes(std::size_t size) {
  std::vector<std::size_t> sizes = {0, 1, size, size - 1, size + 1};
  for (std::size_t block = 0; block < size && block <= 1024; block += 64)
    for (std::size_t past : {55, 56, 63, 64, 65}) sizes.push_back(block + past);
  sizes.push_back(size / 2);
  std::erase_if(sizes, [size](std::size_t prefix) { return prefix > size + 1; });
  return sizes;
}

TEST(Md5Lanes, EveryKindAgreesWithNettleAtBlockEdgesAndPrefixes) {
  std::vector<std::size_t> sizes;
  for (std::size_t size = 0; size <= 200; ++size) sizes.push_back(size);
  for (std::size_t block = 256; block <= 1024; block += 64)
    for (std::size_t size = block - 9; size <= block + 1; ++size) sizes.push_back(size);
  for (std::size_t size : {4095, 4096, 30000, 70001, 100003}) sizes.push_back(size);
  std::vector<Message> messages;
  for (std::size_t size : sizes) {
    const std::string bytes = artgen::RandomBytes(size, size, true);
    for (std::size_t prefix : PrefixSizes(size))
      messages.push_back({std::vector<uint8_t>(bytes.begin(), bytes.end()), prefix});
  }
  for (Kind kind : RunnableKinds()) ExpectNettleDigests(kind, messages);
}

// Long and short files side by side: lanes end at different blocks and take new files while the
// others go on; the prefix is cut where the art of such a file ends.
TEST(Md5Lanes, LanesEndAndRefillAtDifferentTimes) {
  std::vector<Message> messages;
  for (std::size_t i = 0; i < 40; ++i) {
    const std::size_t size = (i % 3 == 0) ? 20000 + 977 * i : 300 + 61 * i;
    const std::string art = artgen::TypicalArt(i, size, i % 5 != 0);
    const std::size_t end_of_art = std::min(art.find('\x1a'), art.size());
    messages.push_back({std::vector<uint8_t>(art.begin(), art.end()), end_of_art});
  }
  for (Kind kind : RunnableKinds()) ExpectNettleDigests(kind, messages);
}

TEST(Md5Lanes, FullSetTakesNoMoreAndKindsNarrowToTheProcessor) {
#if defined(__SSE2__) && !defined(TINTREL_SCALAR)
  EXPECT_GE(BestMd5Lanes(), Md5Lanes::Sse2);
#else
  EXPECT_EQ(BestMd5Lanes(), Md5Lanes::Scalar);
#endif
  EXPECT_EQ(Md5LaneSet(Md5Lanes::Avx512).Kind, BestMd5Lanes());
  Md5LaneSet lanes;
  const uint8_t byte = 'x';
  for (std::size_t i = 0; i < lanes.Width; ++i) EXPECT_TRUE(AddMd5Job(lanes, {&byte, 1, 1, i}));
  EXPECT_EQ(FreeMd5Lanes(lanes), 0u);
  EXPECT_FALSE(AddMd5Job(lanes, {&byte, 1, 1, 99}));
}

}  // namespace
}  // namespace tintrel
