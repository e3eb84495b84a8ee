// SPDX-License-Identifier: MIT
// UTF-8 as it is checked before text is trusted to be it: no overlong forms, no surrogates,
// nothing above U+10FFFF.
#pragma once

#include <cstddef>
#include <string_view>

namespace tintrel {

// The length of the valid UTF-8 sequence at the start of `bytes`, or 0 when there is none.
std::size_t Utf8SequenceAt(std::string_view bytes);

// Whether the bytes are valid UTF-8.
bool IsUtf8(std::string_view bytes);

}  // namespace tintrel
