// SPDX-License-Identifier: MIT
#include "meta/md5_lanes.h"

#include <nettle/md5.h>

#include <algorithm>
#include <cstring>

#include "meta/md5_rounds.h"
#include "simd/processor.h"

namespace tintrel {

namespace {

using md5rounds::kBlockSize;

constexpr std::array<uint32_t, 4> kInitialState = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};

// Each lane in turn, a block at a time, through Nettle.
void CompressEachLane(uint32_t* state, std::size_t width, const uint8_t* const* blocks,
                      std::size_t count) {
  for (std::size_t lane = 0; lane < width; ++lane) {
    uint32_t words[4];
    for (std::size_t w = 0; w < 4; ++w) words[w] = state[w * kMaxMd5Lanes + lane];
    for (std::size_t i = 0; i < count; ++i)
      nettle_md5_compress(words, blocks[lane] + i * kBlockSize);
    for (std::size_t w = 0; w < 4; ++w) state[w * kMaxMd5Lanes + lane] = words[w];
  }
}

#if TINTREL_SSE2
template <typename Ops>
[[gnu::always_inline]] inline void CompressChains(uint32_t* state, std::size_t chains,
                                                  const uint8_t* const* blocks, std::size_t count) {
  if (chains == 2) {
    md5rounds::CompressLanes<md5rounds::Twice<Ops>>(state, kMaxMd5Lanes, blocks, count);
  } else {
    md5rounds::CompressLanes<Ops>(state, kMaxMd5Lanes, blocks, count);
  }
}

void CompressSse2(uint32_t* state, std::size_t chains, const uint8_t* const* blocks,
                  std::size_t count) {
  CompressChains<md5rounds::Sse2>(state, chains, blocks, count);
}

[[TINTREL_TARGET_AVX2]] void CompressAvx2(uint32_t* state, std::size_t chains,
                                          const uint8_t* const* blocks, std::size_t count) {
  CompressChains<md5rounds::Avx2>(state, chains, blocks, count);
}

[[TINTREL_TARGET_AVX512VL]] void CompressAvx512(uint32_t* state, std::size_t chains,
                                                const uint8_t* const* blocks, std::size_t count) {
  CompressChains<md5rounds::Avx512>(state, chains, blocks, count);
}
#endif

void Compress(Md5LaneSet& lanes, const uint8_t* const* blocks, std::size_t count) {
  uint32_t* state = lanes.State.data();
  switch (lanes.Kind) {
#if TINTREL_SSE2
    case Md5Lanes::Avx512: return CompressAvx512(state, lanes.Chains, blocks, count);
    case Md5Lanes::Avx2: return CompressAvx2(state, lanes.Chains, blocks, count);
    case Md5Lanes::Sse2: return CompressSse2(state, lanes.Chains, blocks, count);
#endif
    default: return CompressEachLane(state, lanes.Width, blocks, count);
  }
}

std::array<uint32_t, 4> LaneState(const Md5LaneSet& lanes, std::size_t lane) {
  std::array<uint32_t, 4> words;
  for (std::size_t w = 0; w < 4; ++w) words[w] = lanes.State[w * kMaxMd5Lanes + lane];
  return words;
}

void SetLaneState(Md5LaneSet& lanes, std::size_t lane, const std::array<uint32_t, 4>& words) {
  for (std::size_t w = 0; w < 4; ++w) lanes.State[w * kMaxMd5Lanes + lane] = words[w];
}

// The state words, low byte first, as Nettle writes them.
Digest LaneDigest(const Md5LaneSet& lanes, std::size_t lane) {
  Digest digest;
  const std::array<uint32_t, 4> words = LaneState(lanes, lane);
  for (std::size_t i = 0; i < digest.size(); ++i)
    digest[i] = static_cast<uint8_t>(words[i / 4] >> (8 * (i % 4)));
  return digest;
}

void StartBody(Md5Lane& lane, std::size_t end) {
  lane.Phase = Md5Phase::Body;
  lane.Next = lane.Job.Bytes + lane.Fed;
  lane.BlocksLeft = (end - lane.Fed) / kBlockSize;
}

// The last bytes of a message of `size` bytes, past its whole blocks, then the padding: byte 128,
// zeros, and the size in bits, low byte first, in the last eight bytes of the block.
void StartTail(Md5Lane& lane, Md5Phase phase, std::size_t size) {
  const std::size_t rest = size % kBlockSize;
  const std::size_t blocks = rest < kBlockSize - 8 ? 1 : 2;
  lane.Tail.fill(0);
  if (rest > 0) std::memcpy(lane.Tail.data(), lane.Job.Bytes + (size - rest), rest);
  lane.Tail[rest] = 0x80;
  const uint64_t bits = static_cast<uint64_t>(size) * 8;
  for (std::size_t i = 0; i < 8; ++i)
    lane.Tail[blocks * kBlockSize - 8 + i] = static_cast<uint8_t>(bits >> (8 * i));
  lane.Phase = phase;
  lane.Next = lane.Tail.data();
  lane.BlocksLeft = blocks;
}

// Sets the lane on its next phase that has blocks to run, after the one it has just finished;
// when that was the last, fills `done` and frees the lane, and returns true. The prefix's tail
// runs from the state after the prefix's last whole block, which is then put back for the rest.
bool StartNextPhase(Md5LaneSet& lanes, std::size_t index, Md5Done& done) {
  Md5Lane& lane = lanes.Lanes[index];
  const Md5Job& job = lane.Job;
  if (lane.Phase == Md5Phase::PrefixTail) {
    lane.Prefix = LaneDigest(lanes, index);
    lane.PrefixDone = true;
    SetLaneState(lanes, index, lane.AtPrefix);
  } else if (lane.Phase == Md5Phase::Tail) {
    done.Tag = job.Tag;
    done.Whole = LaneDigest(lanes, index);
    done.Prefix = lane.PrefixDone ? lane.Prefix : done.Whole;
    lane.Phase = Md5Phase::Idle;
    return true;
  }
  const std::size_t prefix_blocks = job.PrefixSize / kBlockSize * kBlockSize;
  const std::size_t whole_blocks = job.Size / kBlockSize * kBlockSize;
  if (!lane.PrefixDone && job.PrefixSize < job.Size) {
    if (lane.Fed < prefix_blocks) {
      StartBody(lane, prefix_blocks);
    } else {
      lane.AtPrefix = LaneState(lanes, index);
      StartTail(lane, Md5Phase::PrefixTail, job.PrefixSize);
    }
  } else if (lane.Fed < whole_blocks) {
    StartBody(lane, whole_blocks);
  } else {
    StartTail(lane, Md5Phase::Tail, job.Size);
  }
  return false;
}

}  // namespace

