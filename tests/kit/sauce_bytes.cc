// SPDX-License-Identifier: MIT
#include "kit/sauce_bytes.h"

namespace tintrel::testkit {

namespace {

void Put(std::string& record, std::size_t offset, std::size_t width, std::string_view text,
         char pad) {
  std::string field(text.substr(0, width));
  field.resize(width, pad);
  record.replace(offset, width, field);
}

}  // namespace

std::string SauceBytes(const SauceFields& fields, char pad) {
  std::string record(128, '\0');
  Put(record, 0, 5, fields.Id, pad);
  Put(record, 5, 2, fields.Version, pad);
  Put(record, 7, 35, fields.Title, pad);
  Put(record, 42, 20, fields.Author, pad);
  Put(record, 62, 20, fields.Group, pad);
  Put(record, 82, 8, fields.Date, pad);
  auto number = [&record](std::size_t offset, std::size_t width, uint32_t value) {
    for (std::size_t i = 0; i < width; ++i) record[offset + i] = static_cast<char>(value >> 8 * i);
  };
  number(90, 4, fields.FileSize);
  number(94, 1, fields.DataType);
  number(95, 1, fields.FileType);
  for (std::size_t i = 0; i < 4; ++i) number(96 + 2 * i, 2, fields.TInfo[i]);
  number(104, 1, fields.Comments);
  number(105, 1, fields.TFlags);
  Put(record, 106, 22, fields.TInfoS, '\0');
  return record;
}

std::string CommentBlock(const std::vector<std::string_view>& lines) {
  std::string block = "COMNT";
  for (std::string_view line : lines) Put(block, block.size(), 64, line, ' ');
  return block;
}

}  // namespace tintrel::testkit
