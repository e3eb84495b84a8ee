// SPDX-License-Identifier: MIT
// The tintrel entry: the command line, the existence check, the analysis and the choice of output.
#pragma once

#include <string_view>

#include "io/output.h"

namespace tintrel {

// The status of a run that ended with a fault that nothing handles.
inline constexpr int kUnhandledExitStatus = 217;

// Runs one analysis for the command line and returns the exit status: 0 for every outcome the
// program handles, 217 after a fault that nothing handles. Everything goes to `out`.
int RunTintrel(int argc, const char* const* argv, Output& out);

void ShowUsage(Output& out);

enum class Switch { Help, Report, None };

// What an argument asks for: the whole word, in any case, must be a switch; anything else is
// ignored, the file name included.
Switch SwitchOf(std::string_view argument);

}  // namespace tintrel
