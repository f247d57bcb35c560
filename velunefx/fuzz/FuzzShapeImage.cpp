// Iris-shape images are files users drop into pattern/ (and the about picture is one too):
// the loader reads them with libtiff and must refuse a damaged or hostile file with a status,
// never write or read past its buffers. libtiff reads paths, so each input becomes the
// contents of one in-memory file opened by its /proc path.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include <tiffio.h>

#include "shapes/shape_image.h"

namespace {

struct Quiet {
  Quiet() {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
  }
};

struct CountingNotifier : velune::Notifier {
  int count = 0;
  void notify(const char*) override { ++count; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const Quiet quiet;
  static const int fd = memfd_create("shape", 0);
  static const std::string path = "/proc/self/fd/" + std::to_string(fd);
  if (fd < 0 || ftruncate(fd, 0) != 0) __builtin_trap();
  for (size_t done = 0; done < size;) {
    const ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    if (n <= 0) __builtin_trap();
    done += static_cast<size_t>(n);
  }

  velune::LoadedShape shape;
  CountingNotifier notifier;
  const bool loaded = shape.load(path, &notifier);
  if (loaded != shape.loaded() || loaded != (shape.status() == velune::ShapeLoad::kLoaded)) __builtin_trap();
  // Only a sample depth the loader cannot take is told to the user.
  if (notifier.count != (shape.status() == velune::ShapeLoad::kUnsupported && shape.bits_per_sample() != 8 ? 1 : 0))
    __builtin_trap();
  if (!loaded) return 0;
  if (shape.width() <= 0 || shape.height() <= 0 || !shape.message().empty()) __builtin_trap();
  // Every row the renderer will read must lie inside the buffer.
  unsigned sum = 0;
  for (int32_t y = 0; y < shape.height(); ++y) {
    const uint8_t* row = shape.pixels() + y * shape.pitch();
    sum += row[0] + row[shape.pitch() - 1];
  }
  (void)sum;
  return 0;
}