Md5Lanes BestMd5Lanes() {
#if TINTREL_SSE2
  if (!ThisProcessor().Avx2) return Md5Lanes::Sse2;
  return ThisProcessor().Avx512Vl ? Md5Lanes::Avx512 : Md5Lanes::Avx2;
#else
  return Md5Lanes::Scalar;
#endif
}

std::size_t Md5LaneWidth(Md5Lanes kind, std::size_t chains) {
  switch (kind) {
    case Md5Lanes::Scalar: return chains;
    case Md5Lanes::Sse2: return 4 * chains;
    default: return 8 * chains;
  }
}

Md5LaneSet::Md5LaneSet(Md5Lanes kind, std::size_t chains)
    : Kind(std::min(kind, BestMd5Lanes())),
      Chains(std::clamp<std::size_t>(chains, 1, 2)),
      Width(Md5LaneWidth(Kind, Chains)) {}

std::size_t FreeMd5Lanes(const Md5LaneSet& lanes) {
  return static_cast<std::size_t>(
      std::count_if(lanes.Lanes.begin(), lanes.Lanes.begin() + lanes.Width,
                    [](const Md5Lane& lane) { return lane.Phase == Md5Phase::Idle; }));
}

bool AddMd5Job(Md5LaneSet& lanes, const Md5Job& job) {
  for (std::size_t i = 0; i < lanes.Width; ++i) {
    Md5Lane& lane = lanes.Lanes[i];
    if (lane.Phase != Md5Phase::Idle) continue;
    lane.Job = job;
    lane.PrefixDone = false;
    lane.Fed = 0;
    SetLaneState(lanes, i, kInitialState);
    Md5Done unused;
    StartNextPhase(lanes, i, unused);
    return true;
  }
  return false;
}

std::size_t RunMd5Lanes(Md5LaneSet& lanes, std::array<Md5Done, kMaxMd5Lanes>& done) {
  std::size_t ended = 0;
  while (ended == 0) {
    // As many blocks as every busy lane has before its phase ends. A free lane runs the blocks of
    // a busy one, for nothing.
    const uint8_t* blocks[kMaxMd5Lanes];
    const uint8_t* any_blocks = nullptr;
    std::size_t count = SIZE_MAX;
    for (std::size_t i = 0; i < lanes.Width; ++i) {
      const Md5Lane& lane = lanes.Lanes[i];
      blocks[i] = lane.Next;
      if (lane.Phase == Md5Phase::Idle) continue;
      any_blocks = lane.Next;
      count = std::min(count, lane.BlocksLeft);
    }
    if (any_blocks == nullptr) return 0;
    for (std::size_t i = 0; i < lanes.Width; ++i)
      if (lanes.Lanes[i].Phase == Md5Phase::Idle) blocks[i] = any_blocks;
    Compress(lanes, blocks, count);
    for (std::size_t i = 0; i < lanes.Width; ++i) {
      Md5Lane& lane = lanes.Lanes[i];
      if (lane.Phase == Md5Phase::Idle) continue;
      if (lane.Phase == Md5Phase::Body) lane.Fed += count * kBlockSize;
      lane.Next += count * kBlockSize;
      lane.BlocksLeft -= count;
      if (lane.BlocksLeft == 0 && StartNextPhase(lanes, i, done[ended])) ++ended;
    }
  }
  return ended;
}

}  // namespace tintrel
