// The loaded iris shape: one size image read with libtiff into blue, green, red pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "shapes/notifier.h"

namespace velune {

enum class ShapeLoad {
  kNone,         // nothing loaded yet, or released
  kLoaded,
  kOpenFailed,   // missing or not a TIFF
  kUnsupported,  // not 8 bits a sample, not 1, 3 or 4 samples, planes stored apart, or too wide
  kEmpty,        // zero width or height
  kOutOfMemory,
  kReadFailed,   // a scanline did not decode (or the file holds fewer rows than it claims)
};

class LoadedShape {
 public:
  LoadedShape() = default;
  ~LoadedShape();
  LoadedShape(const LoadedShape&) = delete;
  LoadedShape& operator=(const LoadedShape&) = delete;

  // Reads the image, replacing any shape held. A sample depth other than 8 bits is told
  // to the user through `notifier` (may be null). Returns whether a shape is now loaded.
  bool load(const std::string& path, Notifier* notifier);
  void release();

  bool loaded() const { return pixels_ != nullptr; }
  ShapeLoad status() const { return status_; }
  // Why the last load failed, for logs; empty after a success.
  const std::string& message() const { return message_; }

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  int32_t samples_per_pixel() const { return samples_; }
  int32_t bits_per_sample() const { return bits_; }
  // Pixels as blue, green, red bytes, rows of pitch() bytes.
  const uint8_t* pixels() const { return pixels_; }
  std::ptrdiff_t pitch() const { return static_cast<std::ptrdiff_t>(width_) * 3; }

 private:
  bool refuse(ShapeLoad status, std::string message);

  uint8_t* pixels_ = nullptr;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t samples_ = 0;
  int32_t bits_ = 0;
  ShapeLoad status_ = ShapeLoad::kNone;
  std::string message_;
};

}  // namespace velune
