// SPDX-License-Identifier: MIT
#include "catalog/split_volume.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "io/fault.h"
#include "io/long_path.h"

namespace tintrel {

namespace {

constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kLongestTail = kEndRecordSize + 0xffff;  // the record and its comment

uint16_t Get16(const uint8_t* at) {
  return static_cast<uint16_t>(at[0] | at[1] << 8);
}

// Whether the bytes end with a zip's end record that numbers its disk, or the directory's, above 0.
bool EndsAsLastVolume(std::span<const uint8_t> tail) {
  if (tail.size() < kEndRecordSize) return false;
  std::size_t end = tail.size() - kEndRecordSize + 1;
  while (const void* found = memrchr(tail.data(), 'P', end)) {
    const auto at = static_cast<std::size_t>(static_cast<const uint8_t*>(found) - tail.data());
    const uint8_t* record = tail.data() + at;
    if (std::memcmp(record, "PK\x05\x06", 4) == 0 &&
        at + kEndRecordSize + Get16(record + 20) == tail.size())
      return Get16(record + 4) != 0 || Get16(record + 6) != 0;
    end = at;
  }
  return false;
}

// The last `longest` bytes of the file: of `held` when it is all of the file, else read into
// `read`.
std::span<const uint8_t> Tail(const FileHandle& file, uint64_t size, std::span<const uint8_t> held,
                              std::size_t longest, std::vector<uint8_t>& read,
                              const std::string& path) {
  const uint64_t want = std::min<uint64_t>(size, longest);
  if (!held.empty()) return held.last(static_cast<std::size_t>(want));
  read.resize(static_cast<std::size_t>(want));
  read.resize(ReadAt(file, read.data(), read.size(), size - want, path));
  return read;
}

// How far back from the end a record is looked for. Without a comment the record is the file's last
// 22 bytes, looked at in any file; one after a comment is searched for through up to 64 KiB, so
// only in a file named as the last volume is, not in every art file.
std::size_t LongestTail(const std::string& path) {
  const bool named_zip =
      path.size() >= 4 && strcasecmp(path.c_str() + path.size() - 4, ".zip") == 0;
  return named_zip ? kLongestTail : kEndRecordSize;
}

// "art.z07" beside "art.zip": the stem's last volume, when the name is that of one between.
std::string LastVolumeBeside(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || path.size() - dot < 4 || (path[dot + 1] | 0x20) != 'z') return "";
  for (std::size_t at = dot + 2; at < path.size(); ++at) {
    if (path[at] < '0' || path[at] > '9') return "";
  }
  return path.substr(0, dot) + (path[dot + 1] == 'Z' ? ".ZIP" : ".zip");
}

}  // namespace

std::string SplitZipVolume(const std::string& path, const FileHandle& file, uint64_t size,
                           std::span<const uint8_t> held) {
  static const std::string kVolume =
      "unsupported: a volume of a split zip (zip -s); join the volumes with zip -s 0 to read them";
  try {
    std::array<uint8_t, 4> head{};
    std::size_t got = std::min(held.size(), head.size());
    std::copy_n(held.begin(), got, head.begin());
    if (held.empty()) got = ReadAt(file, head.data(), head.size(), 0, path);
    if (got == 4 && std::memcmp(head.data(), "PK\x07\x08", 4) == 0) return kVolume;
    std::vector<uint8_t> read;
    if (EndsAsLastVolume(Tail(file, size, held, LongestTail(path), read, path))) return kVolume;
    if (const std::string last = LastVolumeBeside(path); !last.empty()) {
      FileHandle beside = OpenLongPath(last, O_NONBLOCK);
      struct stat status;
      if (beside.IsOpen() && fstat(beside.Fd, &status) == 0 && S_ISREG(status.st_mode) &&
          EndsAsLastVolume(
              Tail(beside, static_cast<uint64_t>(status.st_size), {}, kLongestTail, read, last)))
        return kVolume;
    }
  } catch (const Fault&) {
    // A file that cannot be read here says so when its analysis reads it.
  }
  return "";
}

}  // namespace tintrel
