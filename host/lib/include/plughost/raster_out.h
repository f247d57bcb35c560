#pragma once
// Writes what a format plug-in read: RGB TIFF (8 or 16 bits, deflate) or PNG, with the colour
// profile and the EXIF block the plug-in handed over. The EXIF block is a TIFF stream (as
// cameras store it and as hosts receive it): its camera fields go into the TIFF's first
// directory and its EXIF directory becomes the TIFF's EXIF directory; PNG keeps it whole.
#include <cstdint>
#include <string>
#include <vector>

#include "plughost/format_host.h"

namespace plughost {

struct RasterExtras {
  std::vector<uint8_t> icc;
  std::vector<uint8_t> exif;
  int32_t resolution = 0;  // pixels per inch; 0 leaves it out
};

// Throw std::runtime_error with a reason when the file cannot be written.
void WriteRgbTiff(const std::string& path, const RgbImage& image, const RasterExtras& extras);
void WriteRgbPng(const std::string& path, const RgbImage& image, const RasterExtras& extras);

// One entry of a TIFF directory with its value bytes as stored (in the stream's byte order).
struct TiffField {
  uint16_t tag = 0, type = 0;
  uint32_t count = 0;
  std::vector<uint8_t> value;
};
struct ExifFields {
  bool bigEndian = false;
  std::vector<TiffField> camera;  // Make, Model, Software, DateTime of the first directory
  std::vector<TiffField> exif;    // the EXIF directory's entries that stand on their own
};
// Reads the fields a TIFF output carries over; empty when the block is not a TIFF stream.
// Every offset and count is checked against the block.
ExifFields ReadExifFields(const std::vector<uint8_t>& block);

}  // namespace plughost
