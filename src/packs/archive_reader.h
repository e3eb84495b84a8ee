// SPDX-License-Identifier: MIT
// The packs libarchive reads: RAR (4 and 5), 7z, LHA, tar, and tar or a single file compressed
// with gzip, bzip2 or xz. Members stream from libarchive's blocks, so memory does not grow with
// their size.
#pragma once

#include "packs/pack_format.h"
#include "packs/pack_source.h"

namespace tintrel {

PackOutcome ReadArchive(const PackSource& source, PackFormat format, PackBudget& budget,
                        const PackVisitor& visitor);

}  // namespace tintrel
