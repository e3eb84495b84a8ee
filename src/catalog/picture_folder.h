// SPDX-License-Identifier: MIT
// The pictures' folder of a run (--thumbnails): made when it is missing, and named as the gallery
// page reaches it.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>

#include "catalog/messages.h"

namespace tintrel {

// Makes the pictures' folder when it is not there; false, having said why, when it cannot be.
bool MakePictureFolder(const std::string& folder, Messages& messages);

// Whether a file name is a picture's as a run names them: 32 lower-case hex digits and ".png".
bool IsPictureName(std::string_view name);

// Removes from `folder` the pictures no row names any more: regular files of the folder itself
// whose names are pictures' and not in `named`. Nothing below the folder is looked at, and a link
// is never followed nor removed. Returns how many were removed; `failure` tells the first file
// that could not be, or why the folder could not be read.
uint64_t RemoveOrphanPictures(const std::string& folder,
                              const std::unordered_set<std::string>& named, std::string& failure);

// The pictures' folder as the page at `page` reaches it: relative to the page's folder, as a URL
// path ending in "/"; empty without pictures.
std::string PicturesFromPage(const std::string& folder, const std::string& page);

// A path as a URL path: every byte but letters, digits and "-._~/" as %XX.
std::string UrlPath(const std::string& path);

}  // namespace tintrel
