#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tessaro/RawFile.h"

namespace tessaro {

// Decodes a baseline JPEG held in memory into 8-bit RGB. False with a reason when the data is
// not a complete JPEG, or describes a picture larger than its bytes could hold.
bool DecodeJpegRgb(const std::uint8_t* data, std::size_t size, Thumbnail& out, std::string& error);

}  // namespace tessaro
