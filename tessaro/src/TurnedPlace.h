#pragma once
// Where a photosite lands when its picture is turned upright. The loaded plane, the browser
// preview's tiles and the dialog's focus frame must all agree with TurnPixels on it.

#include <cstdint>

#include "tessaro/RawPlane.h"

namespace tessaro {

// The turned plane's coordinates of photosite (x, y) of a w x h sensor; unchanged when not turned.
inline void TurnedPlace(bool turned, Turn turn, std::uint32_t w, std::uint32_t h, std::uint32_t x, std::uint32_t y,
                        std::uint32_t& tx, std::uint32_t& ty) {
  tx = x;
  ty = y;
  if (!turned) return;
  switch (turn) {
    case Turn::Half: tx = w - 1 - x; ty = h - 1 - y; break;
    case Turn::QuarterCw: tx = h - 1 - y; ty = x; break;
    case Turn::QuarterCcw: tx = y; ty = w - 1 - x; break;
  }
}

}  // namespace tessaro
