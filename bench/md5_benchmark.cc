// SPDX-License-Identifier: MIT
// MD5 alone, on one core, over a collection in memory as the catalogue's workers hold it: files of
// 2 to 100 KB drawn as `make_art collection` draws them, each with the digest of its art (the bytes
// in front of the first byte 26). Nettle's one stream a file, as the catalogue digests today,
// against the lanes of each kind this processor runs, in one chain (eight files in flight, four
// with SSE2) and in two, a lane refilled as soon as its file ends. The figure to compare is bytes
// per second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "kit/art_generator.h"
#include "meta/file_digest.h"
#include "meta/md5_lanes.h"

namespace tintrel {
namespace {

// About 10 MB: more than a core's own caches hold, as the files of an archive are.
constexpr std::size_t kFiles = 400;

const std::vector<std::string>& Collection() {
  static const std::vector<std::string> files = [] {
    std::vector<std::string> made;
    artgen::Random random{1};
    for (std::size_t i = 0; i < kFiles; ++i) {
      // Sizes spread evenly on a log scale from 2 to 100 KB, most files with a SAUCE record.
      const double size =
          2000.0 *
          std::exp(std::log(50.0) * static_cast<double>(artgen::Below(random, 1001)) / 1000.0);
      const bool with_sauce = artgen::Below(random, 5) != 0;
      made.push_back(artgen::TypicalArt(artgen::NextRandom(random), static_cast<std::size_t>(size),
                                        with_sauce));
    }
    return made;
  }();
  return files;
}

int64_t CollectionBytes() {
  int64_t bytes = 0;
  for (const std::string& file : Collection()) bytes += static_cast<int64_t>(file.size());
  return bytes;
}

const uint8_t* Bytes(const std::string& file) {
  return reinterpret_cast<const uint8_t*>(file.data());
}

void BM_Md5Nettle(benchmark::State& state) {
  const std::vector<std::string>& files = Collection();
  for (auto _ : state) {
    for (const std::string& file : files) {
      FileDigest digest;
      DigestBytes(digest, Bytes(file), file.size());
      benchmark::DoNotOptimize(FinishDigest(digest));
      benchmark::DoNotOptimize(digest.Art);
    }
  }
  state.SetBytesProcessed(state.iterations() * CollectionBytes());
}
BENCHMARK(BM_Md5Nettle)->Unit(benchmark::kMillisecond);

void BM_Md5Lanes(benchmark::State& state, Md5Lanes kind, std::size_t chains) {
  if (kind > BestMd5Lanes()) {
    state.SkipWithError("this processor does not run this kind of lane");
    return;
  }
  const std::vector<std::string>& files = Collection();
  std::array<Md5Done, kMaxMd5Lanes> done;
  for (auto _ : state) {
    Md5LaneSet lanes(kind, chains);
    std::size_t next = 0;
    do {
      for (; next < files.size() && FreeMd5Lanes(lanes) > 0; ++next) {
        const std::string& file = files[next];
        const void* end_of_art = std::memchr(file.data(), 26, file.size());
        const std::size_t art =
            end_of_art
                ? static_cast<std::size_t>(static_cast<const char*>(end_of_art) - file.data())
                : file.size();
        AddMd5Job(lanes, {Bytes(file), file.size(), art, next});
      }
    } while (RunMd5Lanes(lanes, done) > 0);
    benchmark::DoNotOptimize(done);
  }
  state.SetBytesProcessed(state.iterations() * CollectionBytes());
  state.SetLabel(std::to_string(Md5LaneWidth(kind, chains)) + " files in flight");
}
BENCHMARK_CAPTURE(BM_Md5Lanes, Avx512, Md5Lanes::Avx512, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Md5Lanes, Avx2, Md5Lanes::Avx2, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Md5Lanes, Sse2, Md5Lanes::Sse2, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Md5Lanes, Scalar, Md5Lanes::Scalar, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Md5Lanes, Avx512_two_chains, Md5Lanes::Avx512, 2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Md5Lanes, Avx2_two_chains, Md5Lanes::Avx2, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Md5Lanes, Sse2_two_chains, Md5Lanes::Sse2, 2)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tintrel

BENCHMARK_MAIN();
