// Geometry shared by the Win32 atoms and the tests: slider positions and the preview pane's
// scaling. Plain C++ so the arithmetic the dialog depends on is checked natively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace wn {

// Slider: value 0-100; the thumb's top-left corner sits at (left + 3 v + 14, top + 12).
constexpr int kSliderMax = 100;
constexpr int kSliderTravel = 302;
inline int slider_thumb_x(int left, int value) { return left + 3 * value + 14; }
inline int slider_thumb_y(int top) { return top + 12; }
// A mouse x over the track to a value: c = x - left - 18 clamped to 0-302, value c / 3.
int slider_value_at(int left, int mouse_x);
// The thumb bitmap's size; a press inside it starts a drag.
constexpr int kThumbWidth = 9;
constexpr int kThumbHeight = 17;
bool slider_thumb_hit(int left, int top, int value, int x, int y);

struct Rect {  // half-open: [x0, x1) x [y0, y1)
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool empty() const { return x1 <= x0 || y1 <= y0; }
};

// Zoom level -7..+7 to the scale num/den.
struct Scale {
  int num = 1, den = 1;
};
Scale scale_for_zoom(int zoom);
// size x num / den, rounded up.
int scaled_size(int size, Scale s);
// Offset on one axis: centred when the scaled image is smaller than the view, else kept
// between view - scaled and 0.
int clamp_offset(int offset, int view, int scaled);
// A redraw rectangle in image pixels widened to multiples of den and cut to the image.
Rect widen_to_blocks(Rect r, int den, int width, int height);
// The image pixels (of a width x height image) that a rectangle of view pixels shows at scale
// s with the view offset (ox, oy), rounded outwards and cut to the image; for den >= 2 also
// widened to whole blocks.
Rect image_rect_for_view(Rect view, Scale s, int ox, int oy, int width, int height);

// 4-byte pixels (blue, green, red, unused), row step = 4 x width.
struct Bitmap32 {
  int width = 0, height = 0;
  std::vector<uint8_t> px;
  Bitmap32() = default;
  Bitmap32(int w, int h) : width(w), height(h), px(static_cast<std::size_t>(w) * h * 4, 0) {}
  uint8_t* at(int x, int y) { return &px[(static_cast<std::size_t>(y) * width + x) * 4]; }
  const uint8_t* at(int x, int y) const { return &px[(static_cast<std::size_t>(y) * width + x) * 4]; }
};

// A 3-bytes-per-pixel RGB source with the given row step into the full-size bitmap.
Bitmap32 bitmap_from_rgb(const uint8_t* rgb, int width, int height, int row_step);

// Draws the image rectangle `r` of `full` into `view` at scale s with the view offset
// (ox, oy): den >= 2 averages each den x den block into one display pixel, den = 1 draws each
// pixel as a num x num block. Pixels outside the view are dropped.
void draw_scaled(const Bitmap32& full, Rect r, Scale s, int ox, int oy, Bitmap32& view);

}  // namespace wn
