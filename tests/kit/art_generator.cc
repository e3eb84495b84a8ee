// SPDX-License-Identifier: MIT
#include "kit/art_generator.h"

#include <array>
#include <string_view>

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

std::string TypicalArt(uint64_t seed, std::size_t size, bool with_sauce) {
  Random random{seed};
  std::string out = "\x1b[0m\x1b[2J";
  while (out.size() < size) AddLine(random, out);
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
