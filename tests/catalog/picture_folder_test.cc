// SPDX-License-Identifier: MIT
#include "catalog/picture_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace tintrel {
namespace {

namespace fs = std::filesystem;

// Only the pictures no row names go: files of other names, links, and what is below the folder
// stay, whatever their names.
TEST(PictureFolder, RemovesOnlyUnnamedPicturesOfTheFolderItself) {
  const std::string kept(32, 'a'), orphan(32, '0'), other(32, 'b'), linked(32, 'c');
  enum Kind { kFile, kLink, kFolder };
  struct Case {
    std::string name;
    Kind kind;
    bool stays;
  } cases[] = {
      {kept + ".png", kFile, true},
      {orphan + ".png", kFile, false},  // named by a row, by none
      {"0123456789abcdef0123456789abcdef.png", kFile, false},
      {"0123456789ABCDEF0123456789ABCDEF.png", kFile, true},  // not as a run names them
      {orphan + ".PNG", kFile, true},
      {orphan.substr(1) + ".png", kFile, true},
      {orphan + "0.png", kFile, true},
      {orphan + ".png.bak", kFile, true},
      {"notes.txt", kFile, true},
      {linked + ".png", kLink, true},  // never followed
      {other + ".png", kFolder, true},
      {"sub/" + orphan + ".png", kFile, true},  // below
  };
  char pattern[] = "/tmp/picture_folder_XXXXXX";
  const fs::path root = mkdtemp(pattern);
  const fs::path folder = root / "pictures";
  fs::create_directories(folder / "sub");
  std::ofstream(root / "outside.png") << "picture";
  for (const Case& c : cases) {
    if (c.kind == kFile) std::ofstream(folder / c.name) << "picture";
    if (c.kind == kLink) fs::create_symlink(root / "outside.png", folder / c.name);
    if (c.kind == kFolder) fs::create_directory(folder / c.name);
  }
  std::string failure;
  EXPECT_EQ(RemoveOrphanPictures(folder.string(), {kept + ".png"}, failure), 2u);
  EXPECT_EQ(failure, "");
  for (const Case& c : cases)
    EXPECT_EQ(fs::symlink_status(folder / c.name).type() != fs::file_type::not_found, c.stays)
        << c.name;
  EXPECT_TRUE(fs::exists(root / "outside.png"));
  EXPECT_EQ(RemoveOrphanPictures((root / "missing").string(), {}, failure), 0u);
  EXPECT_NE(failure.find("cannot read"), std::string::npos) << failure;
  fs::remove_all(root);
}

}  // namespace
}  // namespace tintrel
