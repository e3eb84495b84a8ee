// SPDX-License-Identifier: MIT
// MD5 over several files at once, each in a 32-bit lane of the vector registers: eight lanes with
// AVX2, four with SSE2, whichever the processor runs, or twice as many in two chains; in a build
// without SIMD, one lane (or two) through Nettle's block function. A catalogue worker holds small
// files whole in memory, keeps a lane busy with each, hands a lane the next file as soon as the one
// in it ends, and gets both digests of a file, that of all its bytes and that of a prefix (the art
// in front of the first byte 26), from one pass over its bytes. The digests are Nettle's md5, byte
// for byte.
//
//   Md5LaneSet lanes;
//   std::array<Md5Done, kMaxMd5Lanes> done;
//   while (more files or some in flight) {
//     while (FreeMd5Lanes(lanes) > 0 && more files) AddMd5Job(lanes, {bytes, size, art, tag});
//     for (std::size_t i = 0, n = RunMd5Lanes(lanes, done); i < n; ++i) use(done[i]);
//   }
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "meta/file_digest.h"

namespace tintrel {

inline constexpr std::size_t kMaxMd5Lanes = 16;

// The kinds of lane set, narrowest first: one lane through Nettle, four with SSE2, eight with
// AVX2, and eight with AVX-512's rotation and three-way logic on the same registers.
enum class Md5Lanes : uint8_t { Scalar, Sse2, Avx2, Avx512 };

// The widest kind this processor runs; Scalar in a build without SIMD.
Md5Lanes BestMd5Lanes();

// How many files a kind keeps in flight in one chain (1, 4, 8 or 8) or in `chains` chains.
std::size_t Md5LaneWidth(Md5Lanes kind, std::size_t chains = 1);

// A file to digest. Its bytes stay where they are, unchanged, until its Md5Done comes back.
struct Md5Job {
  const uint8_t* Bytes = nullptr;
  std::size_t Size = 0;
  std::size_t PrefixSize = 0;  // the prefix digested too; one longer than Size means all of it
  uint64_t Tag = 0;            // the caller's, handed back with the digests
};

struct Md5Done {
  uint64_t Tag = 0;
  Digest Whole{};   // all Size bytes
  Digest Prefix{};  // the first PrefixSize bytes
};

// Where a lane is in its file: in the file's own whole blocks, or in the last block or two of the
// prefix or of the whole file, which it builds with their padding in Tail.
enum class Md5Phase : uint8_t { Idle, Body, PrefixTail, Tail };

struct Md5Lane {
  Md5Job Job;
  Md5Phase Phase = Md5Phase::Idle;
  bool PrefixDone = false;             // Prefix holds the prefix's digest
  std::size_t Fed = 0;                 // bytes of the file gone through whole blocks
  const uint8_t* Next = nullptr;       // the next block
  std::size_t BlocksLeft = 0;          // in this phase, Next's included
  std::array<uint32_t, 4> AtPrefix{};  // the state after the prefix's last whole block
  Digest Prefix{};
  alignas(16) std::array<uint8_t, 128> Tail{};
};

struct Md5LaneSet {
  // A kind this processor does not run gives the widest it does. Two chains keep twice the files
  // in flight, in two sets of lanes whose steps do not wait on each other: faster where each
  // vector instruction's result comes later than the next could start (1.6 times on a processor
  // whose vector additions take two cycles).
  explicit Md5LaneSet(Md5Lanes kind = BestMd5Lanes(), std::size_t chains = 1);

  Md5Lanes Kind;
  std::size_t Chains;  // 1 or 2
  std::size_t Width;   // files in flight
  // Word w of lane i at [w * kMaxMd5Lanes + i]: each word of all the lanes side by side, as the
  // vector registers hold them.
  alignas(64) std::array<uint32_t, 4 * kMaxMd5Lanes> State{};
  std::array<Md5Lane, kMaxMd5Lanes> Lanes{};
};

// How many more jobs AddMd5Job takes now.
std::size_t FreeMd5Lanes(const Md5LaneSet& lanes);

// Puts the job in a free lane; false, and nothing done, when there is none.
bool AddMd5Job(Md5LaneSet& lanes, const Md5Job& job);

// Runs the lanes until at least one job has ended, and writes the ended jobs' digests to `done`;
// returns how many. 0 when no job is in flight.
std::size_t RunMd5Lanes(Md5LaneSet& lanes, std::array<Md5Done, kMaxMd5Lanes>& done);

}  // namespace tintrel
