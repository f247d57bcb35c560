// The about picture the build draws must be what the about box reads: an 8-bit TIFF that the
// shape loader takes, large enough to fill the picture item, and a picture, not a flat fill.
#include <gtest/gtest.h>

#include <set>

#include "shapes/shape_image.h"

namespace {

TEST(AboutPicture, LoadsThroughTheShapeReaderAndFillsThePictureItem) {
  velune::LoadedShape picture;
  ASSERT_TRUE(picture.load(QM_ABOUT_PICTURE, nullptr)) << QM_ABOUT_PICTURE;
  EXPECT_EQ(picture.width(), 400);
  EXPECT_EQ(picture.height(), 300);
  std::set<uint32_t> colours;
  bool grey = true;
  for (int32_t y = 0; y < picture.height(); y += 3) {
    const uint8_t* row = picture.pixels() + y * picture.pitch();
    for (int32_t x = 0; x < picture.width(); x += 3) {
      const uint8_t* p = row + 3 * x;
      colours.insert(static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2]);
      grey = grey && p[0] == p[1] && p[1] == p[2];
    }
  }
  EXPECT_GT(colours.size(), 500u);
  EXPECT_FALSE(grey);
}

}  // namespace
