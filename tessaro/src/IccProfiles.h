#pragma once
// The ICC profiles, generated at build time by tools/iccgen.py.
#include <cstdint>
#include <span>

namespace tessaro::icc {
// Profile 1..6 or 10; empty for any other index.
std::span<const std::uint8_t> Embedded(int index);
}  // namespace tessaro::icc
