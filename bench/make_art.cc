// SPDX-License-Identifier: MIT
// Writes the benchmark's inputs, and measures art:
//   make_art file SEED SIZE PATH [--no-sauce] [--long-runs]   one art file of about SIZE bytes
//   make_art collection SEED COUNT DIR [--long-runs]          COUNT art files of 2 to 100 KB,
//                                                             most with SAUCE
//   make_art stats PATH                  the statistics of a file beside those of real art
// The art is the generator's typical art, made to the statistics of real collections, or with
// --long-runs its art of long runs.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "kit/art_generator.h"
#include "kit/art_statistics.h"

namespace {

using namespace tintrel::artgen;

bool Save(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

int Usage() {
  std::fputs(
      "usage: make_art file SEED SIZE PATH [--no-sauce] [--long-runs]\n"
      "       make_art collection SEED COUNT DIR [--long-runs]\n"
      "       make_art stats PATH\n",
      stderr);
  return 2;
}

void Row(const char* figure, double measured, double real) {
  std::printf("%-36s %10.3f %10.3f\n", figure, measured, real);
}

// The figures of the file, then those of real art, a row each.
int PrintStatistics(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream read;
  if (!(in && read << in.rdbuf())) {
    std::perror(path.c_str());
    return 1;
  }
  const std::string bytes = std::move(read).str();
  const ArtStatistics art = MeasureArt(bytes), real = RealArt();
  std::printf("%-36s %10s %10s\n", "figure", "this file", "real art");
  Row("bytes per sequence", art.BytesPerSequence, real.BytesPerSequence);
  Row("distinct sequences", static_cast<double>(art.DistinctSequences),
      static_cast<double>(real.DistinctSequences));
  const char* tops[] = {"share of the 10 commonest", "share of the 50 commonest",
                        "share of the 200 commonest"};
  for (std::size_t i = 0; i < 3; ++i) Row(tops[i], art.TopShares[i], real.TopShares[i]);
  for (const auto& [final, share] : real.FinalBytes) {
    const std::string figure = std::string("final byte ") + final;
    Row(figure.c_str(), art.FinalBytes.count(final) ? art.FinalBytes.at(final) : 0, share);
  }
  const char* runs[] = {"0", "1", "2", "3", "4", "5", "6-19", "20+"};
  for (std::size_t i = 0; i < 8; ++i) {
    const std::string figure = std::string("text bytes between sequences: ") + runs[i];
    Row(figure.c_str(), art.TextRuns[i], real.TextRuns[i]);
  }
  Row("mean text bytes between sequences", art.MeanTextRun, real.MeanTextRun);
  for (const auto& [length, share] : real.Lengths) {
    const std::string figure = "sequences of " + std::to_string(length) + " bytes";
    Row(figure.c_str(), art.Lengths.count(length) ? art.Lengths.at(length) : 0, share);
  }
  for (std::size_t i = 0; i < 4; ++i) {
    const std::string figure = "colour changes of " + std::to_string(i + 1) + " parameters";
    Row(figure.c_str(), art.ColorParams[i], real.ColorParams[i]);
  }
  for (std::size_t i = 0; i < real.Commonest.size(); ++i) {
    const std::string figure = "commonest " + std::to_string(i + 1) + ": ESC[" +
                               real.Commonest[i].first + " (here ESC[" +
                               (i < art.Commonest.size() ? art.Commonest[i].first : "") + ")";
    Row(figure.c_str(), i < art.Commonest.size() ? art.Commonest[i].second : 0,
        real.Commonest[i].second);
  }
  Row("bytes 128 and above", art.HighBytes, real.HighBytes);
  Row("line feeds per KB", art.LineFeedsPerKb, real.LineFeedsPerKb);
  Row("pipe codes", static_cast<double>(art.PipeCodes), 0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string_view(argv[1]) == "stats") return PrintStatistics(argv[2]);
  if (argc < 5) return Usage();
  std::string_view mode = argv[1];
  uint64_t seed = std::strtoull(argv[2], nullptr, 10);
  uint64_t number = std::strtoull(argv[3], nullptr, 10);
  std::string path = argv[4];
  bool with_sauce = true, long_runs = false;
  for (int i = 5; i < argc; ++i) {
    const std::string_view option = argv[i];
    if (option == "--no-sauce" && mode == "file") {
      with_sauce = false;
    } else if (option == "--long-runs") {
      long_runs = true;
    } else {
      return Usage();
    }
  }
  const auto art = long_runs ? LongRunArt : TypicalArt;
  if (mode == "file") {
    if (Save(path, art(seed, number, with_sauce))) return 0;
  } else if (mode == "collection") {
    Random random{seed};
    uint64_t made = 0;
    for (; made < number; ++made) {
      // Sizes spread evenly on a log scale from 2 to 100 KB.
      double size =
          2000.0 * std::exp(std::log(50.0) * static_cast<double>(Below(random, 1001)) / 1000.0);
      bool sauce = Below(random, 5) != 0;
      std::string name = path + "/art" + std::to_string(made) + ".ans";
      if (!Save(name, art(NextRandom(random), static_cast<std::size_t>(size), sauce))) break;
    }
    if (made == number) return 0;
  } else {
    return Usage();
  }
  std::perror(path.c_str());
  return 1;
}
