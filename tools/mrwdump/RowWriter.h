#pragma once
// Image files written one row at a time: binary PPM (16-bit big-endian when deep), TIFF
// (deflate) and PNG, the last two with an ICC profile when one is given. Everything goes to
// PATH.part, renamed over PATH only when the last row is in, so a failure leaves no file.
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace mrwdump {

enum class ImageFormat { kPpm, kTiff, kPng };

// By the name's extension (any case): .ppm, .tif/.tiff, .png. False for any other.
bool FormatFromName(const std::string& path, ImageFormat& out);

class RowWriter {
public:
  virtual ~RowWriter() = default;
  // depth 8 or 16 samples in this machine's order, three a pixel.
  virtual bool WriteRow(const void* row) = 0;
  // Renames the finished file into place; false (and nothing left) when writing failed.
  virtual bool Finish() = 0;
  const std::string& Error() const { return error_; }

protected:
  std::string error_;
};

// Null with *error set when the file cannot be started. The profile is left out of PPM.
std::unique_ptr<RowWriter> OpenRowWriter(const std::string& path, ImageFormat format, std::uint32_t width,
                                         std::uint32_t height, int depth, std::span<const std::uint8_t> icc,
                                         std::string* error);

}  // namespace mrwdump
