#pragma once
// The Bayer mosaic as one 12-bit value per photosite, and the turns shared by the plane and
// the thumbnail.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace tessaro {

// Which colour sits at the top-left photosite, 0 to 3; see CfaPhase.
using BayerOrder = int;

// Largest raw value; samples above it are limited to it.
inline constexpr std::uint16_t kRawMax = 4095;

// Colour of the photosite at column x, row y: 0 red, 1 green on a blue row, 2 green on a red
// row, 3 blue.
constexpr int CfaPhase(std::uint32_t x, std::uint32_t y, BayerOrder order) {
  return static_cast<int>(((x & 1u) << 1) | (y & 1u)) ^ order;
}

enum class Turn { QuarterCcw, Half, QuarterCw };

// The turn that brings a picture taken in EXIF orientation 3, 6 or 8 upright; false for others.
bool TurnForOrientation(int orientation, Turn& turn);

// The order of the same photosites after the picture is turned (even sizes).
BayerOrder TurnedBayerOrder(BayerOrder order, Turn turn);

// Unpacks one row of packed 12-bit storage: every three bytes give two samples. An odd last
// sample has no bytes of its own and is set to 0.
void UnpackPacked12(const std::uint8_t* src, std::uint32_t width, std::uint16_t* dst);

// Unpacks one row of big-endian 16-bit storage, limiting each value to kRawMax.
void Unpack16(const std::uint8_t* src, std::uint32_t width, std::uint16_t* dst);

// Turns a row-major picture of w x h elements into a new buffer, exchanging w and h for
// quarter turns. When the second buffer cannot be had the picture stays as it was and the
// result is false.
template <class T>
bool TurnPixels(std::unique_ptr<T[]>& pixels, std::uint32_t& w, std::uint32_t& h, Turn turn) {
  const std::size_t W = w, H = h;
  std::unique_ptr<T[]> out(new (std::nothrow) T[W * H]);
  if (!out) return false;
  const T* in = pixels.get();
  switch (turn) {
    case Turn::QuarterCcw:  // (x, y) -> (y, W - 1 - x) in a plane H wide
      for (std::size_t y = 0; y < H; ++y)
        for (std::size_t x = 0; x < W; ++x) out[(W - 1 - x) * H + y] = in[y * W + x];
      break;
    case Turn::QuarterCw:  // (x, y) -> (H - 1 - y, x) in a plane H wide
      for (std::size_t y = 0; y < H; ++y)
        for (std::size_t x = 0; x < W; ++x) out[x * H + (H - 1 - y)] = in[y * W + x];
      break;
    case Turn::Half:
      for (std::size_t i = 0, n = W * H; i < n; ++i) out[n - 1 - i] = in[i];
      break;
  }
  pixels = std::move(out);
  if (turn != Turn::Half) {
    const std::uint32_t t = w;
    w = h;
    h = t;
  }
  return true;
}

}  // namespace tessaro
