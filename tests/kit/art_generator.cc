// SPDX-License-Identifier: MIT
#include "kit/art_generator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace tintrel::artgen {

namespace {

constexpr std::array<uint8_t, 10> kBlocks = {0xDB, 0xDC, 0xDD, 0xDE, 0xDF,
                                             0xB0, 0xB1, 0xB2, 0xFE, 0xF9};
constexpr std::array<std::string_view, 12> kWords = {"the", "dark", "sun", "sets", "over", "pipe",
                                                     "bay", "ansi", "art", "by",   "crew", "1996"};

void AddNumber(std::string& out, uint64_t n) {
  out += std::to_string(n);
}

// "ESC [ ... m" with the parameters an editor of the time would write.
void AddColorChange(Random& random, std::string& out) {
  out += "\x1b[";
  bool first = true;
  auto param = [&](uint64_t value) {
    if (!first) out += ';';
    AddNumber(out, value);
    first = false;
  };
  if (Below(random, 3) == 0) param(0);
  if (Below(random, 2) == 0) param(1);
  if (Below(random, 20) == 0) param(5);
  if (Below(random, 4) != 0) param(30 + Below(random, 8));
  if (Below(random, 2) == 0) param(40 + Below(random, 8));
  out += 'm';
}

// Up to `room` cells of one kind of drawing; returns how many.
uint64_t AddCells(Random& random, std::string& out, uint64_t room) {
  uint64_t cells = 1 + Below(random, 6) + Below(random, 10);
  if (cells > room) cells = room;
  switch (Below(random, 8)) {
    case 0:
    case 1: out.append(cells, ' '); break;
    case 2:
    case 3: {
      for (uint64_t i = 0; i < cells;) {
        std::string_view word = kWords[Below(random, kWords.size())];
        for (char c : word) {
          if (i == cells) break;
          out += c;
          ++i;
        }
        if (i < cells) {
          out += ' ';
          ++i;
        }
      }
      break;
    }
    case 4:
    case 5: out.append(cells, static_cast<char>(kBlocks[Below(random, 3)])); break;
    default:
      for (uint64_t i = 0; i < cells; ++i)
        out += static_cast<char>(kBlocks[Below(random, kBlocks.size())]);
  }
  return cells;
}

void AddPipeCode(Random& random, std::string& out) {
  uint64_t code = Below(random, 24);
  out += '|';
  out += static_cast<char>('0' + code / 10);
  out += static_cast<char>('0' + code % 10);
}

void AddLine(Random& random, std::string& out) {
  uint64_t column = 0;
  while (column < 80) {
    uint64_t choice = Below(random, 100);
    if (choice < 45) {
      AddColorChange(random, out);
    } else if (choice < 53) {
      uint64_t skip = 1 + Below(random, 12);
      out += "\x1b[";
      AddNumber(out, skip);
      out += 'C';
      column += skip;
      continue;
    } else if (choice < 57) {
      AddPipeCode(random, out);
    } else if (choice < 58) {
      out += "\x1b[s";
    } else if (choice < 59) {
      out += "\x1b[u";
    }
    column += AddCells(random, out, column < 80 ? 80 - column : 0);
    if (Below(random, 40) == 0) break;  // the rest of the line stays empty
  }
  if (column < 80 && Below(random, 3) == 0) out += "\x1b[K";
  if (Below(random, 10) == 0) out += "\x1b[0m";
  out += "\r\n";
}

// One sequence of the drawings as ESC "[" and these bytes, and its share of all sequences in
// percent.
struct Share {
  std::string Bytes;
  double Percent;
};

// Shares `total` percent among `members` as their rank to the power -`exponent` (Zipf's law):
// the first the commonest.
void AddRanked(std::vector<Share>& shares, const std::vector<std::string>& members, double total,
               double exponent, double offset = 0) {
  double sum = 0;
  auto weight = [&](std::size_t rank) {
    return std::pow(static_cast<double>(rank) + offset, -exponent);
  };
  for (std::size_t rank = 1; rank <= members.size(); ++rank) sum += weight(rank);
  for (std::size_t rank = 1; rank <= members.size(); ++rank)
    shares.push_back({members[rank - 1], total * weight(rank) / sum});
}

// The ANSI colour digits as often as drawings use them, commonest first: foregrounds white,
// cyan, yellow, green, blue, red, magenta, black; backgrounds black, white, blue, red, cyan,
// green, magenta, yellow.
constexpr std::string_view kForegrounds = "76324150", kBackgrounds = "07416253";

// Every sequence but the 24-bit colours, by family: the ten commonest with their measured
// shares, then the colour changes of one to four parameters, the cursor moves and the rest, each
// family ranked. The shares of the final bytes, the parameter counts and the sequence lengths
// follow from the families' totals.
std::vector<Share> CommonSequences() {
  std::vector<Share> shares = {{"0m", 10.3},   {"40m", 6.7}, {"37m", 5.9}, {"1;30m", 5.0},
                               {"1m", 3.4},    {"30m", 2.9}, {"47m", 2.8}, {"0;33m", 2.4},
                               {"1;37m", 2.3}, {"36m", 2.3}};
  auto listed = [&](const std::string& bytes) {
    for (const Share& share : shares) {
      if (share.Bytes == bytes) return true;
    }
    return false;
  };
  std::vector<std::string> one, two, pairs, three, four;
  auto add = [&](std::vector<std::string>& family, std::string bytes) {
    if (!listed(bytes)) family.push_back(std::move(bytes));
  };
  for (char fg : kForegrounds) add(one, std::string("3") + fg + "m");
  for (char bg : kBackgrounds) add(one, std::string("4") + bg + "m");
  for (char fg : kForegrounds) {
    for (const char* prefix : {"1;3", "0;3", "5;3"}) add(two, prefix + std::string(1, fg) + "m");
  }
  for (char bg : kBackgrounds) {
    for (const char* prefix : {"0;4", "5;4", "1;4"}) add(two, prefix + std::string(1, bg) + "m");
  }
  for (char fg : kForegrounds) {
    for (char bg : kBackgrounds) add(pairs, std::string("3") + fg + ";4" + bg + "m");
  }
  for (const char* prefix : {"0;", "1;", "5;"}) {
    for (char fg : kForegrounds) {
      for (char bg : kBackgrounds) add(three, prefix + std::string("3") + fg + ";4" + bg + "m");
      if (three.size() == 8) {
        for (char bright : kForegrounds) add(three, std::string("0;1;3") + bright + "m");
      }
    }
  }
  for (const char* prefix : {"0;1;", "0;5;", "1;5;"}) {
    for (char fg : kForegrounds) {
      for (char bg : kBackgrounds) add(four, prefix + std::string("3") + fg + ";4" + bg + "m");
    }
  }
  std::vector<std::string> forward, rows, up;
  for (int n = 2; n < 80; ++n) forward.push_back(std::to_string(n) + "C");
  forward.insert(forward.begin() + 4, "C");
  for (int row = 1; row <= 50; ++row) rows.push_back(std::to_string(row) + ";1H");
  for (int row = 1; row <= 25; row += 2) {
    for (int column = 2; column <= 80; column += 9)
      rows.push_back(std::to_string(row) + ";" + std::to_string(column) + "H");
  }
  up.push_back("A");
  for (int n = 2; n <= 25; ++n) up.push_back(std::to_string(n) + "A");
  AddRanked(shares, one, 48.5 - 34.3 - 0.5, 0.3);
  AddRanked(shares, two, 33.0 - 9.7 - 6.5, 1.3, 3.0);
  AddRanked(shares, pairs, 6.5, 1.2, 1.5);
  AddRanked(shares, three, 8.7, 1.0);
  AddRanked(shares, four, 1.8, 1.0);
  AddRanked(shares, forward, 4.5, 1.1, 1.0);
  AddRanked(shares, rows, 1.4, 0.6);
  AddRanked(shares, up, 0.4, 1.2);
  for (Share share : std::initializer_list<Share>{{"5m", 0.3},
                                                  {"7m", 0.2},
                                                  {"s", 0.1},
                                                  {"D", 0.05},
                                                  {"2D", 0.05},
                                                  {"K", 0.05},
                                                  {"u", 0.03}})
    shares.push_back(share);
  return shares;
}

// Draws from weighted choices by their running totals.
struct Choices {
  std::vector<double> RunningTotals;

