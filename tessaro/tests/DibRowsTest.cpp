// The dialog's pictures packed for the window system, and fitted into their controls.
#include <gtest/gtest.h>

#include <vector>

#include "tessaro/DibRows.h"

namespace tessaro {
namespace {

// A 3 x 2 picture: every pixel's red is its index, green 100 + index, blue 200 + index.
std::vector<std::uint8_t> Picture3x2() {
  std::vector<std::uint8_t> rgb;
  for (std::uint8_t i = 0; i < 6; ++i) rgb.insert(rgb.end(), {i, static_cast<std::uint8_t>(100 + i), static_cast<std::uint8_t>(200 + i)});
  return rgb;
}

TEST(DibRows, RowsArePaddedToFourBytesWithZeros) {
  EXPECT_EQ(DibStride(1), 4u);
  EXPECT_EQ(DibStride(3), 12u);
  EXPECT_EQ(DibStride(4), 12u);
  EXPECT_EQ(DibStride(5), 16u);
  const auto rgb = Picture3x2();
  std::vector<std::uint8_t> out;
  PackDibRows(rgb.data(), rgb.size(), 3, 2, false, out);
  ASSERT_EQ(out.size(), 24u);
  // 9 bytes of pixels, 3 of padding a row.
  for (size_t row = 0; row < 2; ++row)
    for (size_t pad = 9; pad < 12; ++pad) EXPECT_EQ(out[row * 12 + pad], 0) << row << " " << pad;
}

TEST(DibRows, PixelsAreBlueGreenRedAndTheRowOrderFollowsTheDirection) {
  const auto rgb = Picture3x2();
  std::vector<std::uint8_t> top, bottom;
  PackDibRows(rgb.data(), rgb.size(), 3, 2, false, top);
  PackDibRows(rgb.data(), rgb.size(), 3, 2, true, bottom);
  ASSERT_EQ(top.size(), 24u);
  ASSERT_EQ(bottom.size(), 24u);
  // Top-down: the picture's first row first; pixel 1 of it is (1, 101, 201).
  EXPECT_EQ(top[3], 201);
  EXPECT_EQ(top[4], 101);
  EXPECT_EQ(top[5], 1);
  // Bottom-up: the picture's last row (pixels 3 to 5) comes first.
  EXPECT_EQ(bottom[0], 203);
  EXPECT_EQ(bottom[2], 3);
  EXPECT_EQ(bottom[12], 200);
  EXPECT_EQ(bottom[14], 0);
  for (size_t i = 0; i < 12; ++i) EXPECT_EQ(bottom[i], top[12 + i]);
}

TEST(DibRows, ShortOrEmptyInputGivesNothing) {
  const auto rgb = Picture3x2();
  std::vector<std::uint8_t> out{1, 2, 3};
  PackDibRows(rgb.data(), rgb.size() - 1, 3, 2, true, out);
  EXPECT_TRUE(out.empty()) << "a row short";
  PackDibRows(rgb.data(), rgb.size(), 0, 2, true, out);
  EXPECT_TRUE(out.empty());
  PackDibRows(nullptr, 18, 3, 2, true, out);
  EXPECT_TRUE(out.empty());
  // Sizes whose byte count wraps must not pass as small.
  PackDibRows(rgb.data(), rgb.size(), 0x80000000u, 0x80000000u, false, out);
  EXPECT_TRUE(out.empty());
}

TEST(FitPicture, KeepsTheShapeCentredAndCapsTheScale) {
  FitPlace p = FitPicture(8, 6, 300, 200);
  EXPECT_EQ(p.height, 200);
  EXPECT_EQ(p.width, 266);
  EXPECT_EQ(p.left, 17);
  EXPECT_EQ(p.top, 0);
  p = FitPicture(100, 10, 50, 50);  // wide picture: the width fills
  EXPECT_EQ(p.width, 50);
  EXPECT_EQ(p.height, 5);
  EXPECT_EQ(p.top, 22);
  p = FitPicture(8, 6, 300, 200, 4);
  EXPECT_EQ(p.width, 32);
  EXPECT_EQ(p.height, 24);
  EXPECT_EQ(p.left, 134);
  EXPECT_TRUE(FitPicture(0, 6, 300, 200).Empty());
  EXPECT_TRUE(FitPicture(8, 6, 0, 200).Empty());
  // A sliver picture still gets a pixel.
  p = FitPicture(10000, 1, 100, 100);
  EXPECT_EQ(p.height, 1);
}

TEST(FitPicture, PointsMapBackToThePicturesPixels) {
  const FitPlace p = FitPicture(8, 6, 300, 200);  // 266 x 200 at (17, 0)
  int x = -1, y = -1;
  ASSERT_TRUE(BoxToPicture(p, 8, 6, 17, 0, x, y));
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  ASSERT_TRUE(BoxToPicture(p, 8, 6, 17 + 265, 199, x, y));
  EXPECT_EQ(x, 7);
  EXPECT_EQ(y, 5);
  ASSERT_TRUE(BoxToPicture(p, 8, 6, 150, 100, x, y));
  EXPECT_EQ(x, 4);
  EXPECT_EQ(y, 3);
  EXPECT_FALSE(BoxToPicture(p, 8, 6, 16, 100, x, y)) << "left of the picture";
  EXPECT_FALSE(BoxToPicture(p, 8, 6, 17 + 266, 100, x, y)) << "right of it";
}

}  // namespace
}  // namespace tessaro
