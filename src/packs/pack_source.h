// SPDX-License-Identifier: MIT
// What a pack reader reads from and what it hands on: the pack's bytes, reachable at any offset
// (a file on disk, or a pack inside a pack held in memory or spilled to a temporary file), and
// each member's bytes as they are expanded, whole when they are small and chunk by chunk when not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "io/fault.h"
#include "io/file_handle.h"

namespace tintrel {

struct PackSource {
  const FileHandle* File = nullptr;  // read with pread when set
  std::span<const uint8_t> Bytes;    // otherwise all of it is here
  uint64_t Size = 0;
  std::string Name;  // for messages
};

PackSource FileSource(const FileHandle& file, uint64_t size, std::string name);
PackSource MemorySource(std::span<const uint8_t> bytes, std::string name);

// Reads up to `size` bytes from `offset`; fewer only at the end. A failed read throws.
std::size_t ReadSource(const PackSource& source, uint64_t offset, uint8_t* into, std::size_t size);

// A member's bytes held in memory are handed on whole when it expands to no more than this;
// larger ones stream through in chunks, so memory does not grow with a member's size.
inline constexpr uint64_t kHoldLimit = 4 << 20;

// The expanded bytes one pack may give, nested packs included; the nesting is limited as well.
struct PackLimits {
  uint64_t ExpandedBytes = uint64_t{4} << 30;
  unsigned Depth = 4;  // packs opened inside one another, the outer one counted
};

// The expanded bytes a pack has given so far, against its limit.
struct PackBudget {
  uint64_t Limit = 0;
  uint64_t Used = 0;
  bool Reached = false;  // a limit was reached: the pack is read no further
  std::string Reason;    // which one, as the pack's row says it
};

// Counts `bytes` more against the budget; past the limit, marks it reached and throws the
// member's PackError.
void Spend(PackBudget& budget, uint64_t bytes);

// Gives back `bytes` spent on a member that turned out to be a pack: what counts is what comes out
// of it, so that its bytes count once, not once as a member and again as its members.
void ForgetSpent(PackBudget& budget, uint64_t bytes);

// Marks the budget reached for `reason`, unless it was already.
void StopReading(PackBudget& budget, std::string reason);

// A member's problem as its row gives it: "damaged: ...", "unsupported method: ...", or a limit.
Fault PackError(std::string message);

// One member's bytes. Next gives the next chunk, valid until the following call, and an empty
// chunk at the end; it throws a PackError when the member cannot be read to its end (a CRC that
// does not match counts: the error comes at the end, after the bytes). Whole, when set, is all of
// it at once and Next is not called.
struct MemberBytes {
  std::span<const uint8_t> Whole;
  bool IsWhole = false;
  std::function<std::span<const uint8_t>()> Next;
  uint64_t Size = 0;  // the size the pack gives; 0 when it gives none
};

// What became of a member handed on in chunks: read to its end, or failed.
struct StreamState {
  bool Over = false;
  std::optional<Fault> Failure;
};

// A member's bytes as `next` gives them, an empty chunk at the end; once the member has ended or
// failed, later calls say so again without calling `next`.
MemberBytes StreamedMember(std::function<std::span<const uint8_t>()> next, uint64_t size,
                           StreamState& state);

// What a reader finds in a pack, in the pack's own order. File is called for every regular-file
// member with its name (UTF-8) and bytes; Error for a member that cannot be read at all (an
// unsupported method, an encrypted member). Folders, links and devices are passed over.
struct PackVisitor {
  std::function<void(const std::string& name, MemberBytes& bytes)> File;
  std::function<void(const std::string& name, const std::string& error)> Error;
};

// How the reading of a whole pack went: empty, or what went wrong with the pack as a whole, the
// limit that stopped it included.
struct PackOutcome {
  std::string Error;
};

// Adds a problem to what the pack's row says.
void AddProblem(PackOutcome& outcome, const std::string& problem);

}  // namespace tintrel
