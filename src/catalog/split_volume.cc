// SPDX-License-Identifier: MIT
#include "catalog/split_volume.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
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

// The last kLongestTail bytes of the file, from `held` or read.
std::vector<uint8_t> Tail(const FileHandle& file, uint64_t size, std::span<const uint8_t> held,
                          const std::string& path) {
  const uint64_t want = std::min<uint64_t>(size, kLongestTail);
  if (!held.empty()) {
    const auto last = held.last(static_cast<std::size_t>(want));
    return {last.begin(), last.end()};
  }
  std::vector<uint8_t> tail(static_cast<std::size_t>(want));
  tail.resize(ReadAt(file, tail.data(), tail.size(), size - want, path));
  return tail;
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
    std::vector<uint8_t> head(held.begin(), held.begin() + std::min<std::size_t>(held.size(), 4));
    if (held.empty()) {
      head.resize(4);
      head.resize(ReadAt(file, head.data(), head.size(), 0, path));
    }
    if (EndsAsLastVolume(Tail(file, size, held, path))) return kVolume;
    if (head.size() == 4 && std::memcmp(head.data(), "PK\x07\x08", 4) == 0) return kVolume;
    if (const std::string last = LastVolumeBeside(path); !last.empty()) {
      FileHandle beside = OpenLongPath(last, O_NONBLOCK);
      struct stat status;
      if (beside.IsOpen() && fstat(beside.Fd, &status) == 0 && S_ISREG(status.st_mode) &&
          EndsAsLastVolume(Tail(beside, static_cast<uint64_t>(status.st_size), {}, last)))
        return kVolume;
    }
  } catch (const Fault&) {
    // A file that cannot be read here says so when its analysis reads it.
  }
  return "";
}

}  // namespace tintrel
