// SPDX-License-Identifier: MIT
// ZIP packs, read by the project itself so that members inflate with libdeflate, several times
// faster than zlib, while the odd large member streams through zlib, bzip2 or LZMA in bounded
// memory. The central directory gives the members and their order; where it is missing or
// damaged, the members are read from their local headers, front to back.
#pragma once

#include "packs/pack_source.h"

namespace tintrel {

PackOutcome ReadZip(const PackSource& source, PackBudget& budget, const PackVisitor& visitor);

}  // namespace tintrel
