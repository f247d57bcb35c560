#include "WnAtom/WnGeometry.h"

#include <gtest/gtest.h>

namespace {

using wn::Bitmap32;
using wn::Rect;
using wn::Scale;

TEST(WnSlider, ThumbPositionAndDragClamp) {
  EXPECT_EQ(wn::slider_thumb_x(10, 0), 24);
  EXPECT_EQ(wn::slider_thumb_x(10, 100), 324);
  EXPECT_EQ(wn::slider_thumb_y(40), 52);
  // Inside the track: c = x - left - 18, value c / 3.
  EXPECT_EQ(wn::slider_value_at(10, 28 + 150), 50);
  EXPECT_EQ(wn::slider_value_at(10, 28 + 2), 0);
  EXPECT_EQ(wn::slider_value_at(10, 28 + 3), 1);
  // Past either end.
  EXPECT_EQ(wn::slider_value_at(10, -500), 0);
  EXPECT_EQ(wn::slider_value_at(10, 28 + 301), 100);
  EXPECT_EQ(wn::slider_value_at(10, 100000), 100);
  // Dragging to where the thumb is drawn keeps the value.
  for (int v = 0; v <= 100; ++v) {
    EXPECT_EQ(wn::slider_value_at(10, wn::slider_thumb_x(10, v) + 4), v);
  }
}

TEST(WnPreviewScale, ZoomScaledSizeAndWidening) {
  EXPECT_EQ(wn::scale_for_zoom(0).num, 1);
  EXPECT_EQ(wn::scale_for_zoom(7).num, 8);
  EXPECT_EQ(wn::scale_for_zoom(-2).den, 3);
  EXPECT_EQ(wn::scale_for_zoom(-9).den, 8);
  // 1:3, 100 pixels cover 34 display pixels; a rectangle from x 4 widens to x 3.
  EXPECT_EQ(wn::scaled_size(100, Scale{1, 3}), 34);
  const Rect w = wn::widen_to_blocks(Rect{4, 5, 10, 7}, 3, 100, 8);
  EXPECT_EQ(w.x0, 3);
  EXPECT_EQ(w.y0, 3);
  EXPECT_EQ(w.x1, 12);
  EXPECT_EQ(w.y1, 8);  // cut at the image's height
  EXPECT_EQ(wn::scaled_size(100, Scale{8, 1}), 800);
}

TEST(WnPreviewScale, OffsetsCentreOrClamp) {
  EXPECT_EQ(wn::clamp_offset(-7, 200, 100), 50);   // smaller than the view: centred
  EXPECT_EQ(wn::clamp_offset(20, 200, 500), 0);
  EXPECT_EQ(wn::clamp_offset(-400, 200, 500), -300);
  EXPECT_EQ(wn::clamp_offset(-120, 200, 500), -120);
}

Bitmap32 ramp(int w, int h) {
  std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3 + 5);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
      p[0] = static_cast<uint8_t>(x * 10);
      p[1] = static_cast<uint8_t>(y * 10);
      p[2] = 7;
    }
  }
  return wn::bitmap_from_rgb(rgb.data(), w, h, w * 3);
}

TEST(WnPreviewDraw, SourceIsStoredBlueGreenRed) {
  const uint8_t rgb[] = {1, 2, 3, 4, 5, 6, 99, 99};  // row step 8: two pixels and padding
  const Bitmap32 b = wn::bitmap_from_rgb(rgb, 2, 1, 8);
  EXPECT_EQ(b.at(0, 0)[0], 3);
  EXPECT_EQ(b.at(0, 0)[2], 1);
  EXPECT_EQ(b.at(1, 0)[1], 5);
}

TEST(WnPreviewDraw, ZoomedOutAveragesBlocks) {
  const Bitmap32 full = ramp(7, 4);
  Bitmap32 view(4, 2);
  wn::draw_scaled(full, Rect{0, 0, 7, 4}, Scale{1, 2}, 0, 0, view);
  // Display (1, 0) covers x 2-3, y 0-1: red 20 and 30, green 0 and 10.
  EXPECT_EQ(view.at(1, 0)[2], 25);
  EXPECT_EQ(view.at(1, 0)[1], 5);
  EXPECT_EQ(view.at(1, 0)[0], 7);
  // The last column holds only x 6: its average is that column, not darkened.
  EXPECT_EQ(view.at(3, 1)[2], 60);
  EXPECT_EQ(view.at(3, 1)[1], 25);
  EXPECT_EQ(view.at(3, 1)[0], 7);
}

