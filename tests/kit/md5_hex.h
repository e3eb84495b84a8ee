// SPDX-License-Identifier: MIT
// The MD5 of bytes in memory, as 32 lowercase hex digits: what the tool must print for a file
// holding exactly those bytes.
#pragma once

#include <string>
#include <string_view>

namespace tintrel::testkit {

std::string Md5Hex(std::string_view bytes);

}  // namespace tintrel::testkit
