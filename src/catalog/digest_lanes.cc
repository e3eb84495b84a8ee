// SPDX-License-Identifier: MIT
#include "catalog/digest_lanes.h"

namespace tintrel {

void CollectDigests(Digesting& digesting, const RowOptions& options, RowTools& tools,
                    FinishedRows& finished) {
  const std::size_t count = RunMd5Lanes(digesting.Lanes, digesting.Done);
  for (std::size_t i = 0; i < count; ++i) {
    const Md5Done& done = digesting.Done[i];
    DigestedFile& file = digesting.Files[done.Tag];
    FinishHeldFile(file.Held, done.Whole, done.Prefix, options, tools, file.Out);
    finished.emplace_back(file.Number, std::move(file.Out));
    file.Held.Bytes.reset();
    --digesting.InFlight;
  }
}

void StartDigest(Digesting& digesting, DigestedFile&& file, const RowOptions& options,
                 RowTools& tools, FinishedRows& finished) {
  while (FreeMd5Lanes(digesting.Lanes) == 0) CollectDigests(digesting, options, tools, finished);
  std::size_t tag = 0;
  while (digesting.Files[tag].Held.Bytes) ++tag;
  DigestedFile& slot = digesting.Files[tag] = std::move(file);
  AddMd5Job(digesting.Lanes, {slot.Held.Bytes.get(), slot.Held.Size,
                              static_cast<std::size_t>(slot.Held.Facts.ArtSize), tag});
  ++digesting.InFlight;
}

}  // namespace tintrel
