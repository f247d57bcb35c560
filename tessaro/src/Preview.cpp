#include "tessaro/Preview.h"

#include <new>

namespace tessaro {

namespace {

bool Prepare(const PreviewSource& src, int divisor, PreviewImage& out) {
  out.valid = false;
  out.width = src.width / static_cast<std::uint32_t>(divisor);
  out.height = src.height / static_cast<std::uint32_t>(divisor);
  out.scale = src.scale * divisor;
  out.kind = kPreviewRgb;
  try {
    out.pixels.resize(std::size_t{out.width} * out.height * 3);
  } catch (const std::bad_alloc&) {
    out.pixels = {};
    out.width = out.height = 0;
    return false;
  }
  return true;
}

}  // namespace

bool HalvePreview(const PreviewSource& src, PreviewImage& out, std::string* log) {
  const bool bayer = src.kind != kPreviewRgb;
  if (log) *log += bayer ? "GeneratingPreview2 from RGGB\n" : "GeneratingPreview2 from RGB\n";
  if (!Prepare(src, 2, out)) return false;
  const std::size_t sw = src.width;
  std::uint16_t* o = out.pixels.data();
  for (std::uint32_t y = 0; y < out.height; ++y) {
    if (bayer) {
      const std::uint16_t* r0 = src.pixels + std::size_t{2 * y} * sw;
      const std::uint16_t* r1 = r0 + sw;
      // Phases of the block's four photosites; the same for every block of an even grid.
      const int p00 = CfaPhase(0, 0, src.kind), p10 = CfaPhase(1, 0, src.kind), p01 = CfaPhase(0, 1, src.kind);
      const int p11 = CfaPhase(1, 1, src.kind);
      for (std::uint32_t x = 0; x < out.width; ++x, o += 3) {
        const unsigned v[4] = {r0[2 * x], r0[2 * x + 1], r1[2 * x], r1[2 * x + 1]};
        const int ph[4] = {p00, p10, p01, p11};
        unsigned r = 0, g = 0, b = 0;
        for (int i = 0; i < 4; ++i) {
          if (ph[i] == 0)
            r = v[i];
          else if (ph[i] == 3)
            b = v[i];
          else
            g += v[i];
        }
        o[0] = static_cast<std::uint16_t>(r);
        o[1] = static_cast<std::uint16_t>(g >> 1);
        o[2] = static_cast<std::uint16_t>(b);
      }
    } else {
      const std::uint16_t* r0 = src.pixels + std::size_t{2 * y} * sw * 3;
      const std::uint16_t* r1 = r0 + sw * 3;
      for (std::uint32_t x = 0; x < out.width; ++x, o += 3)
        for (int c = 0; c < 3; ++c) {
          const std::size_t a = std::size_t{6} * x + static_cast<std::size_t>(c);
          o[c] = static_cast<std::uint16_t>((unsigned{r0[a]} + r0[a + 3] + r1[a] + r1[a + 3]) >> 2);
        }
    }
  }
  out.valid = true;
  return true;
}

bool ThirdPreview(const PreviewSource& src, PreviewImage& out, std::string* log) {
  const bool bayer = src.kind != kPreviewRgb;
  if (log) *log += bayer ? "GeneratingPreview3 from RGGB\n" : "GeneratingPreview3 from RGB\n";
  if (!Prepare(src, 3, out)) return false;
  const std::size_t sw = src.width;
  std::uint16_t* o = out.pixels.data();
  for (std::uint32_t y = 0; y < out.height; ++y) {
    const std::uint32_t y0 = 3 * y;
    for (std::uint32_t x = 0; x < out.width; ++x, o += 3) {
      const std::uint32_t x0 = 3 * x;
      if (bayer) {
        const auto at = [&](std::uint32_t dx, std::uint32_t dy) -> unsigned {
          return src.pixels[std::size_t{y0 + dy} * sw + x0 + dx];
        };
        const unsigned corners = at(0, 0) + at(2, 0) + at(0, 2) + at(2, 2);
        const unsigned hsum = at(0, 1) + at(2, 1);  // middles of the left and right edges
        const unsigned vsum = at(1, 0) + at(1, 2);  // middles of the top and bottom edges
        const unsigned c = corners >> 2, e = (hsum + vsum) >> 2, h = hsum >> 1, v = vsum >> 1;
        const unsigned m = at(1, 1), k = (corners + m) / 5;
        unsigned r, g, b;
        switch (CfaPhase(x0, y0, src.kind)) {
          case 0: r = c; g = e; b = m; break;
          case 3: r = m; g = e; b = c; break;
          case 1: r = h; g = k; b = v; break;  // red above and below the corners: the side middles
          default: r = v; g = k; b = h; break;
        }
        o[0] = static_cast<std::uint16_t>(r);
        o[1] = static_cast<std::uint16_t>(g);
        o[2] = static_cast<std::uint16_t>(b);
      } else {
        for (int ch = 0; ch < 3; ++ch) {
          unsigned sum = 0;
          for (std::uint32_t dy = 0; dy < 3; ++dy)
            for (std::uint32_t dx = 0; dx < 3; ++dx)
              sum += src.pixels[(std::size_t{y0 + dy} * sw + x0 + dx) * 3 + static_cast<std::size_t>(ch)];
          o[ch] = static_cast<std::uint16_t>(sum / 9);
        }
      }
    }
  }
  out.valid = true;
  return true;
}

}  // namespace tessaro
