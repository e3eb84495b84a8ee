// SPDX-License-Identifier: MIT
#include "catalog/walk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

#include "io/long_path.h"
#include "text/shown_name.h"

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

std::string Reason(const char* what, int error) {
  return std::string(what) + ": " + std::strerror(error);
}

enum class Kind { File, Folder, Other, Unreachable };

struct Entry {
  std::string Name;
  Kind Type;
  // The name, with a "/" behind a folder's: sorted by it, the walk gives its paths in byte order.
  std::string Key;
  std::string Error;  // an unreachable entry's
};

void WalkFolder(Walker& walker, int at, const std::string& name, std::string& path,
                const struct stat& status);

bool IsWritten(const Walker& walker, const struct stat& status) {
  return std::find(walker.Written.begin(), walker.Written.end(),
                   FileId{status.st_dev, status.st_ino}) != walker.Written.end();
}

// What an entry of the open folder is: links are passed over unless followed, and a followed
// link that leads nowhere, or round in a loop, is unreachable, as it is when named.
Kind KindInFolder(const Walker& walker, int folder, const char* name, unsigned char type,
                  int& error) {
  struct stat status;
  if (type == DT_UNKNOWN || (type == DT_LNK && walker.Plan.Follow)) {
    const int flags = walker.Plan.Follow ? 0 : AT_SYMLINK_NOFOLLOW;
    if (fstatat(folder, name, &status, flags) != 0) {
      error = errno;
      return walker.Plan.Follow || error != ENOENT ? Kind::Unreachable : Kind::Other;
    }
    if (S_ISREG(status.st_mode)) return Kind::File;
    return S_ISDIR(status.st_mode) ? Kind::Folder : Kind::Other;
  }
  if (type == DT_REG) return Kind::File;
  return type == DT_DIR ? Kind::Folder : Kind::Other;
}

// A path named by the user: links are followed, a folder is walked, anything else is a row.
void WalkNamed(Walker& walker, const std::string& path) {
  struct stat status;
  if (!StatLongPath(path, status)) {
    walker.Take({path, Reason("cannot open", errno)});
  } else if (S_ISDIR(status.st_mode)) {
    std::string inner_path = path;
    WalkFolder(walker, AT_FDCWD, path, inner_path, status);
  } else {
    walker.Take({path, ""});
  }
}

// Reads the entries of the open folder; the system's error number when the reading stopped short.
int ReadEntries(Walker& walker, const FileHandle& folder, std::vector<Entry>& entries) {
  DIR* dir = fdopendir(dup(folder.Fd));
  if (dir == nullptr) return errno;
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
    int unreachable = 0;
    Kind type = KindInFolder(walker, folder.Fd, name.c_str(), entry->d_type, unreachable);
    if (struct stat file; type == Kind::File && name[0] == '.' && !walker.Written.empty() &&
                          fstatat(folder.Fd, name.c_str(), &file, 0) == 0 &&
                          IsWritten(walker, file))
      continue;
    if (type == Kind::Unreachable)
      entries.push_back({name, type, name, Reason("cannot open", unreachable)});
    else if (type != Kind::Other)
      entries.push_back({name, type, type == Kind::Folder ? name + "/" : name, ""});
  }
  closedir(dir);
  return error;
}

// The folder `name`, opened relative to the folder `at`: no path is ever longer than one name,
// however deep the tree. `path` names it for the rows; the folders inside lengthen it in turn and
// leave it as it was, so that a deep tree holds one path, not one for each of its folders.
void WalkFolder(Walker& walker, int at, const std::string& name, std::string& path,
                const struct stat& status) {
  const FileId id{status.st_dev, status.st_ino};
  if (std::find(walker.Open.begin(), walker.Open.end(), id) != walker.Open.end()) {
    walker.Take({path, "folder loop: it contains itself through a link"});
    return;
  }
  const FileHandle folder = OpenFolder(at, name);
  if (!folder.IsOpen()) {
    walker.Take({path, Reason("cannot read folder", errno)});
    return;
  }
  std::vector<Entry> entries;
  const int error = ReadEntries(walker, folder, entries);
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.Key < b.Key; });
  walker.Open.push_back(id);
  const std::size_t own = path.size();
  for (Entry& entry : entries) {
    path.resize(own);
    if (own > 0 && path.back() != '/') path += '/';
    path += entry.Name;
    if (entry.Type != Kind::Folder) {
      walker.Take({path, std::move(entry.Error)});
      continue;
    }
    struct stat inner;
    if (fstatat(folder.Fd, entry.Name.c_str(), &inner, 0) != 0)
      walker.Take({path, Reason("cannot read folder", errno)});
    else if (S_ISDIR(inner.st_mode) && !IsWritten(walker, inner))
      WalkFolder(walker, folder.Fd, entry.Name, path, inner);
  }
  path.resize(own);
  walker.Open.pop_back();
  if (error != 0) walker.Take({path, Reason("cannot read folder", error)});
}

// A tree a thousand folders deep holds a descriptor for each: the soft limit on open files is
// raised as far as the hard one lets it, and a folder past even that gets its error row.
void AllowManyOpenFiles() {
  struct rlimit limit;
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == limit.rlim_max) return;
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
}

}  // namespace

std::string Walk(const WalkPlan& plan, const std::function<void(WalkItem&&)>& take) {
  AllowManyOpenFiles();
  Walker walker{plan, take, {}, {}};
  for (const std::string& path : plan.Written) {
    if (struct stat status; StatLongPath(path, status))
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
  return std::ferror(plan.List) ? "cannot read " + ShownName(plan.ListName) : "";
}

}  // namespace tintrel
