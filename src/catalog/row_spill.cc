// SPDX-License-Identifier: MIT
#include "catalog/row_spill.h"

#include <algorithm>
#include <cerrno>

#include "io/fault.h"

namespace tintrel {

void SpillPast(SpilledRows& spill, std::string& text) {
  if (text.size() <= kHeldRows) return;
  if (!spill.File.IsOpen()) {
    spill.File = OpenTemporaryFile();
    if (!spill.File.IsOpen()) throw FileError("make", "a temporary file", errno);
  }
  WriteAt(spill.File, text.data(), text.size(), spill.Size, "a temporary file");
  spill.Size += text.size();
  spill.Ends.push_back(spill.Size);
  text.clear();
  text.shrink_to_fit();
}

void InsertRows(SpilledRows& spill, std::string& text, uint64_t at, std::string_view rows) {
  if (at >= spill.Size) {
    text.insert(static_cast<std::size_t>(at - spill.Size), rows);
    return;
  }
  // Made later, so it encloses those already at the same place: it goes in front of them.
  const auto place = std::find_if(spill.Inserted.begin(), spill.Inserted.end(),
                                  [&](const auto& inserted) { return inserted.first >= at; });
  spill.Inserted.insert(place, {at, std::string(rows)});
}

void NoteError(std::vector<std::pair<std::string, std::string>>& named, uint64_t& unnamed,
               std::size_t at, std::pair<std::string, std::string> error) {
  if (at >= kNamedErrors || named.size() < at) {
    ++unnamed;
    return;
  }
  named.insert(named.begin() + static_cast<std::ptrdiff_t>(at), std::move(error));
  if (named.size() > kNamedErrors) {
    named.pop_back();
    ++unnamed;
  }
}

bool ForEachPiece(const SpilledRows& spill, const std::string& text,
                  const std::function<bool(std::string_view)>& take) {
  auto inserted = spill.Inserted.begin();
  std::string piece;
  uint64_t start = 0;
  for (const uint64_t end : spill.Ends) {
    piece.resize(static_cast<std::size_t>(end - start));
    if (ReadAt(spill.File, piece.data(), piece.size(), start, "a temporary file") != piece.size())
      throw FileError("read", "a temporary file", EIO);
    std::size_t done = 0;
    for (; inserted != spill.Inserted.end() && inserted->first < end; ++inserted) {
      const auto cut = static_cast<std::size_t>(inserted->first - start);
      if (cut > done && !take(std::string_view(piece).substr(done, cut - done))) return false;
      if (!take(inserted->second)) return false;
      done = std::max(done, cut);
    }
    if (done < piece.size() && !take(std::string_view(piece).substr(done))) return false;
    start = end;
  }
  return text.empty() || take(text);
}

}  // namespace tintrel
