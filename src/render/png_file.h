// SPDX-License-Identifier: MIT
// A picture as a PNG file: 8-bit palette indices in the PNG's own chunks (signature, IHDR, PLTE,
// IDAT, IEND), the image data deflated by the quick deflate when the picture is held whole, or by
// zlib's streaming deflate when it comes a band of rows at a time.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "render/text_picture.h"

namespace tintrel {

// The PNG bytes of the picture: 8-bit palette indices, no row filters, deflated by QuickZlib,
// which matches a run of one colour and the row above as they stand: over typical art it took
// two thirds of the user time of libdeflate at its quickest level, for files 14 % larger.
// A picture too large for one PNG, or with no palette, is a Fault.
std::vector<uint8_t> EncodePng(const Picture& picture);

// A PNG fed a band of rows at a time, so that a picture of any height needs only one band at once.
// Its image data is one zlib stream, which libdeflate cannot make in parts, so zlib deflates it;
// each band's bytes wait in `Out` until the caller writes them out and clears it.
struct PngBands {
  PngBands(uint32_t width, uint32_t height, std::span<const Rgb> palette);
  PngBands(const PngBands&) = delete;
  PngBands& operator=(const PngBands&) = delete;
  ~PngBands();

  uint32_t Width = 0, Height = 0, RowsFed = 0;
  z_stream Deflate{};
  std::vector<uint8_t> Rows;  // a band's rows, each after its filter byte
  std::vector<uint8_t> Out;   // PNG bytes made and not yet taken
};

// Adds whole rows of palette indices, Width each, below those fed before.
void AddPngRows(PngBands& png, std::span<const uint8_t> pixels);

// Ends the PNG once all Height rows came; fewer is a Fault.
void FinishPng(PngBands& png);

// A file written under a temporary name in its folder and renamed to `Path` once whole, so that
// no reader ever sees half a picture, two writers of the same picture leave one whole file, and
// a file or link standing at `Path` is replaced, never written through. Removed unless committed.
struct PendingFile {
  explicit PendingFile(std::string path);
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile();

  std::string Path, Temp;
  int Fd = -1;
  std::string Error;  // the first failure; empty while all is well
};

void WritePending(PendingFile& file, std::span<const uint8_t> bytes);

// Closes and renames into place; returns the file's Error, empty when it now stands at Path.
std::string CommitPending(PendingFile& file);

// The picture's PNG written through a PendingFile. Returns an empty text, or why it could not be
// written.
std::string WritePngFile(const Picture& picture, const std::string& path);

}  // namespace tintrel
