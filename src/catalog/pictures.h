// SPDX-License-Identifier: MIT
// The pictures of a catalogue run (--thumbnails): each distinct art drawn once, by whichever
// worker meets it first, into FOLDER/<art_md5>.png, and every row of that art naming the file.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_set>

#include "analysis/art_facts.h"
#include "catalog/table.h"
#include "meta/sauce_info.h"
#include "render/text_picture.h"

namespace tintrel {

// A picture shows at most the top this many lines of its drawing: a gallery shows the top of a
// tall drawing, and the picture's size, memory and time stay bounded however tall it is.
inline constexpr uint32_t kPictureLines = 50;

struct PictureShelf {
  std::string Folder;  // as given on the command line
  uint32_t Width = 320;

  std::mutex Lock;
  std::unordered_set<std::string> Claimed;  // the art digests drawn, or being drawn
  std::string Failure;                      // the first picture that could not be written
  uint64_t Drawn = 0;                       // pictures written
};

// What a worker keeps from picture to picture.
struct PictureWork {
  GlyphShades Shades;
  Picture Canvas;
};

// How the record asks for the art to be shown: iCE colours when its flag is set (the screen
// adds them when it finds a bright background), 9-pixel cells when it asks for them, in the font
// it names or the nearest one shipped.
PictureStyle StyleFor(const PictureShelf& shelf, const SauceInfo& info);

// The picture of a row's art, when it is drawn art that shows something: named in the row's
// thumbnail column, and drawn from the top of the drawing the facts keep and written, unless
// another worker has claimed this art. A picture that cannot be written leaves the column empty,
// is told once in the shelf's Failure, and no picture is tried after it.
void ShelvePicture(PictureShelf& shelf, PictureWork& work, Row& row, const ArtFacts& facts);

}  // namespace tintrel
