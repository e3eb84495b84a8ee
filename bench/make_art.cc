// SPDX-License-Identifier: MIT
// Writes the benchmark's inputs:
//   make_art file SEED SIZE PATH [--no-sauce]   one art file of about SIZE bytes
//   make_art collection SEED COUNT DIR          COUNT art files of 2 to 100 KB, most with SAUCE
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "kit/art_generator.h"

namespace {

bool Save(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

int Usage() {
  std::fputs(
      "usage: make_art file SEED SIZE PATH [--no-sauce]\n"
      "       make_art collection SEED COUNT DIR\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tintrel::artgen;
  if (argc < 5) return Usage();
  std::string_view mode = argv[1];
  uint64_t seed = std::strtoull(argv[2], nullptr, 10);
  uint64_t number = std::strtoull(argv[3], nullptr, 10);
  std::string path = argv[4];
  if (mode == "file") {
    bool with_sauce = !(argc > 5 && std::string_view(argv[5]) == "--no-sauce");
    if (Save(path, TypicalArt(seed, number, with_sauce))) return 0;
  } else if (mode == "collection") {
    Random random{seed};
    uint64_t made = 0;
    for (; made < number; ++made) {
      // Sizes spread evenly on a log scale from 2 to 100 KB.
      double size =
          2000.0 * std::exp(std::log(50.0) * static_cast<double>(Below(random, 1001)) / 1000.0);
      bool with_sauce = Below(random, 5) != 0;
      std::string name = path + "/art" + std::to_string(made) + ".ans";
      if (!Save(name, TypicalArt(NextRandom(random), static_cast<std::size_t>(size), with_sauce)))
        break;
    }
    if (made == number) return 0;
  } else {
    return Usage();
  }
  std::perror(path.c_str());
  return 1;
}
