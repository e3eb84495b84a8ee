// SPDX-License-Identifier: MIT
// Reads any pack the project knows, member by member, in the pack's own order.
#pragma once

#include "packs/pack_format.h"
#include "packs/pack_source.h"

namespace tintrel {

// Hands every member of the pack to `visitor`. A member's problem is its own; the outcome holds
// what went wrong with the pack as a whole. A failed read of the source throws its FileError.
PackOutcome ReadPack(const PackSource& source, PackFormat format, PackBudget& budget,
                     const PackVisitor& visitor);

}  // namespace tintrel
