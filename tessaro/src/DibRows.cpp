#include "tessaro/DibRows.h"

#include <algorithm>
#include <cstdint>

namespace tessaro {

void PackDibRows(const std::uint8_t* rgb, std::size_t rgbBytes, std::uint32_t width, std::uint32_t height,
                 bool bottomUp, std::vector<std::uint8_t>& out) {
  out.clear();
  if (!rgb || width == 0 || height == 0) return;
  // 64-bit arithmetic so the row size cannot wrap where size_t is 32 bits.
  const std::uint64_t rowIn64 = std::uint64_t{width} * 3;
  if (rowIn64 > SIZE_MAX - 3) return;
  const auto rowIn = static_cast<std::size_t>(rowIn64);
  if (rgbBytes / rowIn < height) return;
  const std::size_t stride = DibStride(width);
  out.assign(stride * height, 0);
  for (std::uint32_t y = 0; y < height; ++y) {
    const std::uint8_t* s = rgb + rowIn * y;
    std::uint8_t* d = out.data() + stride * (bottomUp ? height - 1 - y : y);
    for (std::uint32_t x = 0; x < width; ++x, s += 3, d += 3) {
      d[0] = s[2];
      d[1] = s[1];
      d[2] = s[0];
    }
  }
}

FitPlace FitPicture(int pictureWidth, int pictureHeight, int boxWidth, int boxHeight, int maxScale) {
  if (pictureWidth <= 0 || pictureHeight <= 0 || boxWidth <= 0 || boxHeight <= 0 || maxScale <= 0) return {};
  // Width over height decides which side fills the box; 64-bit products keep large boxes exact.
  long long w = boxWidth, h = static_cast<long long>(boxWidth) * pictureHeight / pictureWidth;
  if (h > boxHeight) {
    h = boxHeight;
    w = static_cast<long long>(boxHeight) * pictureWidth / pictureHeight;
  }
  const long long capW = static_cast<long long>(pictureWidth) * maxScale;
  if (w > capW) {
    w = capW;
    h = static_cast<long long>(pictureHeight) * maxScale;
  }
  w = std::max(1LL, w);
  h = std::max(1LL, h);
  FitPlace p;
  p.width = static_cast<int>(w);
  p.height = static_cast<int>(h);
  p.left = (boxWidth - p.width) / 2;
  p.top = (boxHeight - p.height) / 2;
  return p;
}

bool BoxToPicture(const FitPlace& place, int pictureWidth, int pictureHeight, int x, int y, int& px, int& py) {
  if (place.Empty() || pictureWidth <= 0 || pictureHeight <= 0) return false;
  const int dx = x - place.left, dy = y - place.top;
  if (dx < 0 || dy < 0 || dx >= place.width || dy >= place.height) return false;
  px = std::min(pictureWidth - 1, static_cast<int>(static_cast<long long>(dx) * pictureWidth / place.width));
  py = std::min(pictureHeight - 1, static_cast<int>(static_cast<long long>(dy) * pictureHeight / place.height));
  return true;
}

}  // namespace tessaro
