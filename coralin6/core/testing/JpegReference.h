#pragma once
// libjpeg driven directly, as a program would, for comparing the engine's output with.
#include <cstdint>
#include <vector>

#include "coralin/CrSettings.h"

namespace crtest {

// Compresses packed RGB (or, when grey, one sample a pixel) with the given settings.
std::vector<uint8_t> ReferenceJpeg(const uint8_t* pixels, int32_t width, int32_t height, int32_t rowBytes,
                                   bool grey, const CrSettings& s, int32_t hDpi = 72, int32_t vDpi = 72);

struct Decoded {
  int32_t width = 0, height = 0, components = 0;
  bool progressive = false;
  int32_t hSampling = 0, vSampling = 0;  // of the first component
  int32_t xDensity = 0, yDensity = 0, densityUnit = 0;
  std::vector<uint8_t> pixels;
};
// false when libjpeg refuses the stream.
bool Decode(const std::vector<uint8_t>& jpeg, Decoded& out);

// A picture with edges, gradients and noise, so every setting changes the stream.
std::vector<uint8_t> TestPicture(int32_t width, int32_t height, uint32_t seed = 1);

}  // namespace crtest
