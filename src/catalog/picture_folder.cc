// SPDX-License-Identifier: MIT
#include "catalog/picture_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

bool IsPictureName(std::string_view name) {
  constexpr std::string_view kSuffix = ".png";
  if (name.size() != 32 + kSuffix.size() || !name.ends_with(kSuffix)) return false;
  return std::all_of(name.begin(), name.end() - kSuffix.size(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

uint64_t RemoveOrphanPictures(const std::string& folder,
                              const std::unordered_set<std::string>& named, std::string& failure) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* listing = fd < 0 ? nullptr : fdopendir(fd);
  if (listing == nullptr) {
    failure = "cannot read " + ShownName(folder) + ": " + std::strerror(errno);
    if (fd >= 0) close(fd);
    return 0;
  }
  uint64_t removed = 0;
  while (const dirent* entry = readdir(listing)) {
    const std::string_view name = entry->d_name;
    struct stat status;
    if (!IsPictureName(name) || named.contains(std::string(name)) ||
        fstatat(fd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(status.st_mode))
      continue;
    if (unlinkat(fd, entry->d_name, 0) == 0) {
      ++removed;
    } else if (failure.empty()) {
      failure = "cannot remove " + ShownName(folder + "/" + std::string(name)) + ": " +
                std::strerror(errno);
    }
  }
  closedir(listing);
  return removed;
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
