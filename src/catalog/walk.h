// SPDX-License-Identifier: MIT
// The files of a catalogue run, in the order of its rows: the paths named on the command line in
// their order, then those of the list (--files-from) in its order. A folder among them is walked
// like find -type f: every regular file below it, hidden ones included, in byte order of their
// paths; symbolic links inside it are passed over unless they are to be followed.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace tintrel {

struct WalkItem {
  std::string Path;
  std::string Error;  // set: the path could not be walked, and its row says why
};

struct WalkPlan {
  std::vector<std::string> Paths;  // named on the command line
  std::FILE* List = nullptr;       // a list of paths (--files-from), read to its end
  std::string ListName;            // the list as messages name it
  bool NulSeparated = false;       // the list's paths end with NUL bytes, not line feeds
  bool Follow = false;             // follow symbolic links inside folders
  // What the run writes, where the walk may meet it: the temporary files of the table and the
  // gallery page, whose hidden names are all that is looked at for them, and the pictures'
  // folder. None of it is art.
  std::vector<std::string> Written;
};

// Hands every item to `take`, in order. Returns an error message when the list of paths failed
// to read, the walk having gone as far as it could; an empty text otherwise.
std::string Walk(const WalkPlan& plan, const std::function<void(WalkItem&&)>& take);

}  // namespace tintrel
