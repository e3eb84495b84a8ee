// The program entry: the command line, the existence check, the scan and the choice of output.
#pragma once

#include <string>
#include <string_view>

#include "output/output.h"

namespace tintrel {

// Runs one analysis for the command line and returns the exit status: 0 for every outcome the
// program handles, 217 after a fault that nothing handles.
int RunTintrel(int argc, const char* const* argv, Output& out);

void ShowUsage(Output& out);

enum class Switch { Help, Report, None };

// What an argument asks for: the whole word, in any case, must be a switch; anything else is
// ignored, the file name included.
Switch SwitchOf(std::string_view argument);

// True when the path, links followed, names something that exists and is not a directory.
bool PathExists(const std::string& path);

}  // namespace tintrel
