// SPDX-License-Identifier: MIT
// The statistics of art that tell how much work it is for the scan, measured on any bytes, and
// the same figures for 1,227 drawings of public art packs (50.2 MB), which the art generator's
// typical art is made to.
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tintrel::artgen {

// A sequence is ESC "[", the parameter characters after it and the byte after them; every other
// byte is text. Shares are fractions of all sequences, or of all bytes where said.
struct ArtStatistics {
  double BytesPerSequence = 0;
  std::size_t DistinctSequences = 0;
  std::array<double, 3> TopShares{};  // of the 10, 50 and 200 commonest sequences
  std::map<char, double> FinalBytes;  // by the sequence's last byte
  // Text bytes between two sequences: 0, 1, 2, 3, 4, 5, 6 to 19, 20 and more.
  std::array<double, 8> TextRuns{};
  double MeanTextRun = 0;
  std::map<std::size_t, double> Lengths;  // by length in bytes, ESC and the last byte included
  std::array<double, 4> ColorParams{};    // colour changes ("m") of 1, 2, 3 and 4 or more
  std::vector<std::pair<std::string, double>> Commonest;  // the 8 commonest, ESC "[" left off
  double HighBytes = 0;                                   // of all bytes
  double LineFeedsPerKb = 0;
  std::size_t PipeCodes = 0;
};

ArtStatistics MeasureArt(std::string_view bytes);

// The figures measured on real art.
ArtStatistics RealArt();

}  // namespace tintrel::artgen
