#include "platform/placement.h"

#include <algorithm>

namespace qm::platform {

Point PlaceDialog(const ScreenRect& parent, int32_t width, int32_t height, int32_t captionButtonWidth,
                  bool hasSystemMenu, int32_t screenWidth, int32_t screenHeight) {
  const int32_t b = hasSystemMenu ? captionButtonWidth : captionButtonWidth * 2 / 3;
  Point p{parent.left + std::max(0, parent.Width() - width) / 2 - b,
          parent.top + std::max(0, parent.Height() - height) / 3};
  if (p.x + width > screenWidth) p.x = std::max(0, screenWidth - width);
  if (p.y + height > screenHeight) p.y = std::max(0, screenHeight - height);
  return p;
}

Point PlaceHighCentreIn(int32_t areaWidth, int32_t areaHeight, int32_t width, int32_t height) {
  return {width < areaWidth ? (areaWidth - width) / 2 : 0, height < areaHeight ? (areaHeight - height) / 3 : 0};
}

}  // namespace qm::platform