  explicit Choices(const std::vector<double>& weights) {
    double total = 0;
    for (double weight : weights) RunningTotals.push_back(total += weight);
  }

  std::size_t Draw(Random& random) const {
    const double at =
        static_cast<double>(NextRandom(random) >> 11) * 0x1p-53 * RunningTotals.back();
    return static_cast<std::size_t>(
        std::upper_bound(RunningTotals.begin(), RunningTotals.end() - 1, at) -
        RunningTotals.begin());
  }
};

// The bytes of text between two sequences: how many, by the measured shares of 0 to 5, 6 to 19
// and 20 and more.
uint64_t TextRunLength(Random& random) {
  static const Choices kLengths({11.6, 42.4, 17.3, 8.8, 5.4, 3.0, 9.4, 2.1});
  const std::size_t bucket = kLengths.Draw(random);
  if (bucket < 6) return bucket;
  if (bucket == 6) return 6 + std::min(Below(random, 14), Below(random, 14));
  return 20 + static_cast<uint64_t>(
                  -21.0 * std::log1p(-static_cast<double>(Below(random, 1 << 20)) / (1 << 20)));
}

void AddField(Random& random, std::string& out, std::size_t width) {
  std::string text;
  while (text.size() + 5 < width) {
    if (!text.empty()) text += Below(random, 6) == 0 ? ", " : " ";
    text += kWords[Below(random, kWords.size())];
  }
  text.resize(width, ' ');
  out += text;
}

}  // namespace

