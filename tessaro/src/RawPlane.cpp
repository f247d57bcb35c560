#include "tessaro/RawPlane.h"

namespace tessaro {

bool TurnForOrientation(int orientation, Turn& turn) {
  switch (orientation) {
    case 3: turn = Turn::Half; return true;
    case 6: turn = Turn::QuarterCw; return true;
    case 8: turn = Turn::QuarterCcw; return true;
    default: return false;
  }
}

BayerOrder TurnedBayerOrder(BayerOrder order, Turn turn) {
  static constexpr BayerOrder kCcw[4] = {1, 3, 0, 2};
  static constexpr BayerOrder kCw[4] = {2, 0, 3, 1};
  const int i = order & 3;
  switch (turn) {
    case Turn::QuarterCcw: return kCcw[i];
    case Turn::QuarterCw: return kCw[i];
    case Turn::Half: return 3 - i;
  }
  return i;
}

void UnpackPacked12(const std::uint8_t* src, std::uint32_t width, std::uint16_t* dst) {
  const std::uint32_t pairs = width / 2;
  for (std::uint32_t i = 0; i < pairs; ++i) {
    const unsigned b0 = src[0], b1 = src[1], b2 = src[2];
    dst[0] = static_cast<std::uint16_t>((b0 << 4) | (b1 >> 4));
    dst[1] = static_cast<std::uint16_t>(((b1 & 15u) << 8) | b2);
    src += 3;
    dst += 2;
  }
  if (width & 1u) *dst = 0;
}

void Unpack16(const std::uint8_t* src, std::uint32_t width, std::uint16_t* dst) {
  for (std::uint32_t i = 0; i < width; ++i) {
    const unsigned v = (unsigned{src[2 * i]} << 8) | src[2 * i + 1];
    dst[i] = static_cast<std::uint16_t>(v > kRawMax ? kRawMax : v);
  }
}

}  // namespace tessaro
