// SPDX-License-Identifier: MIT
// What recognition and the format readers take from a decoded SAUCE record.
#pragma once

#include "formats/art_format.h"
#include "meta/sauce_info.h"

namespace tintrel {

// The record's types, its first two numbers and its non-blink flag, and how many bytes at the
// file's end are the record and the comment block found in front of it.
SauceFacts SauceFactsOf(const SauceInfo& info);

}  // namespace tintrel
