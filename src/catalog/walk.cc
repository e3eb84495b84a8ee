// SPDX-License-Identifier: MIT
#include "catalog/walk.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

namespace tintrel {

namespace {

// Where a file or folder is, whatever path leads to it.
struct FileId {
  dev_t Device;
  ino_t Inode;
  bool operator==(const FileId&) const = default;
};

struct Walker {
  const WalkPlan& Plan;
  const std::function<void(WalkItem&&)>& Take;
  std::vector<FileId> Open;     // the folders being walked, outermost first
  std::vector<FileId> Written;  // what the run writes
};

std::string Joined(const std::string& folder, const std::string& name) {
  return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

enum class Kind { File, Folder, Other };

struct Entry {
  std::string Path;
  Kind Type;
  // The name, with a "/" behind a folder's: sorted by it, the walk gives its paths in byte order.
  std::string Key;
};

void WalkFolder(Walker& walker, const std::string& folder, const struct stat& status);

bool IsWritten(const Walker& walker, const struct stat& status) {
  return std::find(walker.Written.begin(), walker.Written.end(),
                   FileId{status.st_dev, status.st_ino}) != walker.Written.end();
}

// What a path is when met inside a folder: links are passed over unless followed, and a link
// that leads nowhere is passed over like find -L passes it.
Kind KindInFolder(const Walker& walker, const std::string& path, unsigned char type) {
  struct stat status;
  if (type == DT_UNKNOWN || (type == DT_LNK && walker.Plan.Follow)) {
    int found = walker.Plan.Follow ? stat(path.c_str(), &status) : lstat(path.c_str(), &status);
    if (found != 0) return Kind::Other;
    if (S_ISREG(status.st_mode)) return Kind::File;
    return S_ISDIR(status.st_mode) ? Kind::Folder : Kind::Other;
  }
  if (type == DT_REG) return Kind::File;
  return type == DT_DIR ? Kind::Folder : Kind::Other;
}

// A path named by the user: links are followed, a folder is walked, anything else is a row.
void WalkNamed(Walker& walker, const std::string& path) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0) {
    walker.Take({path, std::string("cannot open: ") + std::strerror(errno)});
  } else if (S_ISDIR(status.st_mode)) {
    WalkFolder(walker, path, status);
  } else {
    walker.Take({path, ""});
  }
}

void WalkFolder(Walker& walker, const std::string& folder, const struct stat& status) {
  const FileId id{status.st_dev, status.st_ino};
  if (std::find(walker.Open.begin(), walker.Open.end(), id) != walker.Open.end()) {
    walker.Take({folder, "folder loop: it contains itself through a link"});
    return;
  }
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) {
    walker.Take({folder, std::string("cannot read folder: ") + std::strerror(errno)});
    return;
  }
  std::vector<Entry> entries;
  int error = 0;
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(dir);
    if (entry == nullptr) {
      error = errno;
      break;
    }
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = Joined(folder, name);
    Kind type = KindInFolder(walker, path, entry->d_type);
    if (struct stat file; type == Kind::File && name[0] == '.' && !walker.Written.empty() &&
                          stat(path.c_str(), &file) == 0 && IsWritten(walker, file))
      continue;
    if (type != Kind::Other)
      entries.push_back({path, type, type == Kind::Folder ? name + "/" : name});
  }
  closedir(dir);
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.Key < b.Key; });
  walker.Open.push_back(id);
  for (Entry& entry : entries) {
    if (entry.Type == Kind::File) {
      walker.Take({std::move(entry.Path), ""});
      continue;
    }
    struct stat inner;
    if (stat(entry.Path.c_str(), &inner) == 0 && S_ISDIR(inner.st_mode) &&
        !IsWritten(walker, inner))
      WalkFolder(walker, entry.Path, inner);
  }
  walker.Open.pop_back();
  if (error != 0) walker.Take({folder, std::string("cannot read folder: ") + std::strerror(error)});
}

}  // namespace

std::string Walk(const WalkPlan& plan, const std::function<void(WalkItem&&)>& take) {
  Walker walker{plan, take, {}, {}};
  for (const std::string& path : plan.Written) {
    if (struct stat status; stat(path.c_str(), &status) == 0)
      walker.Written.push_back({status.st_dev, status.st_ino});
  }
  for (const std::string& path : plan.Paths) WalkNamed(walker, path);
  if (plan.List == nullptr) return "";
  char* line = nullptr;
  std::size_t capacity = 0;
  const int end = plan.NulSeparated ? '\0' : '\n';
  for (ssize_t length; (length = getdelim(&line, &capacity, end, plan.List)) >= 0;) {
    std::string path(line, static_cast<std::size_t>(length));
    if (!path.empty() && path.back() == static_cast<char>(end)) path.pop_back();
    if (!path.empty()) WalkNamed(walker, path);
  }
  std::free(line);
  return std::ferror(plan.List) ? "cannot read " + plan.ListName : "";
}

}  // namespace tintrel
