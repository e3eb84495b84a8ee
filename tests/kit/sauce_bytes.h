// SAUCE records built byte by byte, as an art file would end with them.
#pragma once

#include <string>
#include <string_view>

namespace tintrel::testkit {

struct SauceFields {
  std::string_view Title, Author, Group, Date;
  std::string_view Id = "SAUCE";
  std::string_view Version = "00";
};

// 128 bytes: each field at its offset, cut to its width and filled up with `pad`; the numbers
// behind the date are left 0.
std::string SauceBytes(const SauceFields& fields, char pad = ' ');

}  // namespace tintrel::testkit
