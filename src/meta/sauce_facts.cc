// SPDX-License-Identifier: MIT
#include "meta/sauce_facts.h"

namespace tintrel {

SauceFacts SauceFactsOf(const SauceInfo& info) {
  if (!info.Present) return {};
  const std::size_t comments = info.RawComments.size();
  return {
      .Present = true,
      .DataType = info.DataType,
      .FileType = info.FileType,
      .Width = info.TInfo[0],
      .Lines = info.TInfo[1],
      .Ice = info.IceColors.value_or(false),
      .TailSize = kSauceSize + (comments == 0 ? 0 : kCommentIdSize + comments * kCommentLineSize),
  };
}

}  // namespace tintrel
