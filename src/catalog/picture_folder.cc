// SPDX-License-Identifier: MIT
#include "catalog/picture_folder.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "text/shown_name.h"

namespace tintrel {

bool MakePictureFolder(const std::string& folder, Messages& messages) {
  if (mkdir(folder.c_str(), 0777) == 0) return true;
  const int error = errno;
  if (struct stat status; error == EEXIST && stat(folder.c_str(), &status) == 0) {
    if (S_ISDIR(status.st_mode)) return true;
    Say(messages, "cannot make pictures in " + ShownName(folder) + ": " + std::strerror(ENOTDIR));
    return false;
  }
  Say(messages, "cannot make pictures in " + ShownName(folder) + ": " + std::strerror(error));
  return false;
}

std::string UrlPath(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url;
  for (unsigned char c : path) {
    if (std::isalnum(c) || std::strchr("-._~/", c) != nullptr) {
      url += static_cast<char>(c);
    } else {
      url += '%';
      url += kHex[c >> 4];
      url += kHex[c & 15];
    }
  }
  return url;
}

std::string PicturesFromPage(const std::string& folder, const std::string& page) {
  if (folder.empty()) return "";
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path from = fs::absolute(fs::path(page), error).parent_path();
  fs::path relative = fs::relative(fs::absolute(fs::path(folder), error), from, error);
  if (error || relative.empty()) relative = fs::absolute(fs::path(folder), error);
  return UrlPath(relative.generic_string()) + "/";
}

}  // namespace tintrel
