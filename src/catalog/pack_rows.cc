// SPDX-License-Identifier: MIT
#include "catalog/pack_rows.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "catalog/member_name.h"
#include "meta/file_digest.h"
#include "packs/pack_reader.h"

namespace tintrel {

namespace {

// A pack up to this size is read whole, once, for its digest and its members alike.
constexpr uint64_t kHeldPackSize = 16 << 20;
constexpr std::size_t kReadSize = 256 << 10;

// The reading of one pack on disk and the packs inside it.
struct PackWalk {
  const std::string& Path;  // the pack on disk
  const RowOptions& Options;
  RowTools& Tools;
  RowOutput& Out;
  PackBudget Budget;
  uint64_t Members = 0;
  bool PackInLane = false;  // the digest of the pack on disk, held in memory, is in the lanes
  Digest PackMd5{};
  std::string NameWarning{};  // the member being read had its name cut
};

// The lanes' tag of the pack's own digest.
constexpr uint64_t kPackTag = kMaxMd5Lanes;

// A pack's size and digest, once all of it could be read.
struct PackDigest {
  uint64_t Size = 0;
  Digest Md5{};
};

// A nested pack's bytes where its reader can reach any of them.
struct HeldPack {
  PackSource Source;
  FileHandle Spilled;  // a temporary file, for a pack too large to hold
};

// The pack's own row: its size and digest when all of it could be read.
Row PackRow(const PackWalk& walk, const std::string& member, std::optional<PackDigest> digest,
            const std::string& error) {
  // A pack read whole has no error: NULL, as every column that does not apply.
  Row row = error.empty() ? Row{} : ErrorRow("", error);
  row[Col("path")] = TextField(member.empty() ? walk.Path : walk.Path + "/" + member);
  SetPackColumns(row, walk.Path, member);
  if (digest) {
    row[Col("size")] = NumberField(static_cast<int64_t>(digest->Size));
    row[Col("md5")] = TextField(DigestToHex(digest->Md5));
  }
  return row;
}

// A member whose name was cut says so, unless it has a worse error to tell.
void PutMemberRow(PackWalk& walk, Row row, const std::string& member,
                  const std::string& name_warning) {
  SetPackColumns(row, walk.Path, member);
  if (Field& error = row[Col("error")]; error.Value.empty() && !name_warning.empty())
    error = TextField(name_warning);
  AddRow(walk.Out, row, walk.Options);
}

// Runs the lanes until a member is digested, and puts out the rows of the members at the front of
// the pack's order that are.
void CollectMembers(PackWalk& walk) {
  MemberLanes& lanes = walk.Tools.InLanes;
  const std::size_t count = RunMd5Lanes(lanes.Lanes, lanes.Done);
  for (std::size_t i = 0; i < count; ++i) {
    if (lanes.Done[i].Tag == kPackTag) {
      walk.PackMd5 = lanes.Done[i].Whole;
      walk.PackInLane = false;
      continue;
    }
    MemberInLane& done = lanes.Members[lanes.Done[i].Tag];
    SetDigests(done.Facts, lanes.Done[i].Whole, lanes.Done[i].Prefix);
    done.Digested = true;
  }
  while (!lanes.Order.empty() && lanes.Members[lanes.Order.front()].Digested) {
    MemberInLane& member = lanes.Members[lanes.Order.front()];
    PutMemberRow(walk,
                 ArtRow(member.Facts.Scanned.Name, member.Facts, walk.Options, walk.Tools,
                        HeldArt(member.Bytes)),
                 member.Member, member.NameWarning);
    std::vector<uint8_t>().swap(member.Bytes);
    member.Busy = member.Digested = false;
    lanes.Order.pop_front();
  }
}

// Puts out the rows of every member in the lanes: any other row comes after them.
void FinishMembers(PackWalk& walk) {
  while (!walk.Tools.InLanes.Order.empty()) CollectMembers(walk);
}

// A small member held whole, into the lanes for its digests, its facts taken meanwhile.
void StartMember(PackWalk& walk, const std::string& member, std::span<const uint8_t> bytes) {
  MemberLanes& lanes = walk.Tools.InLanes;
  while (FreeMd5Lanes(lanes.Lanes) == 0 || lanes.Order.size() == lanes.Members.size())
    CollectMembers(walk);
  std::size_t tag = 0;
  while (lanes.Members[tag].Busy) ++tag;
  MemberInLane& slot = lanes.Members[tag];
  slot.Busy = true;
  slot.Member = member;
  slot.NameWarning = walk.NameWarning;
  slot.Bytes.assign(bytes.begin(), bytes.end());
  HeldFacts(slot.Facts, walk.Path + "/" + member, slot.Bytes, walk.Tools.Art);
  AddMd5Job(lanes.Lanes, {slot.Bytes.data(), slot.Bytes.size(),
                          static_cast<std::size_t>(slot.Facts.ArtSize), tag});
  lanes.Order.push_back(tag);
}

void AddMemberRow(PackWalk& walk, Row row, const std::string& member) {
  FinishMembers(walk);
  PutMemberRow(walk, std::move(row), member, walk.NameWarning);
}

void AddMemberError(PackWalk& walk, const std::string& member, const std::string& error) {
  AddMemberRow(walk, ErrorRow(walk.Path + "/" + member, error), member);
}

// Reads what is left of a member, so that the pack can go on past it.
void Drain(MemberBytes& bytes) {
  if (bytes.IsWhole) return;
  try {
    while (!bytes.Next().empty()) {
    }
  } catch (const Fault&) {
  }
}

// Counts a member against the limit; false once there are too many, and the pack stops.
bool CountMember(PackWalk& walk) {
  if (++walk.Members <= kMostMembers) return true;
  StopReading(walk.Budget,
              "member limit reached: more than " + std::to_string(kMostMembers) + " members");
  return false;
}

PackOutcome ReadMembers(PackWalk& walk, const PackSource& source, PackFormat format,
                        const std::string& prefix, unsigned depth);

// A pack inside a pack: its own row, then its members, named through it.
void NestedPack(PackWalk& walk, const std::string& member, MemberBytes& bytes,
                std::span<const uint8_t> peeked, PackFormat format, unsigned depth) {
  FinishMembers(walk);
  const auto place = RowPlace(walk.Out);
  HeldPack pack;
  std::optional<FileDigest> digest;
  std::string error;
  try {
    digest.emplace();
    if (bytes.IsWhole) {
      DigestBytes(*digest, bytes.Whole.data(), bytes.Whole.size());
      pack.Source = MemorySource(bytes.Whole, walk.Path + "/" + member);
      ForgetSpent(walk.Budget, bytes.Whole.size());
    } else {
      pack.Spilled = OpenTemporaryFile();
      if (!pack.Spilled.IsOpen()) throw FileError("make", "a temporary file", errno);
      uint64_t size = 0;
      for (std::span<const uint8_t> chunk = peeked; !chunk.empty(); chunk = bytes.Next()) {
        DigestBytes(*digest, chunk.data(), chunk.size());
        WriteAt(pack.Spilled, chunk.data(), chunk.size(), size, "a temporary file");
        size += chunk.size();
      }
      pack.Source = FileSource(pack.Spilled, size, walk.Path + "/" + member);
      ForgetSpent(walk.Budget, size);
    }
  } catch (const Fault& fault) {
    Drain(bytes);
    digest.reset();
    error = FaultText("cannot read", fault);
  }
  if (digest) {
    try {
      error = ReadMembers(walk, pack.Source, format, member + "/", depth).Error;
    } catch (const Fault& fault) {
      error = FaultText("cannot read", fault);
    }
  }
  FinishMembers(walk);
  if (error.empty()) error = walk.NameWarning;
  std::optional<PackDigest> read;
  if (digest) read = PackDigest{digest->Size, FinishDigest(*digest)};
  AddRow(walk.Out, PackRow(walk, member, read, error), walk.Options, place);
}

// Gathers a streamed member whole into `gathered`, after the bytes peeked at first. Returns the
// chunk that would take it past kHoldLimit bytes, to be read on from; an empty one when the member
// ended within them, or failed (`failure` then set).
std::span<const uint8_t> Gather(std::vector<uint8_t>& gathered, std::span<const uint8_t> peeked,
                                MemberBytes& bytes, std::optional<Fault>& failure) {
  gathered.reserve(kHoldLimit);
  gathered.assign(peeked.begin(), peeked.end());
  try {
    for (;;) {
      const std::span<const uint8_t> chunk = bytes.Next();
      if (chunk.empty() || gathered.size() + chunk.size() > kHoldLimit) return chunk;
      gathered.insert(gathered.end(), chunk.begin(), chunk.end());
    }
  } catch (const Fault& fault) {
    failure = fault;
  }
  return {};
}

// One member: a pack to open, or a file to analyse.
void VisitFile(PackWalk& walk, const std::string& member, MemberBytes& bytes, unsigned depth) {
  if (!CountMember(walk)) return Drain(bytes);
  // The first bytes tell a pack; a streamed member's are held back and given again.
  std::vector<uint8_t> peeked;
  std::optional<Fault> failure;
  bool ended = false;
  std::span<const uint8_t> head =
      bytes.Whole.first(std::min(bytes.Whole.size(), kPackSignatureSize));
  if (!bytes.IsWhole) {
    try {
      while (peeked.size() < kPackSignatureSize) {
        std::span<const uint8_t> chunk = bytes.Next();
        if (chunk.empty()) {
          ended = true;
          break;
        }
        peeked.insert(peeked.end(), chunk.begin(), chunk.end());
      }
    } catch (const Fault& fault) {
      failure = fault;
    }
    head = std::span<const uint8_t>(peeked).first(std::min(peeked.size(), kPackSignatureSize));
  }
  if (failure) return AddMemberError(walk, member, FaultText("cannot read", *failure));

  const PackFormat format = walk.Options.OpenPacks ? DetectPackFormat(head) : PackFormat::kNone;
  if (format != PackFormat::kNone) {
    if (depth < walk.Options.Limits.Depth)
      return NestedPack(walk, member, bytes, peeked, format, depth + 1);
    Drain(bytes);
    return AddMemberError(walk, member,
                          "nesting limit reached: a pack inside " +
                              std::to_string(walk.Options.Limits.Depth) + " packs");
  }

  const std::string path = walk.Path + "/" + member;
  std::span<const uint8_t> held = bytes.IsWhole ? bytes.Whole : peeked;
  ArtFacts facts;
  if (!bytes.IsWhole && !ended) {
    if (const std::span<const uint8_t> beyond = Gather(walk.Tools.Gathered, peeked, bytes, failure);
        !beyond.empty()) {
      // Too large to hold: what was gathered is given again, then the rest as it comes.
      int replayed = 0;
      const NextChunk next = [&]() -> std::span<const uint8_t> {
        switch (replayed++) {
          case 0: return walk.Tools.Gathered;
          case 1: return beyond;
          default: return bytes.Next();
        }
      };
      StreamFacts(facts, path, next, std::nullopt, walk.Tools.Art);
    }
    if (failure) return AddMemberError(walk, member, FaultText("cannot read", *failure));
    held = walk.Tools.Gathered;
  }
  // A streamed member's bytes have gone by the time its picture is drawn.
  const bool streamed = facts.Scanned.Opened;
  if (!streamed) {
    if (!held.empty() && held.size() <= kHeldFileSize) return StartMember(walk, member, held);
    HeldFacts(facts, path, held, walk.Tools.Art);
    DigestHeld(facts, held);
  }
  if (const std::optional<Fault>& fault = ReadFault(facts)) {
    Drain(bytes);
    return AddMemberError(walk, member, FaultText("cannot read", *fault));
  }
  AddMemberRow(
      walk, ArtRow(path, facts, walk.Options, walk.Tools, HeldArt(streamed ? held.first(0) : held)),
      member);
}

PackOutcome ReadMembers(PackWalk& walk, const PackSource& source, PackFormat format,
                        const std::string& prefix, unsigned depth) {
  PackVisitor visitor;
  const std::string enclosing = walk.NameWarning;
  visitor.File = [&](const std::string& name, MemberBytes& bytes) {
    if (walk.Budget.Reached) return Drain(bytes);
    const std::string member = prefix + CutMemberName(name, walk.NameWarning);
    VisitFile(walk, member, bytes, depth);
    walk.NameWarning = enclosing;
  };
  visitor.Error = [&](const std::string& name, const std::string& error) {
    // The member that went past a limit says so; after it, no member has a row.
    const bool the_limit = walk.Budget.Reached && error == walk.Budget.Reason;
    if (!the_limit && (walk.Budget.Reached || !CountMember(walk))) return;
    std::string cut;
    AddMemberError(walk, prefix + CutMemberName(name, cut), error);
  };
  PackOutcome outcome = ReadPack(source, format, walk.Budget, visitor);
  if (walk.Budget.Reached) AddProblem(outcome, walk.Budget.Reason);
  return outcome;
}

// Reads the pack file: a small pack is held, for its digest and its members alike; a large one is
// read through `digest`, every byte in order, and read again where its members lie.
PackSource ReadPackFile(const FileHandle& file, uint64_t size, const std::string& path,
                        std::optional<FileDigest>& digest, std::unique_ptr<uint8_t[]>& held) {
  const bool hold = size <= kHeldPackSize;
  if (!hold) digest.emplace();
  held = std::make_unique_for_overwrite<uint8_t[]>(hold ? size : kReadSize);
  for (uint64_t at = 0; at < size;) {
    uint8_t* into = held.get() + (hold ? at : 0);
    const std::size_t want =
        static_cast<std::size_t>(hold ? size - at : std::min<uint64_t>(size - at, kReadSize));
    const std::size_t got = ReadAt(file, into, want, at, path);
    if (got == 0) throw PackError("cannot read: the pack got shorter while it was read");
    if (digest) DigestBytes(*digest, into, got);
    at += got;
  }
  return hold ? MemorySource({held.get(), size}, path) : FileSource(file, size, path);
}

}  // namespace

void PackRows(const std::string& path, const FileHandle& file, uint64_t size, PackFormat format,
              const RowOptions& options, RowTools& tools, RowOutput& out,
              std::span<const uint8_t> held_already) {
  PackWalk walk{path, options, tools, out, {options.Limits.ExpandedBytes, 0, false, ""}, 0};
  const auto place = RowPlace(out);
  std::optional<FileDigest> digest;  // of a pack too large to hold
  std::unique_ptr<uint8_t[]> held;
  PackSource source;
  std::string error;
  bool read = false;
  try {
    source = !held_already.empty() ? MemorySource(held_already, path)
                                   : ReadPackFile(file, size, path, digest, held);
    read = true;
  } catch (const Fault& fault) {
    error = FaultText("cannot read", fault);
  }
  if (read) {
    // A pack held in memory is digested in the lanes, beside its members.
    if (source.File == nullptr) {
      MemberLanes& lanes = tools.InLanes;
      while (FreeMd5Lanes(lanes.Lanes) == 0) CollectMembers(walk);
      AddMd5Job(lanes.Lanes, {source.Bytes.data(), source.Bytes.size(), 0, kPackTag});
      walk.PackInLane = true;
    }
    try {
      error = ReadMembers(walk, source, format, "", 1).Error;
    } catch (const Fault& fault) {
      // The pack stopped being readable part of the way through.
      error = FaultText("cannot read", fault);
    } catch (const std::bad_alloc&) {
      error = "out of memory: the pack wanted more than the system would give";
    }
  }
  FinishMembers(walk);
  while (walk.PackInLane) CollectMembers(walk);
  std::optional<PackDigest> whole;
  if (read) {
    whole = digest ? PackDigest{digest->Size, FinishDigest(*digest)}
                   : PackDigest{source.Size, walk.PackMd5};
  }
  AddRow(out, PackRow(walk, "", whole, error), options, place);
}

}  // namespace tintrel
