// SPDX-License-Identifier: MIT
// Paths of any length: a path longer than the system takes in one call (PATH_MAX) is reached a
// piece at a time, each piece opened relative to the folder before it.
#pragma once

#include <sys/stat.h>

#include <string>

#include "io/file_handle.h"

namespace tintrel {

// stat(2) on a path of any length, links followed; errno tells why when it returns false.
bool StatLongPath(const std::string& path, struct stat& status);

// OpenForReading on a path of any length.
FileHandle OpenLongPath(const std::string& path, int extra_flags = 0);

// The folder at a path of any length, open for reading its entries; errno tells why when not.
FileHandle OpenFolder(int at, const std::string& name);

}  // namespace tintrel
