// SPDX-License-Identifier: MIT
// A picture as a PNG file, encoded by libspng.
#pragma once

#include <string>
#include <vector>

#include "render/text_picture.h"

namespace tintrel {

// The PNG bytes of the picture: 8-bit palette indices. Quick to make rather than
// small: zlib at level 1, no row filters, since a drawing of flat colours compresses well even
// so. A failure of the encoder is a Fault.
std::vector<uint8_t> EncodePng(const Picture& picture);

// Writes the PNG to a temporary file in `path`'s folder and renames it to `path`, so that no
// reader ever sees half a picture, and two writers of the same picture leave one whole file.
// Returns an empty text, or why it could not be written.
std::string WritePngFile(const Picture& picture, const std::string& path);

}  // namespace tintrel
