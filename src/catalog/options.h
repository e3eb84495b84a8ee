// SPDX-License-Identifier: MIT
// The command line of tintrel-catalog.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalog/table.h"

namespace tintrel {

struct CatalogOptions {
  std::vector<std::string> Paths;
  std::string FilesFrom;      // empty: no list; "-": standard input
  bool NulSeparated = false;  // -0
  bool Follow = false;        // -L
  TableFormat Format = TableFormat::Csv;
  std::string OutputPath;                  // empty: standard output
  bool Update = false;                     // --update: a database keeps the rows of unchanged files
  unsigned Jobs = 0;                       // 0: the number of processors
  bool OpenPacks = true;                   // --no-packs: every pack is a plain file
  uint64_t PackLimit = uint64_t{4} << 30;  // --pack-limit: bytes one pack may expand to
  std::string ThumbnailDir;       // --thumbnails: a picture of each distinct art in this folder
  uint32_t ThumbnailWidth = 320;  // 0: one pixel per font pixel
  std::string PictureDir;         // --pictures: each distinct art whole in this folder
  uint32_t PictureScale = 1;      // --picture-scale: each font pixel this many pixels square
  bool Aspect = true;             // --no-aspect: square pixels whatever the record asks
  std::string PagePath;           // --html: the gallery page
  std::string ComparePath;        // --compare: the database the files are looked up in
  enum class Progress { WhenTerminal, On, Off } ShowProgress = Progress::WhenTerminal;
  bool Help = false, Version = false;
};

// Reads the arguments after the program name. Returns an empty text, or what is wrong with them.
std::string ParseCatalogOptions(const std::vector<std::string>& args, CatalogOptions& options);

// The text of --help.
std::string CatalogHelp();

}  // namespace tintrel
