// SPDX-License-Identifier: MIT
// The pictures' folder of a run (--thumbnails): made when it is missing, and named as the gallery
// page reaches it.
#pragma once

#include <string>

#include "catalog/messages.h"

namespace tintrel {

// Makes the pictures' folder when it is not there; false, having said why, when it cannot be.
bool MakePictureFolder(const std::string& folder, Messages& messages);

// The pictures' folder as the page at `page` reaches it: relative to the page's folder, as a URL
// path ending in "/"; empty without pictures.
std::string PicturesFromPage(const std::string& folder, const std::string& page);

// A path as a URL path: every byte but letters, digits and "-._~/" as %XX.
std::string UrlPath(const std::string& path);

}  // namespace tintrel
