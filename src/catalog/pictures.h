// SPDX-License-Identifier: MIT
// The pictures of a catalogue run: each distinct art drawn once, by whichever worker meets it
// first, as a thumbnail into THUMBNAILS/<art_md5>.png (--thumbnails) and whole into
// PICTURES/<art_md5>.png (--pictures), both from one pass over its cells, and every row of that
// art naming the files.
//
// A full-size picture holds every line and column of the drawing. The cells of a drawing that
// outgrew the screen's stored rows are had by drawing the art's bytes again, a window of rows at
// a time: the bytes of a file held whole, or read again from a loose file. A streamed pack
// member, or a format with its own reader, cannot be drawn again: its picture stops at the
// stored rows.
#pragma once

#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

#include "analysis/art_facts.h"
#include "catalog/table.h"
#include "io/file_handle.h"
#include "meta/sauce_info.h"
#include "render/text_picture.h"
#include "screen/screen.h"

namespace tintrel {

// A full-size picture is at most this many columns and lines; past them it is cut.
inline constexpr uint32_t kPictureColumns = kMaxScreenWidth;
inline constexpr uint64_t kPictureLines = 100'000;

struct PictureShelf {
  std::string Folder;  // --thumbnails, as given; empty for none
  uint32_t Width = 320;
  std::string FullFolder;  // --pictures, as given; empty for none
  uint32_t Scale = 1;      // --picture-scale
  bool Aspect = true;      // the record's legacy aspect ratio stretches the pictures

  std::mutex Lock;
  std::unordered_set<std::string> Claimed;  // the art digests drawn, or being drawn
  std::string Failure;                      // the first picture that could not be written
  uint64_t Drawn = 0;                       // pictures written
};

// What a worker keeps from picture to picture.
struct PictureWork {
  GlyphShades Shades;
  Picture Canvas, Fitted;
  Screen Redraw;                       // a tall drawing drawn again, a window of rows at a time
  std::vector<uint8_t> Band, Scratch;  // a band of pixel rows, and one text line's
};

// Where the art's bytes can be had again to draw a tall drawing whole: held in memory, or read
// from an open loose file; neither when they have gone.
struct ArtAgain {
  std::span<const uint8_t> Held;
  const FileHandle* File = nullptr;
  std::string Path;
};

inline ArtAgain HeldArt(std::span<const uint8_t> bytes) {
  return {bytes, nullptr, ""};
}
inline ArtAgain ArtInFile(const FileHandle& file, const std::string& path) {
  return {{}, &file, path};
}

// How the record asks for the art to be shown: iCE colours when its flag is set (the screen
// adds them when it finds a bright background), 9-pixel cells when it asks for them, in the font
// it names or the nearest one shipped.
PictureStyle StyleFor(const PictureShelf& shelf, const SauceInfo& info);

// Whether the record asks for the 4:3 screen's tall pixels, and the run follows it.
bool StretchesFor(const PictureShelf& shelf, const SauceInfo& info);

// The pictures of a row's art, when it is drawn art that shows something: named in the row's
// thumbnail and picture columns, and drawn and written unless another worker has claimed this
// art. A picture that cannot be written leaves its column empty, is told once in the shelf's
// Failure, and no picture is tried after it.
void ShelvePicture(PictureShelf& shelf, PictureWork& work, Row& row, const ArtFacts& facts,
                   const ArtAgain& again = {});

}  // namespace tintrel
