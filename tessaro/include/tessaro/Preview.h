#pragma once
// Small RGB images made from the raw plane without demosaicing: 2 x 2 or 3 x 3 Bayer blocks
// reduced to one pixel, and RGB images halved or thirded further.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tessaro/RawPlane.h"

namespace tessaro {

inline constexpr int kPreviewRgb = 4;  // kinds 0..3 are a Bayer plane of that BayerOrder

struct PreviewImage {
  std::uint32_t width = 0, height = 0;
  int scale = 1;  // raw pixels one preview pixel spans across
  int kind = kPreviewRgb;
  bool valid = false;
  // One sample per pixel for a Bayer kind, three (R, G, B) for RGB. Reused when the size
  // stays the same.
  std::vector<std::uint16_t> pixels;
  const std::uint16_t* At(std::uint32_t x, std::uint32_t y) const {
    return pixels.data() + (std::size_t{y} * width + x) * (kind == kPreviewRgb ? 3 : 1);
  }
};

// A read-only view of what a reduction starts from: the raw plane or a preview.
struct PreviewSource {
  const std::uint16_t* pixels;
  std::uint32_t width, height;
  int scale;
  int kind;
  static PreviewSource Of(const PreviewImage& image) {
    return {image.pixels.data(), image.width, image.height, image.scale, image.kind};
  }
};

// floor(w / 2) x floor(h / 2), scale doubled, RGB. From Bayer: the block's red and blue and the
// mean of its greens; from RGB: the mean of the four. Appends the log line to *log. False
// without memory (out then invalid).
bool HalvePreview(const PreviewSource& src, PreviewImage& out, std::string* log = nullptr);
// floor(w / 3) x floor(h / 3), scale tripled, RGB.
bool ThirdPreview(const PreviewSource& src, PreviewImage& out, std::string* log = nullptr);

}  // namespace tessaro
