#pragma once
// Images as the host hands them to filters: 8-bit RGB with an optional transparency plane.
#include <cstdint>
#include <string>
#include <vector>

namespace plughost {

struct Image {
  int32_t width = 0, height = 0;
  bool hasAlpha = true;       // false: a background layer, no transparency
  std::vector<uint8_t> rgba;  // 4 bytes a pixel, alpha 255 where there is none

  uint8_t* Pixel(int32_t x, int32_t y) { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
  const uint8_t* Pixel(int32_t x, int32_t y) const {
    return &rgba[(static_cast<size_t>(y) * width + x) * 4];
  }
};

// Throw std::runtime_error with a reason a user can act on.
Image ReadPng(const std::string& path);
void WritePng(const std::string& path, const Image& image);

}  // namespace plughost
