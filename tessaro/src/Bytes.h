#pragma once
// Reading and writing multi-byte numbers of a given byte order at a byte pointer.

#include <cstdint>

namespace tessaro::bytes {

inline std::uint16_t Get16(const std::uint8_t* p, bool bigEndian) {
  return static_cast<std::uint16_t>(bigEndian ? (p[0] << 8) | p[1] : (p[1] << 8) | p[0]);
}

inline std::uint32_t Get32(const std::uint8_t* p, bool bigEndian) {
  return bigEndian ? (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
                         (std::uint32_t{p[2]} << 8) | p[3]
                   : (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) |
                         (std::uint32_t{p[1]} << 8) | p[0];
}

inline std::uint16_t Be16(const std::uint8_t* p) { return Get16(p, true); }
inline std::uint32_t Be32(const std::uint8_t* p) { return Get32(p, true); }

inline void Put16(std::uint8_t* p, std::uint16_t v, bool bigEndian) {
  const auto hi = static_cast<std::uint8_t>(v >> 8), lo = static_cast<std::uint8_t>(v);
  p[0] = bigEndian ? hi : lo;
  p[1] = bigEndian ? lo : hi;
}

}  // namespace tessaro::bytes