uint64_t NextRandom(Random& random) {
  // splitmix64
  uint64_t z = (random.State += 0x9e3779b97f4a7c15ULL);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

uint64_t Below(Random& random, uint64_t n) {
  return NextRandom(random) % n;
}

std::string SauceTail(Random& random, std::size_t file_size) {
  std::string out = "\x1aSAUCE00";
  AddField(random, out, 35);
  AddField(random, out, 20);
  AddField(random, out, 20);
  uint64_t year = 1990 + Below(random, 37), month = 1 + Below(random, 12),
           day = 1 + Below(random, 28);
  AddNumber(out, year * 10000 + month * 100 + day);
  for (int i = 0; i < 4; ++i) out += static_cast<char>((file_size >> (8 * i)) & 0xFF);
  out += '\x01';                              // character data
  out += '\x01';                              // ANSI
  out += std::string("\x50\x00\x19\x00", 4);  // 80 columns, 25 rows
  out.append(128 + 1 - out.size(), '\0');
  return out;
}

std::string LongRunArt(uint64_t seed, std::size_t size, bool with_sauce) {
  Random random{seed};
  std::string out = "\x1b[0m\x1b[2J";
  while (out.size() < size) AddLine(random, out);
  if (with_sauce) out += SauceTail(random, out.size());
  return out;
}

std::string TypicalArt(uint64_t seed, std::size_t size, bool with_sauce) {
  static const std::vector<Share> kCommon = CommonSequences();
  static const Choices kCommonChoices = [] {
    std::vector<double> weights;
    for (const Share& share : kCommon) weights.push_back(share.Percent);
    return Choices(weights);
  }();
  // Block characters, shades and bullets, as often as drawings use them.
  static constexpr std::array<uint8_t, 11> kHighCells = {0xDB, 0xDC, 0xDF, 0xB0, 0xB1, 0xB2,
                                                         0xDD, 0xDE, 0xFE, 0xF9, 0xFA};
  static const Choices kHighChoices({30, 15, 15, 8, 8, 8, 4, 4, 4, 2, 2});
  static constexpr std::string_view kLowCells = "       .,:;'`-_/\\oO()<>+*=~^\"aeinrstdl";
  Random random{seed};
  std::string out = "\x1b[0m";
  // Seven lines in ten that reach column 80 end with CR LF, in the next text that has room for
  // both; the others wrap.
  int column = 0;
  bool line_end = false;
  auto advance = [&](int columns) {
    column += columns;
    if (column < 80) return;
    column = 0;
    line_end = line_end || Below(random, 10) < 7;
  };
  // A collection is drawing after drawing, of 4 to 160 KB spread evenly on a log scale; one in
  // four uses 24-bit colours, a palette of 4 to 13 of its own.
  while (out.size() < size) {
    const double piece =
        4000.0 * std::exp(std::log(40.0) * static_cast<double>(Below(random, 1001)) / 1000.0);
    const std::size_t piece_end = out.size() + static_cast<std::size_t>(piece);
    std::vector<std::string> palette;
    if (Below(random, 4) == 0) {
      for (uint64_t n = 4 + Below(random, 10); n > 0; --n) {
        palette.push_back(
            std::to_string(Below(random, 2)) + ";" + std::to_string(Below(random, 256)) + ";" +
            std::to_string(Below(random, 256)) + ";" + std::to_string(Below(random, 256)) + "t");
      }
    }
    while (out.size() < std::min(piece_end, size)) {
      for (uint64_t left = TextRunLength(random); left > 0; --left) {
        if (line_end && left >= 2) {
          out += "\r\n";
          line_end = false;
          --left;
          continue;
        }
        advance(1);
        if (Below(random, 1000) < 745) {
          out += static_cast<char>(kHighCells[kHighChoices.Draw(random)]);
        } else {
          out += kLowCells[Below(random, kLowCells.size())];
        }
      }
      out += "\x1b[";
      if (!palette.empty() && Below(random, 100) < 8) {
        out += palette[Below(random, palette.size())];
        continue;
      }
      const std::string& bytes = kCommon[kCommonChoices.Draw(random)].Bytes;
      out += bytes;
      if (bytes.back() == 'C') advance(std::max(1, std::atoi(bytes.c_str())));
      if (bytes.back() == 'H') column = std::atoi(bytes.c_str() + bytes.find(';') + 1) - 1;
    }
  }
  if (with_sauce) out += SauceTail(random, out.size());
  return out;
}

std::string WorstCaseArt(uint64_t seed, std::size_t size) {
  static constexpr std::array<std::string_view, 12> kTokens = {
      "\x1b[A", "\x1b[C", "\x1b[1;31m", "\x1b[K", "\x1b[s", "\x1b[u",
      "|05",    "|9x",    "|",          "\t",     "\x1b[H", "a"};
  Random random{seed};
  std::string out;
  out.reserve(size + 8);
  while (out.size() < size) out += kTokens[Below(random, kTokens.size())];
  return out;
}

std::string RandomBytes(uint64_t seed, std::size_t size, bool keep_end_marks) {
  Random random{seed};
  std::string out(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    auto b = static_cast<char>(NextRandom(random) & 0xFF);
    out[i] = !keep_end_marks && b == '\x1a' ? '\x19' : b;
  }
  return out;
}

}  // namespace tintrel::artgen
