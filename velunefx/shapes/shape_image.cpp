#include "shapes/shape_image.h"

#include <tiffio.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace velune {
namespace {

// Slack past the last row, kept from the buffer's original sizing.
constexpr uint64_t kBufferSlack = 1028;
constexpr uint32_t kMaxWidth = 65535;

struct TiffCloser {
  TIFF* tiff;
  ~TiffCloser() {
    if (tiff != nullptr) {
      TIFFClose(tiff);
    }
  }
};

}  // namespace

LoadedShape::~LoadedShape() { release(); }

void LoadedShape::release() {
  std::free(pixels_);
  pixels_ = nullptr;
  width_ = height_ = samples_ = bits_ = 0;
  status_ = ShapeLoad::kNone;
  message_.clear();
}

bool LoadedShape::refuse(ShapeLoad status, std::string message) {
  std::free(pixels_);
  pixels_ = nullptr;
  status_ = status;
  message_ = std::move(message);
  return false;
}

bool LoadedShape::load(const std::string& path, Notifier* notifier) {
  release();
  TiffCloser file{TIFFOpen(path.c_str(), "r")};
  if (file.tiff == nullptr) {
    return refuse(ShapeLoad::kOpenFailed, "Can not open " + path);
  }
  TIFF* tiff = file.tiff;
  uint32_t width = 0;
  uint32_t height = 0;
  uint16_t samples = 1;
  uint16_t bits = 1;
  uint16_t planar = PLANARCONFIG_CONTIG;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
  samples_ = samples;
  bits_ = bits;

  // Deeper samples are refused as before; shallower ones would be read as whole bytes and
  // run past the packed scanline, so they are refused the same way.
  if (bits != 8) {
    char text[64];
    std::snprintf(text, sizeof text, "Unsupported format ( %d bits per pixel )", static_cast<int>(bits));
    if (notifier != nullptr) {
      notifier->notify(text);
    }
    return refuse(ShapeLoad::kUnsupported, text);
  }
  if ((samples != 1 && samples != 3 && samples != 4) || (samples > 1 && planar != PLANARCONFIG_CONTIG)) {
    return refuse(ShapeLoad::kUnsupported, "Unsupported sample layout in " + path);
  }
  if (width == 0 || height == 0 || width > INT32_MAX / 3 || height > INT32_MAX) {
    return refuse(ShapeLoad::kEmpty, "Empty shape image " + path);
  }
  // The row buffers are taken before any row decodes; no shape or picture comes near this
  // width, and a damaged header claiming more would cost gigabytes for nothing.
  if (width > kMaxWidth) {
    return refuse(ShapeLoad::kUnsupported, "Shape image too wide in " + path);
  }
  const tmsize_t line_size = TIFFScanlineSize(tiff);
  if (line_size < static_cast<tmsize_t>(width) * samples) {
    return refuse(ShapeLoad::kUnsupported, "Short scanlines in " + path);
  }

  void* line_memory = _TIFFmalloc(line_size);
  if (line_memory == nullptr) {
    return refuse(ShapeLoad::kOutOfMemory, "[Velune5.6] Can not allocate internap pattern buffer");
  }
  // The header's height is only a claim: the buffer grows with the rows that really decode,
  // so a small damaged file cannot make us take (and zero) gigabytes before its first row fails.
  const std::size_t row_bytes = static_cast<std::size_t>(width) * 3;
  uint32_t rows_held = 0;
  const auto* line = static_cast<const uint8_t*>(line_memory);
  for (uint32_t y = 0; y < height; ++y) {
    if (TIFFReadScanline(tiff, line_memory, y, 0) < 0) {
      _TIFFfree(line_memory);
      return refuse(ShapeLoad::kReadFailed, "Can not read " + path);
    }
    if (y == rows_held) {
      const uint32_t rows = static_cast<uint32_t>(std::min<uint64_t>(height, std::max<uint64_t>(1, uint64_t{rows_held} * 2)));
      const uint64_t bytes = static_cast<uint64_t>(row_bytes) * rows + kBufferSlack;
      void* grown = bytes > SIZE_MAX ? nullptr : std::realloc(pixels_, static_cast<std::size_t>(bytes));
      if (grown == nullptr) {
        _TIFFfree(line_memory);
        return refuse(ShapeLoad::kOutOfMemory, "[Velune5.6] Can not allocate internap pattern buffer");
      }
      pixels_ = static_cast<uint8_t*>(grown);
      std::memset(pixels_ + row_bytes * rows_held, 0, static_cast<std::size_t>(bytes) - row_bytes * rows_held);
      rows_held = rows;
    }
    uint8_t* out = pixels_ + static_cast<std::size_t>(y) * row_bytes;
    const uint8_t* in = line;
    for (uint32_t x = 0; x < width; ++x, out += 3, in += samples) {
      if (samples == 1) {
        out[0] = out[1] = out[2] = in[0];
      } else {  // R, G, B (and alpha, dropped) become B, G, R
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
      }
    }
  }
  _TIFFfree(line_memory);
  width_ = static_cast<int32_t>(width);
  height_ = static_cast<int32_t>(height);
  status_ = ShapeLoad::kLoaded;
  message_.clear();
  return true;
}

}  // namespace velune
