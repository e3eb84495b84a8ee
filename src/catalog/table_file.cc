// SPDX-License-Identifier: MIT
#include "catalog/table_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "text/shown_name.h"

namespace tintrel {

namespace {

// The temporary files an interrupt must remove, the table's and the gallery page's; a signal
// handler can only reach them here.
char interrupted_files[2][PATH_MAX] = {};

void RemoveTableAndDie(int signal_number) {
  for (const char* path : interrupted_files) {
    if (path[0] != '\0') unlink(path);
  }
  // The handler was reset on entry, so this ends the process as the signal would have.
  raise(signal_number);
}

// The signal noted while a table is changed in place; 0 while none came.
volatile sig_atomic_t noted_signal = 0;

// Whether signals are noted rather than ending the process: the run then ends itself, and the
// temporary files go as their owners do.
bool noting = false;

void NoteSignal(int signal_number) {
  noted_signal = signal_number;
}

void HandleInterrupts(void (*handler)(int), int flags) {
  struct sigaction action {};
  action.sa_handler = handler;
  action.sa_flags = flags;
  sigemptyset(&action.sa_mask);
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE})
    sigaction(signal_number, &action, nullptr);
}

// Returns the slot the path took, or -1 when none is free.
int RemoveOnInterrupt(const std::string& temp_path) {
  int slot = 0;
  while (slot < 2 && interrupted_files[slot][0] != '\0') ++slot;
  if (slot == 2 || temp_path.size() >= PATH_MAX) return -1;
  std::memcpy(interrupted_files[slot], temp_path.c_str(), temp_path.size() + 1);
  if (!noting) HandleInterrupts(RemoveTableAndDie, SA_RESETHAND);
  return slot;
}

void ForgetOnInterrupt(int slot) {
  if (slot >= 0) interrupted_files[slot][0] = '\0';
}

std::string Failure(const std::string& what, int error_number) {
  return what + ": " + std::strerror(error_number);
}

}  // namespace

TableFile::~TableFile() {
  if (TempPath.empty()) return;
  ForgetOnInterrupt(Slot);
  unlink(TempPath.c_str());
  if (Fd >= 0) close(Fd);
}

std::string OpenTableFile(TableFile& table, const std::string& path) {
  table.Path = path;
  if (path.empty()) {
    table.Fd = STDOUT_FILENO;
    return "";
  }
  if (struct stat status; stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
    if (S_ISDIR(status.st_mode)) return Failure("cannot write " + ShownName(path), EISDIR);
    // A device or a pipe (/dev/null, >(gzip)) is written as it is: a file renamed over it would
    // take its place.
    table.Fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    return table.Fd < 0 ? Failure("cannot write " + ShownName(path), errno) : "";
  }
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string temp = folder + "." + base + ".XXXXXX";
  table.Fd = mkostemp(temp.data(), O_CLOEXEC);
  if (table.Fd < 0) return Failure("cannot write " + ShownName(path), errno);
  table.TempPath = temp;
  table.Slot = RemoveOnInterrupt(temp);
  // The file gets the permissions a new file made by the shell would get, not mkstemp's 0600.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(table.Fd, 0666 & ~mask);
  return "";
}

std::string CommitTableFile(TableFile& table) {
  if (table.TempPath.empty()) return "";
  const int fd = table.Fd;
  table.Fd = -1;
  if (fsync(fd) != 0 && errno != EINVAL) {
    const int error = errno;
    close(fd);
    return Failure("cannot write " + ShownName(table.Path), error);
  }
  if (close(fd) != 0) return Failure("cannot write " + ShownName(table.Path), errno);
  if (rename(table.TempPath.c_str(), table.Path.c_str()) != 0)
    return Failure("cannot write " + ShownName(table.Path), errno);
  ForgetOnInterrupt(table.Slot);
  table.TempPath.clear();
  return "";
}

std::string TableName(const TableFile& table) {
  return table.Path.empty() ? "standard output" : table.Path;
}

void NoteInterrupts() {
  noting = true;
  HandleInterrupts(NoteSignal, SA_RESTART);
}

bool Interrupted() {
  return noted_signal != 0;
}

void EndByInterrupt() {
  for (const char* path : interrupted_files) {
    if (path[0] != '\0') unlink(path);
  }
  const int signal_number = noted_signal;
  signal(signal_number, SIG_DFL);
  raise(signal_number);
  _exit(128 + signal_number);  // the signal was blocked or ignored when the run began
}

}  // namespace tintrel
