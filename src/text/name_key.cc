// SPDX-License-Identifier: MIT
#include "text/name_key.h"

#include <algorithm>
#include <array>
#include <vector>

namespace tintrel {

namespace {

// Words a group or an artist adds to its name now and then, as they read once folded ("ltd" has
// its l read as i).
constexpr std::array<std::string_view, 16> kTrailingWords = {
    "productions", "production", "prods", "prod", "inc",  "incorporated", "itd",    "art",
    "arts",        "artworks",   "group", "crew", "team", "studios",      "studio", "designs"};

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || static_cast<unsigned char>(c) > 127;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool InWord(char c) {
  return IsLetter(c) || IsDigit(c) || c == '$' || c == '@';
}

// A character of a word that has a letter, as the key holds it.
char Folded(char c) {
  switch (c) {
    case '0': return 'o';
    case '1':
    case 'l':
    case 'L': return 'i';
    case '3': return 'e';
    case '4':
    case '@': return 'a';
    case '5':
    case '$': return 's';
    case '7': return 't';
    case '8': return 'b';
    default: return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
}

std::string FoldedWord(std::string_view word) {
  const bool lettered = std::any_of(word.begin(), word.end(), IsLetter);
  std::string folded;
  for (char c : word) {
    if (lettered) {
      folded += Folded(c);
    } else if (IsDigit(c)) {
      folded += c;  // a number, such as a year, stays a number
    }
  }
  return folded;
}

}  // namespace

std::string NameKey(std::string_view name) {
  std::vector<std::string> words;
  for (std::size_t at = 0; at < name.size();) {
    if (!InWord(name[at])) {
      ++at;
      continue;
    }
    std::size_t end = at;
    while (end < name.size() && InWord(name[end])) ++end;
    if (std::string word = FoldedWord(name.substr(at, end - at)); !word.empty())
      words.push_back(std::move(word));
    at = end;
  }
  while (words.size() > 1 && std::find(kTrailingWords.begin(), kTrailingWords.end(),
                                       words.back()) != kTrailingWords.end())
    words.pop_back();
  std::string key;
  for (const std::string& word : words) key += word;
  return key;
}

}  // namespace tintrel
