#pragma once
#include <cstdint>

namespace qm::platform {

struct ScreenRect {
  int32_t left, top, right, bottom;
  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
};

struct Point {
  int32_t x, y;
  bool operator==(const Point&) const = default;
};

// Where a dialog of the given size opens over its parent's client area (the desktop when it
// has none): centred horizontally less a caption button's width (two thirds of it when the
// dialog has no system menu), a third of the way down, pulled back on screen.
Point PlaceDialog(const ScreenRect& parent, int32_t width, int32_t height, int32_t captionButtonWidth,
                  bool hasSystemMenu, int32_t screenWidth, int32_t screenHeight);

}  // namespace qm::platform
