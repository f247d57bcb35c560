// Draws the iris-shape library: anti-aliased shape images, one folder per shape, one
// 8-bit TIFF per size, named by the size so the effect's size choice finds them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace irisgen {

struct Image {
  int32_t size = 0;      // square, size x size pixels
  int32_t channels = 1;  // 1 grey, 3 RGB
  std::vector<uint8_t> pixels;
};

struct ShapeInfo {
  const char* name;
  bool coloured;
};

// Every shape in the library; "08RZ67" is the effect's default.
const std::vector<ShapeInfo>& shapes();
// Image sizes written for every shape, smallest to largest (the largest covers the
// biggest blur the effect can ask for).
const std::vector<int32_t>& sizes();

// Draws one shape filling a size x size image; empty pixels for an unknown name.
Image draw_shape(const std::string& name, int32_t size);

bool write_tiff(const std::string& path, const Image& image);

// Writes root/<shape>/<size>.tif for every shape and size. Returns false and says why in
// `error` when a folder or file cannot be written.
bool write_library(const std::string& root, std::string* error);

}  // namespace irisgen
