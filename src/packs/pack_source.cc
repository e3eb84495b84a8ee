// SPDX-License-Identifier: MIT
#include "packs/pack_source.h"

#include <algorithm>
#include <cstring>

namespace tintrel {

PackSource FileSource(const FileHandle& file, uint64_t size, std::string name) {
  return {&file, {}, size, std::move(name)};
}

PackSource MemorySource(std::span<const uint8_t> bytes, std::string name) {
  return {nullptr, bytes, bytes.size(), std::move(name)};
}

std::size_t ReadSource(const PackSource& source, uint64_t offset, uint8_t* into, std::size_t size) {
  if (offset >= source.Size || size == 0) return 0;
  size = static_cast<std::size_t>(std::min<uint64_t>(size, source.Size - offset));
  if (source.File != nullptr) return ReadAt(*source.File, into, size, offset, source.Name);
  std::memcpy(into, source.Bytes.data() + offset, size);
  return size;
}

void Spend(PackBudget& budget, uint64_t bytes) {
  budget.Used += bytes;
  if (budget.Used <= budget.Limit) return;
  StopReading(budget,
              "pack limit reached: more than " + std::to_string(budget.Limit) + " bytes expanded");
  throw PackError(budget.Reason);
}

void ForgetSpent(PackBudget& budget, uint64_t bytes) {
  budget.Used -= std::min(budget.Used, bytes);
}

void StopReading(PackBudget& budget, std::string reason) {
  if (budget.Reached) return;
  budget.Reached = true;
  budget.Reason = std::move(reason);
}

void AddProblem(PackOutcome& outcome, const std::string& problem) {
  if (problem.empty() || outcome.Error.find(problem) != std::string::npos) return;
  outcome.Error += (outcome.Error.empty() ? "" : "; ") + problem;
}

MemberBytes StreamedMember(std::function<std::span<const uint8_t>()> next, uint64_t size,
                           StreamState& state) {
  MemberBytes bytes;
  bytes.Size = size;
  bytes.Next = [next = std::move(next), &state]() -> std::span<const uint8_t> {
    if (state.Failure) throw *state.Failure;
    if (state.Over) return {};
    try {
      std::span<const uint8_t> chunk = next();
      state.Over = chunk.empty();
      return chunk;
    } catch (const Fault& fault) {
      state.Failure = fault;
      throw;
    }
  };
  return bytes;
}

Fault PackError(std::string message) {
  return Fault("PackError", std::move(message));
}

}  // namespace tintrel
