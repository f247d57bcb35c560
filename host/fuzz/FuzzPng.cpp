// plughost reads the user's PNG files (the image, --alpha, --layer-mask, effect layers) before
// any plug-in runs: the reader must refuse a damaged file with a reason, and what it accepts,
// written back and read again, must give the same pixels. libpng reads files, so each input
// is the contents of an in-memory file opened by its /proc path.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "plughost/image.h"

namespace {

std::string MemoryFile(const char* name) {
  const int fd = memfd_create(name, 0);
  if (fd < 0) __builtin_trap();
  return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string in = MemoryFile("in.png");
  static const std::string out = MemoryFile("out.png");
  static const int fd = std::stoi(in.substr(in.rfind('/') + 1));
  if (ftruncate(fd, 0) != 0) __builtin_trap();
  for (size_t done = 0; done < size;) {
    const ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    if (n <= 0) __builtin_trap();
    done += static_cast<size_t>(n);
  }
  plughost::Image image;
  try {
    image = plughost::ReadPng(in);
  } catch (const std::runtime_error&) {
    return 0;  // refused with a reason
  }
  if (image.width <= 0 || image.height <= 0 ||
      image.rgba.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 4)
    __builtin_trap();
  plughost::WritePng(out, image);
  const plughost::Image back = plughost::ReadPng(out);
  if (back.width != image.width || back.height != image.height || back.hasAlpha != image.hasAlpha ||
      back.rgba != image.rgba)
    __builtin_trap();
  return 0;
}
