// SPDX-License-Identifier: MIT
#include "catalog/pack_rows.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "catalog/member_name.h"
#include "catalog/screen_columns.h"
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
  std::string NameWarning;  // the member being read had its name cut
};

// A nested pack's bytes where its reader can reach any of them.
struct HeldPack {
  PackSource Source;
  FileHandle Spilled;  // a temporary file, for a pack too large to hold
};

// The pack's own row: its size and digest when all of it could be read.
Row PackRow(const PackWalk& walk, const std::string& member, std::optional<FileDigest> digest,
            const std::string& error) {
  Row row = ErrorRow(member.empty() ? walk.Path : walk.Path + "/" + member, error);
  SetPackColumns(row, walk.Path, member);
  if (digest) {
    row[ColumnIndex("size")] = NumberField(static_cast<int64_t>(digest->Size));
    row[ColumnIndex("md5")] = TextField(DigestToHex(FinishDigest(*digest)));
  }
  return row;
}

void AddMemberRow(PackWalk& walk, Row row, const std::string& member) {
  SetPackColumns(row, walk.Path, member);
  if (Field& error = row[ColumnIndex("error")]; error.Value.empty() && !walk.NameWarning.empty())
    error = TextField(walk.NameWarning);
  AddRow(walk.Out, row, walk.Options);
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
  if (error.empty()) error = walk.NameWarning;
  InsertRow(walk.Out, place, PackRow(walk, member, digest, error), walk.Options);
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

  MemberBytes replay;
  replay.Size = bytes.Size;
  bool replayed = false;
  replay.Next = [&]() -> std::span<const uint8_t> {
    if (!replayed) {
      replayed = true;
      if (!peeked.empty()) return peeked;
    }
    return ended ? std::span<const uint8_t>() : bytes.Next();
  };
  Analysis analysis;
  analysis.Name = walk.Path + "/" + member;
  SauceInfo info;
  ScreenSummary shown;
  if (bytes.IsWhole) {
    ScanHeld(analysis, info, bytes.Whole, &walk.Tools.Cache);
    FileDigest digest;
    DigestBytes(digest, bytes.Whole.data(), bytes.Whole.size());
    analysis.FileMd5 = FinishDigest(digest);
    analysis.ArtMd5 = digest.Art;
    shown = DrawHeld(walk.Tools.Drawing, info, bytes.Whole);
  } else {
    // Its record comes at its end: it is drawn at the width every viewer starts with.
    ResetScreen(walk.Tools.Drawing, kDefaultScreenWidth);
    AnalyseStream(analysis, info, replay, &walk.Tools.Cache, &walk.Tools.Drawing);
    shown = SummarizeScreen(walk.Tools.Drawing);
  }
  for (const std::optional<Fault>& fault : {analysis.ScanFault, analysis.DigestFault}) {
    if (fault) {
      Drain(bytes);
      return AddMemberError(walk, member, FaultText("cannot read", *fault));
    }
  }
  Row row = AnalysisRow(analysis.Name, analysis, info, shown);
  if (walk.Options.Pictures != nullptr)
    ShelveScreenPicture(*walk.Options.Pictures, walk.Tools.Pictures, row, info, walk.Tools.Drawing,
                        head);
  AddMemberRow(walk, row, member);
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

// Reads the pack file through the digest, every byte in order; a small pack is held for its
// members as well, a large one is read again where they lie.
PackSource ReadPackFile(const FileHandle& file, uint64_t size, const std::string& path,
                        FileDigest& digest, std::unique_ptr<uint8_t[]>& held) {
  const bool hold = size <= kHeldPackSize;
  held = std::make_unique_for_overwrite<uint8_t[]>(hold ? size : kReadSize);
  for (uint64_t at = 0; at < size;) {
    uint8_t* into = held.get() + (hold ? at : 0);
    const std::size_t want =
        static_cast<std::size_t>(hold ? size - at : std::min<uint64_t>(size - at, kReadSize));
    const std::size_t got = ReadAt(file, into, want, at, path);
    if (got == 0) throw PackError("cannot read: the pack got shorter while it was read");
    DigestBytes(digest, into, got);
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
  std::optional<FileDigest> digest;
  std::unique_ptr<uint8_t[]> held;
  PackSource source;
  std::string error;
  try {
    digest.emplace();
    if (!held_already.empty()) {
      DigestBytes(*digest, held_already.data(), held_already.size());
      source = MemorySource(held_already, path);
    } else {
      source = ReadPackFile(file, size, path, *digest, held);
    }
  } catch (const Fault& fault) {
    digest.reset();
    error = FaultText("cannot read", fault);
  }
  if (digest) {
    try {
      error = ReadMembers(walk, source, format, "", 1).Error;
    } catch (const Fault& fault) {
      // The pack stopped being readable part of the way through.
      error = FaultText("cannot read", fault);
    } catch (const std::bad_alloc&) {
      error = "out of memory: the pack wanted more than the system would give";
    }
  }
  InsertRow(out, place, PackRow(walk, "", digest, error), options);
}

}  // namespace tintrel
