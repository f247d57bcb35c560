#pragma once
// The JPEG settings a run, a preset and a recorded action carry.
#include <cstdint>

struct CrSettings {
  uint8_t progressive = 0;
  uint8_t optimize = 1;        // Huffman optimisation
  uint8_t betterSampling = 0;  // no chroma subsampling
  uint8_t quality = 60;        // 0-100
  uint8_t smoothing = 20;      // 0-100
  uint8_t smoothingOperation = 0;  // 0 whole image, 1 foreground, 2 background of the extra plane
  uint8_t targetOn = 0;
  int32_t targetSize = 15;  // kilobytes

  bool operator==(const CrSettings&) const = default;
};
