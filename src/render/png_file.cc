// SPDX-License-Identifier: MIT
#include "render/png_file.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "io/fault.h"
#include "render/quick_deflate.h"

namespace tintrel {

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Large enough that a thumbnail's image data is one chunk, small enough that a band's wait in
// memory stays small.
constexpr std::size_t kChunkLimit = std::size_t{1} << 18;
constexpr uint32_t kLargestSide = 0x7FFFFFFF;
constexpr uint8_t kNoFilter = 0;

void PutBigEndian(std::vector<uint8_t>& out, uint32_t value) {
  out.insert(out.end(), {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                         static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)});
}

void AppendChunk(std::vector<uint8_t>& out, const char (&type)[5], std::span<const uint8_t> data) {
  PutBigEndian(out, static_cast<uint32_t>(data.size()));
  const std::size_t typed_at = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBigEndian(out, libdeflate_crc32(0, out.data() + typed_at, out.size() - typed_at));
}

void AppendImageData(std::vector<uint8_t>& out, std::span<const uint8_t> deflated) {
  while (!deflated.empty()) {
    const std::size_t size = std::min(deflated.size(), kChunkLimit);
    AppendChunk(out, "IDAT", deflated.first(size));
    deflated = deflated.subspan(size);
  }
}

// The signature, the header and the palette: everything before the image data.
std::vector<uint8_t> PngHead(uint32_t width, uint32_t height, std::span<const Rgb> palette) {
  if (width == 0 || height == 0 || width > kLargestSide || height > kLargestSide)
    throw Fault{"PngError", "cannot encode a PNG of " + std::to_string(width) + "x" +
                                std::to_string(height) + " pixels"};
  if (palette.empty() || palette.size() > 256)
    throw Fault{"PngError",
                "cannot encode a PNG of " + std::to_string(palette.size()) + " palette colours"};
  std::vector<uint8_t> out(std::begin(kSignature), std::end(kSignature));
  std::vector<uint8_t> fields;
  PutBigEndian(fields, width);
  PutBigEndian(fields, height);
  // Bit depth 8, colour type 3 (palette indices), deflate, the adaptive filters, no interlace.
  fields.insert(fields.end(), {8, 3, 0, 0, 0});
  AppendChunk(out, "IHDR", fields);
  fields.clear();
  for (const Rgb& colour : palette) fields.insert(fields.end(), {colour.R, colour.G, colour.B});
  AppendChunk(out, "PLTE", fields);
  return out;
}

// Each row of `pixels` after its filter byte, as the image data holds them before deflating.
void AppendRows(std::vector<uint8_t>& rows, std::span<const uint8_t> pixels, uint32_t width) {
  for (std::size_t at = 0; at < pixels.size(); at += width) {
    rows.push_back(kNoFilter);
    rows.insert(rows.end(), pixels.begin() + at, pixels.begin() + at + width);
  }
}

// Deflates what waits in the stream's input, each filled buffer leaving as a chunk, until zlib
// needs more input or, with Z_FINISH, has ended the stream.
void DrainDeflate(PngBands& png, int flush) {
  uint8_t buffer[1 << 16];
  int status = Z_OK;
  do {
    png.Deflate.next_out = buffer;
    png.Deflate.avail_out = sizeof buffer;
    status = deflate(&png.Deflate, flush);
    if (status == Z_STREAM_ERROR) throw Fault{"PngError", "cannot deflate a PNG's rows"};
    AppendImageData(png.Out, std::span(buffer, sizeof buffer - png.Deflate.avail_out));
  } while (png.Deflate.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END));
}

}  // namespace

std::vector<uint8_t> EncodePng(const Picture& picture) {
  std::vector<uint8_t> out = PngHead(picture.Width, picture.Height, picture.Palette);
  if (picture.Pixels.size() != std::size_t{picture.Width} * picture.Height)
    throw Fault{"PngError", "cannot encode a PNG whose pixels do not fill its size"};
  std::vector<uint8_t> rows;
  rows.reserve(picture.Pixels.size() + picture.Height);
  AppendRows(rows, picture.Pixels, picture.Width);
  AppendImageData(out, QuickZlib(rows, std::size_t{picture.Width} + 1));
  AppendChunk(out, "IEND", {});
  return out;
}

