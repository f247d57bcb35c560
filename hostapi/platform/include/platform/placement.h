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

// The save-file dialog's place in screen coordinates: across the middle and a third of the way
// down an area of W x H; a term is 0 on an axis where the dialog is not the smaller.
Point PlaceHighCentreIn(int32_t areaWidth, int32_t areaHeight, int32_t width, int32_t height);

}  // namespace qm::platform
