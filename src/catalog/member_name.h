// SPDX-License-Identifier: MIT
// A member's name as its rows give it: a pack may name a member with megabytes, and every row,
// message and nested path would carry them all; past kLongestMemberName bytes it is cut.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tintrel {

inline constexpr std::size_t kLongestMemberName = 4096;

// The name as stored, each NUL byte in it shown as U+2400 (the symbol for NUL), and cut to
// kLongestMemberName bytes at a character's start when it is longer; `warning` then says so for
// the member's row, and is emptied otherwise.
std::string CutMemberName(std::string_view stored, std::string& warning);

}  // namespace tintrel
