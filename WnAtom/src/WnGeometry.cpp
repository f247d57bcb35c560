#include "WnAtom/WnGeometry.h"

#include <algorithm>

namespace wn {

int slider_value_at(int left, int mouse_x) {
  const int c = std::clamp(mouse_x - left - 18, 0, kSliderTravel);
  return c / 3;
}

bool slider_thumb_hit(int left, int top, int value, int x, int y) {
  const int tx = slider_thumb_x(left, value), ty = slider_thumb_y(top);
  return x >= tx && x < tx + kThumbWidth && y >= ty && y < ty + kThumbHeight;
}

Scale scale_for_zoom(int zoom) {
  zoom = std::clamp(zoom, -7, 7);
  return zoom >= 0 ? Scale{zoom + 1, 1} : Scale{1, 1 - zoom};
}

int scaled_size(int size, Scale s) {
  const int64_t n = static_cast<int64_t>(size) * s.num;
  return static_cast<int>((n + s.den - 1) / s.den);
}

int clamp_offset(int offset, int view, int scaled) {
  if (scaled < view) {
    return (view - scaled) / 2;
  }
  return std::clamp(offset, view - scaled, 0);
}

Rect widen_to_blocks(Rect r, int den, int width, int height) {
  den = std::max(den, 1);
  auto down = [den](int v) { return v / den * den; };
  auto up = [den](int v) { return (v + den - 1) / den * den; };
  Rect w{down(std::max(r.x0, 0)), down(std::max(r.y0, 0)), up(r.x1), up(r.y1)};
  w.x1 = std::min(w.x1, width);
  w.y1 = std::min(w.y1, height);
  return w;
}

Rect image_rect_for_view(Rect view, Scale s, int ox, int oy, int width, int height) {
  const int64_t num = std::max(s.num, 1), den = std::max(s.den, 1);
  // Floor and ceiling of (v - offset) x den / num, also for negative values.
  auto down = [&](int64_t v) { return v >= 0 ? v / num : -((-v + num - 1) / num); };
  auto up = [&](int64_t v) { return v >= 0 ? (v + num - 1) / num : -(-v / num); };
  auto cut = [](int64_t v, int hi) { return static_cast<int>(std::clamp<int64_t>(v, 0, hi)); };
  Rect r{cut(down((int64_t{view.x0} - ox) * den), width), cut(down((int64_t{view.y0} - oy) * den), height),
         cut(up((int64_t{view.x1} - ox) * den), width), cut(up((int64_t{view.y1} - oy) * den), height)};
  if (r.empty()) return Rect{};
  return s.den >= 2 ? widen_to_blocks(r, s.den, width, height) : r;
}

Bitmap32 bitmap_from_rgb(const uint8_t* rgb, int width, int height, int row_step) {
  Bitmap32 out(width, height);
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = rgb + static_cast<size_t>(y) * row_step;
    for (int x = 0; x < width; ++x) {
      uint8_t* d = out.at(x, y);
      d[0] = src[3 * x + 2];
      d[1] = src[3 * x + 1];
      d[2] = src[3 * x];
      d[3] = 0;
    }
  }
  return out;
}

void draw_scaled(const Bitmap32& full, Rect r, Scale s, int ox, int oy, Bitmap32& view) {
  if (s.den >= 2) {
    const int den = s.den;
    r = widen_to_blocks(r, den, full.width, full.height);
    for (int by = r.y0; by < r.y1; by += den) {
      const int vy = by / den + oy;
      if (vy < 0 || vy >= view.height) {
        continue;
      }
      for (int bx = r.x0; bx < r.x1; bx += den) {
        const int vx = bx / den + ox;
        if (vx < 0 || vx >= view.width) {
          continue;
        }
        // A block cut by the image's edge averages only the pixels that exist; dividing by
        // den x den there would darken the last display row and column.
        uint32_t sum[3] = {0, 0, 0};
        uint32_t area = 0;
        for (int y = by; y < std::min(by + den, full.height); ++y) {
          for (int x = bx; x < std::min(bx + den, full.width); ++x) {
            const uint8_t* p = full.at(x, y);
            sum[0] += p[0];
            sum[1] += p[1];
            sum[2] += p[2];
            ++area;
          }
        }
        uint8_t* d = view.at(vx, vy);
        for (int c = 0; c < 3; ++c) {
          d[c] = static_cast<uint8_t>(sum[c] / area);
        }
        d[3] = 0;
      }
    }
    return;
  }
  const int num = std::max(s.num, 1);
  r.x0 = std::max(r.x0, 0);
  r.y0 = std::max(r.y0, 0);
  r.x1 = std::min(r.x1, full.width);
  r.y1 = std::min(r.y1, full.height);
  for (int y = r.y0; y < r.y1; ++y) {
    for (int x = r.x0; x < r.x1; ++x) {
      const uint8_t* p = full.at(x, y);
      for (int dy = 0; dy < num; ++dy) {
        const int vy = y * num + oy + dy;
        if (vy < 0 || vy >= view.height) {
          continue;
        }
        for (int dx = 0; dx < num; ++dx) {
          const int vx = x * num + ox + dx;
          if (vx >= 0 && vx < view.width) {
            std::copy(p, p + 4, view.at(vx, vy));
          }
        }
      }
    }
  }
}

}  // namespace wn
