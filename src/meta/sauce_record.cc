// SPDX-License-Identifier: MIT
#include "meta/sauce_record.h"

#include <cstring>

#include "io/fault.h"

namespace tintrel {

std::optional<SauceRecord> ReadSauce(const FileHandle& file, const std::string& name) {
  // A shared lock lets parallel runs read the same file; only a writer's exclusive lock refuses
  // us, as if the file could not be opened.
  if (!LockShared(file)) throw FileError("open", name, 0);
  int64_t end = EndOffset(file);
  if (end < static_cast<int64_t>(kSauceSize)) return std::nullopt;
  std::array<char, kSauceSize> block;
  if (ReadAt(file, block.data(), block.size(), static_cast<uint64_t>(end) - kSauceSize, name) !=
      block.size())
    return std::nullopt;
  SauceRecord record;
  std::memcpy(&record, block.data(), block.size());
  if (FieldText(record.Id) != "SAUCE") return std::nullopt;
  return record;
}

}  // namespace tintrel