TEST(WnPreviewDraw, ZoomedInDrawsBlocksAtTheOffsetAndClips) {
  const Bitmap32 full = ramp(3, 3);
  Bitmap32 view(5, 5);
  // 1 x 1 -> 3 x 3 blocks, shifted left by 2: pixel 1 spans view x 1-3.
  wn::draw_scaled(full, Rect{0, 0, 3, 3}, Scale{3, 1}, -2, 0, view);
  for (int x = 1; x <= 3; ++x) {
    EXPECT_EQ(view.at(x, 4)[2], 10);
    EXPECT_EQ(view.at(x, 4)[1], 10);
  }
  EXPECT_EQ(view.at(0, 0)[2], 0);
  EXPECT_EQ(view.at(4, 0)[2], 20);
  // A redraw rectangle touches only its own blocks.
  Bitmap32 only(9, 9);
  wn::draw_scaled(full, Rect{2, 2, 3, 3}, Scale{3, 1}, 0, 0, only);
  EXPECT_EQ(only.at(8, 8)[0], 7);
  EXPECT_EQ(only.at(5, 5)[0], 0);
}

TEST(WnSlider, OnlyAPressOnTheThumbStartsADrag) {
  // Value 20 at left 10, top 40: the thumb covers x 84-92 and y 52-68.
  EXPECT_TRUE(wn::slider_thumb_hit(10, 40, 20, 84, 52));
  EXPECT_TRUE(wn::slider_thumb_hit(10, 40, 20, 92, 68));
  EXPECT_FALSE(wn::slider_thumb_hit(10, 40, 20, 83, 60));
  EXPECT_FALSE(wn::slider_thumb_hit(10, 40, 20, 93, 60));
  EXPECT_FALSE(wn::slider_thumb_hit(10, 40, 20, 88, 51));
  EXPECT_FALSE(wn::slider_thumb_hit(10, 40, 20, 88, 69));
  EXPECT_TRUE(wn::slider_thumb_hit(0, 0, 100, 314, 12));
}

TEST(WnPreviewScale, ViewRectanglesToImagePixels) {
  // 1:1 with the image moved 10 right and 5 down.
  Rect r = wn::image_rect_for_view(Rect{0, 0, 20, 20}, Scale{1, 1}, 10, 5, 100, 100);
  EXPECT_EQ(r.x0, 0);
  EXPECT_EQ(r.y0, 0);
  EXPECT_EQ(r.x1, 10);
  EXPECT_EQ(r.y1, 15);
  // 3:1 scrolled left: view x 1-7 shows parts of image pixels 4 to 6.
  r = wn::image_rect_for_view(Rect{1, 0, 7, 3}, Scale{3, 1}, -12, 0, 100, 100);
  EXPECT_EQ(r.x0, 4);
  EXPECT_EQ(r.x1, 7);
  EXPECT_EQ(r.y1, 1);
  // 1:3: whole blocks, cut to the image.
  r = wn::image_rect_for_view(Rect{1, 1, 40, 40}, Scale{1, 3}, 0, 0, 100, 50);
  EXPECT_EQ(r.x0, 3);
  EXPECT_EQ(r.y0, 3);
  EXPECT_EQ(r.x1, 100);
  EXPECT_EQ(r.y1, 50);
  // A view part beside the image shows none of it.
  EXPECT_TRUE(wn::image_rect_for_view(Rect{0, 0, 10, 10}, Scale{1, 1}, 20, 0, 100, 100).empty());
  EXPECT_TRUE(wn::image_rect_for_view(Rect{0, 0, 10, 10}, Scale{2, 1}, -400, 0, 100, 100).empty());
}

}  // namespace
