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
  return record;
}

}  // namespace tintrel::testkit
