// SPDX-License-Identifier: MIT
#include "kit/png_pixels.h"

#include <spng.h>

#include <fstream>
#include <iterator>

namespace tintrel::testkit {

PngPixels ReadPng(std::span<const uint8_t> png) {
  PngPixels pixels;
  spng_ctx* context = spng_ctx_new(0);
  spng_ihdr header{};
  std::size_t size = 0;
  int code = spng_set_png_buffer(context, png.data(), png.size());
  if (code == 0) code = spng_get_ihdr(context, &header);
  if (code == 0) code = spng_decoded_image_size(context, SPNG_FMT_RGB8, &size);
  if (code == 0) {
    pixels.Width = header.width;
    pixels.Height = header.height;
    pixels.Rgb8.resize(size);
    code = spng_decode_image(context, pixels.Rgb8.data(), size, SPNG_FMT_RGB8, 0);
  }
  if (code != 0) pixels.Failure = spng_strerror(code);
  spng_ctx_free(context);
  return pixels;
}

PngPixels ReadPngFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> png{std::istreambuf_iterator<char>(in), {}};
  PngPixels pixels = ReadPng(png);
  if (!pixels.Failure.empty()) pixels.Failure = path + ": " + pixels.Failure;
  return pixels;
}

}  // namespace tintrel::testkit
