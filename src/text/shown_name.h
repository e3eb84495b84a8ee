// SPDX-License-Identifier: MIT
// A name as a person reads it on a terminal: bytes that would act on the terminal (C0 and C1
// controls, DEL) or that are not UTF-8 are written as escapes, quoted the way GNU ls quotes such
// a name, so that pasting it into a shell names the same file.
#pragma once

#include <string>
#include <string_view>

namespace tintrel {

// The name unchanged when every byte of it is safe to show; otherwise the name in shell quotes,
// each unsafe byte as $'\NNN' (or $'\n' and the like), as in 'art'$'\033'']0;x'.
std::string ShownName(std::string_view name);

}  // namespace tintrel
