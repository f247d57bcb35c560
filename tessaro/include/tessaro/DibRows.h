#pragma once
// The dialog's pictures as the window system takes them: 24-bit device-independent bitmap
// rows (blue, green, red; each row padded to a multiple of four bytes), bottom row first or
// top row first, and where a picture sits when fitted into a control.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tessaro {

// Bytes of one 24-bit row of `width` pixels, padding included.
inline std::size_t DibStride(std::uint32_t width) { return (std::size_t{width} * 3 + 3) & ~std::size_t{3}; }

// Packs `height` rows of `width` interleaved R, G, B pixels (top row first, no padding) into
// DIB rows. bottomUp puts the picture's last row first, as a DIB of positive height expects.
// The padding bytes are zero. Too few source bytes (or an empty size) give an empty result.
void PackDibRows(const std::uint8_t* rgb, std::size_t rgbBytes, std::uint32_t width, std::uint32_t height,
                 bool bottomUp, std::vector<std::uint8_t>& out);

struct FitPlace {
  int left = 0, top = 0, width = 0, height = 0;
  bool Empty() const { return width <= 0 || height <= 0; }
};

// The largest place of the picture's shape inside a box, centred in it. A picture never
// grows past `maxScale` times its size, so a tiny preview stays blocky but not huge.
FitPlace FitPicture(int pictureWidth, int pictureHeight, int boxWidth, int boxHeight, int maxScale = 1 << 30);

// A point of the box back to the picture's pixels, kept inside the picture; false when the
// point lies outside the fitted place.
bool BoxToPicture(const FitPlace& place, int pictureWidth, int pictureHeight, int x, int y, int& px, int& py);

}  // namespace tessaro