PngBands::PngBands(uint32_t width, uint32_t height, std::span<const Rgb> palette)
    : Width(width), Height(height), Out(PngHead(width, height, palette)) {
  if (deflateInit(&Deflate, 1) != Z_OK) throw Fault{"PngError", "cannot encode a PNG: no memory"};
}

PngBands::~PngBands() {
  deflateEnd(&Deflate);
}

void AddPngRows(PngBands& png, std::span<const uint8_t> pixels) {
  const std::size_t rows = pixels.size() / png.Width;
  if (rows * png.Width != pixels.size() || rows > png.Height - png.RowsFed)
    throw Fault{"PngError", "cannot encode a PNG: rows past its height, or not whole"};
  png.Rows.clear();
  AppendRows(png.Rows, pixels, png.Width);
  png.RowsFed += static_cast<uint32_t>(rows);
  // zlib counts its input in 32 bits; a band may be larger.
  for (std::span<uint8_t> left = png.Rows; !left.empty();) {
    const std::size_t size = std::min<std::size_t>(left.size(), uInt{1} << 30);
    png.Deflate.next_in = left.data();
    png.Deflate.avail_in = static_cast<uInt>(size);
    DrainDeflate(png, Z_NO_FLUSH);
    left = left.subspan(size);
  }
}

void FinishPng(PngBands& png) {
  if (png.RowsFed != png.Height)
    throw Fault{"PngError", "cannot end a PNG of " + std::to_string(png.Height) + " rows after " +
                                std::to_string(png.RowsFed)};
  png.Deflate.avail_in = 0;
  DrainDeflate(png, Z_FINISH);
  AppendChunk(png.Out, "IEND", {});
}

PendingFile::PendingFile(std::string path) : Path(std::move(path)) {
  // A name no other writer uses at the same time: the picture's, the process's and the thread's.
  const std::size_t slash = Path.rfind('/');
  Temp = Path.substr(0, slash + 1) + "." + Path.substr(slash + 1) + "." + std::to_string(getpid()) +
         "-" + std::to_string(gettid());
  // Made new, never opened through what stands at the name: a leftover of a writer that died
  // with the same ids is removed first. The mode is the one a new file gets from the shell.
  const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  Fd = open(Temp.c_str(), flags, 0666);
  if (Fd < 0 && errno == EEXIST && unlink(Temp.c_str()) == 0) Fd = open(Temp.c_str(), flags, 0666);
  if (Fd < 0) Error = "cannot write " + Path + ": " + std::strerror(errno);
}

PendingFile::~PendingFile() {
  if (Fd >= 0) close(Fd);
  if (!Temp.empty()) unlink(Temp.c_str());
}

void WritePending(PendingFile& file, std::span<const uint8_t> bytes) {
  while (!bytes.empty() && file.Error.empty()) {
    const ssize_t written = write(file.Fd, bytes.data(), bytes.size());
    if (written > 0) {
      bytes = bytes.subspan(static_cast<std::size_t>(written));
    } else if (written == 0 || errno != EINTR) {
      file.Error = "cannot write " + file.Path + ": " + std::strerror(written == 0 ? EIO : errno);
    }
  }
}

std::string CommitPending(PendingFile& file) {
  if (file.Error.empty() && close(std::exchange(file.Fd, -1)) != 0)
    file.Error = "cannot write " + file.Path + ": " + std::strerror(errno);
  // rename replaces whatever stands at the name, a link included, and follows nothing.
  if (file.Error.empty() && rename(file.Temp.c_str(), file.Path.c_str()) != 0)
    file.Error = "cannot write " + file.Path + ": " + std::strerror(errno);
  if (file.Error.empty()) file.Temp.clear();
  return file.Error;
}

std::string WritePngFile(const Picture& picture, const std::string& path) {
  std::vector<uint8_t> bytes;
  try {
    bytes = EncodePng(picture);
  } catch (const Fault& fault) {
    return fault.Message;
  }
  PendingFile file(path);
  WritePending(file, bytes);
  return CommitPending(file);
}

}  // namespace tintrel
