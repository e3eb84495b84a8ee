// SPDX-License-Identifier: MIT
#include "render/png_file.h"

#include <fcntl.h>
#include <spng.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "io/fault.h"

namespace tintrel {

namespace {

struct SpngContext {
  spng_ctx* Context = spng_ctx_new(SPNG_CTX_ENCODER);
  ~SpngContext() { spng_ctx_free(Context); }
};

void Check(int error) {
  if (error != 0)
    throw Fault{"PngError", std::string("cannot encode a PNG: ") + spng_strerror(error)};
}

}  // namespace

std::vector<uint8_t> EncodePng(const Picture& picture) {
  SpngContext png;
  if (png.Context == nullptr) throw Fault{"PngError", "cannot encode a PNG: out of memory"};
  Check(spng_set_option(png.Context, SPNG_ENCODE_TO_BUFFER, 1));
  Check(spng_set_option(png.Context, SPNG_IMG_COMPRESSION_LEVEL, 1));
  Check(spng_set_option(png.Context, SPNG_FILTER_CHOICE, SPNG_FILTER_CHOICE_NONE));
  spng_ihdr header{};
  header.width = picture.Width;
  header.height = picture.Height;
  header.bit_depth = 8;
  header.color_type = SPNG_COLOR_TYPE_INDEXED;
  Check(spng_set_ihdr(png.Context, &header));
  {
    spng_plte palette{};
    palette.n_entries = static_cast<uint32_t>(picture.Palette.size());
    for (std::size_t i = 0; i < picture.Palette.size(); ++i) {
      palette.entries[i].red = picture.Palette[i].R;
      palette.entries[i].green = picture.Palette[i].G;
      palette.entries[i].blue = picture.Palette[i].B;
    }
    Check(spng_set_plte(png.Context, &palette));
  }
  Check(spng_encode_image(png.Context, picture.Pixels.data(), picture.Pixels.size(), SPNG_FMT_PNG,
                          SPNG_ENCODE_FINALIZE));
  std::size_t size = 0;
  int error = 0;
  std::unique_ptr<uint8_t, decltype(&std::free)> bytes(
      static_cast<uint8_t*>(spng_get_png_buffer(png.Context, &size, &error)), &std::free);
  Check(error);
  return {bytes.get(), bytes.get() + size};
}

std::string WritePngFile(const Picture& picture, const std::string& path) {
  std::vector<uint8_t> bytes;
  try {
    bytes = EncodePng(picture);
  } catch (const Fault& fault) {
    return fault.Message;
  }
  // A name no other writer uses at the same time: the picture's, the process's and the thread's.
  // Opened with the mode a new file gets from the shell, so nothing else needs setting.
  const std::size_t slash = path.rfind('/');
  const std::string temp = path.substr(0, slash + 1) + "." + path.substr(slash + 1) + "." +
                           std::to_string(getpid()) + "-" + std::to_string(gettid());
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return "cannot write " + path + ": " + std::strerror(errno);
  std::size_t done = 0;
  int error = 0;
  while (done < bytes.size() && error == 0) {
    const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
    if (written > 0) {
      done += static_cast<std::size_t>(written);
    } else if (errno != EINTR) {
      error = errno;
    }
  }
  if (close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && rename(temp.c_str(), path.c_str()) != 0) error = errno;
  if (error == 0) return "";
  unlink(temp.c_str());
  return "cannot write " + path + ": " + std::strerror(error);
}

}  // namespace tintrel
