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
      const std::uint16_t* rows[2] = {src.pixels + std::size_t{2 * y} * sw, src.pixels + std::size_t{2 * y + 1} * sw};
      // Every block of an even grid has its photosites in the same places: find them once.
      const std::uint16_t *red = nullptr, *blue = nullptr, *green[2] = {nullptr, nullptr};
      int greens = 0;
      for (std::uint32_t dy = 0; dy < 2; ++dy)
        for (std::uint32_t dx = 0; dx < 2; ++dx) {
          const std::uint16_t* at = rows[dy] + dx;
          const int phase = CfaPhase(dx, dy, src.kind);
          if (phase == 0)
            red = at;
          else if (phase == 3)
            blue = at;
          else
            green[greens++] = at;
        }
      for (std::uint32_t x = 0; x < out.width; ++x, o += 3) {
        const std::size_t i = std::size_t{2} * x;
        o[0] = red[i];
        o[1] = static_cast<std::uint16_t>((unsigned{green[0][i]} + green[1][i]) >> 1);
        o[2] = blue[i];
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
