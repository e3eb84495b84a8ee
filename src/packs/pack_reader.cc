// SPDX-License-Identifier: MIT
#include "packs/pack_reader.h"

#include "packs/archive_reader.h"
#include "packs/zip_reader.h"

namespace tintrel {

PackOutcome ReadPack(const PackSource& source, PackFormat format, PackBudget& budget,
                     const PackVisitor& visitor) {
  switch (format) {
    case PackFormat::kNone: return {"not a pack"};
    case PackFormat::kZip: return ReadZip(source, budget, visitor);
    case PackFormat::kArj: return {"unsupported pack format: ARJ"};
    default: return ReadArchive(source, format, budget, visitor);
  }
}

}  // namespace tintrel
