// SPDX-License-Identifier: MIT
// Any bytes cut into several files, each with a prefix length, digested in lanes by every kind the
// processor runs, in one chain and in two, a free lane taking the next file as soon as its own
// ends: any digest of a file or of its prefix that differs from Nettle's md5, or a file that comes
// back twice or never, aborts. The first byte says how many files; before each file stand four
// bytes, its length and its prefix length, each taken modulo what can be.
#include <nettle/md5.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "meta/md5_lanes.h"

namespace tintrel {
namespace {

struct File {
  std::vector<uint8_t> Bytes;  // on the heap, exactly this long, so that an overread is caught
  std::size_t PrefixSize;
};

std::vector<File> Cut(const uint8_t* data, std::size_t size) {
  std::vector<File> files;
  if (size == 0) return files;
  const std::size_t count = 1 + data[0] % 24;
  std::size_t at = 1;
  while (files.size() < count && at + 4 <= size) {
    const std::size_t left = size - at - 4;
    const std::size_t length = (data[at] | data[at + 1] << 8) % (left + 1);
    // Up to one past the length: a prefix longer than the file is all of it.
    const std::size_t prefix = (data[at + 2] | data[at + 3] << 8) % (length + 2);
    at += 4;
    files.push_back({std::vector<uint8_t>(data + at, data + at + length), prefix});
    at += length;
  }
  return files;
}

Digest NettleDigest(const std::vector<uint8_t>& bytes, std::size_t size) {
  md5_ctx context;
  md5_init(&context);
  md5_update(&context, size, bytes.data());
  Digest digest;
  md5_digest(&context, digest.size(), digest.data());
  return digest;
}

void Check(bool holds, const Md5LaneSet& lanes, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "md5 lanes of kind %d in %zu chains: %s\n", static_cast<int>(lanes.Kind),
               lanes.Chains, what);
  std::abort();
}

void DigestInLanes(Md5Lanes kind, std::size_t chains, const std::vector<File>& files) {
  Md5LaneSet lanes(kind, chains);
  Check(lanes.Kind == kind && lanes.Chains == chains, lanes, "not the kind asked for");
  std::vector<int> returned(files.size());
  std::array<Md5Done, kMaxMd5Lanes> done;
  std::size_t next = 0, ended = 0;
  do {
    for (; next < files.size() && FreeMd5Lanes(lanes) > 0; ++next) {
      const File& file = files[next];
      Check(AddMd5Job(lanes, {file.Bytes.data(), file.Bytes.size(), file.PrefixSize, next}), lanes,
            "a free lane refused a job");
    }
    ended = RunMd5Lanes(lanes, done);
    Check(ended > 0 || next == files.size(), lanes, "no job ended while some were waiting");
    for (std::size_t i = 0; i < ended; ++i) {
      const File& file = files.at(done[i].Tag);
      ++returned[done[i].Tag];
      const std::size_t prefix = std::min(file.PrefixSize, file.Bytes.size());
      Check(done[i].Whole == NettleDigest(file.Bytes, file.Bytes.size()), lanes, "whole digest");
      Check(done[i].Prefix == NettleDigest(file.Bytes, prefix), lanes, "prefix digest");
    }
  } while (ended > 0);
  for (int times : returned) Check(times == 1, lanes, "a job came back twice or never");
}

}  // namespace
}  // namespace tintrel

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace tintrel;
  const std::vector<File> files = Cut(data, size);
  for (Md5Lanes kind : {Md5Lanes::Scalar, Md5Lanes::Sse2, Md5Lanes::Avx2, Md5Lanes::Avx512})
    for (std::size_t chains : {1, 2})
      if (kind <= BestMd5Lanes()) DigestInLanes(kind, chains, files);
  return 0;
}
