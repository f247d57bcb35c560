#include <gtest/gtest.h>

#include <vector>

#include "HnCode/HnErrorCode.h"
#include "HnCode/HnImage.h"

namespace {

// Storage whose lock can be refused, counting how often the block is really locked.
class CountingBuffer final : public HnBaseBuffer {
 public:
  explicit CountingBuffer(bool refuse = false) : refuse_(refuse) {}
  void Allocate(size_t n) override { bytes_.assign(n, 0); }
  void Free() override { bytes_.clear(); }
  uint8_t* Lock() override {
    ++locks;
    return refuse_ ? nullptr : bytes_.data();
  }
  void Unlock() override { ++unlocks; }
  size_t Size() const override { return bytes_.size(); }
  HnBaseBuffer* NewOfSameKind() const override { return new CountingBuffer(refuse_); }
  int locks = 0, unlocks = 0;

 private:
  bool refuse_;
  std::vector<uint8_t> bytes_;
};

void Put(HnRGBImage& img, int x, int y, uint8_t r, uint8_t g, uint8_t b) {
  HnImageLock l(img);
  uint8_t* p = l.Row(y) + 3 * x;
  p[0] = r, p[1] = g, p[2] = b;
}

TEST(HnImage, LocksNestAndRefusedStorageIsCode27) {
  auto* storage = new CountingBuffer;
  HnRGBImage img(4, 2, storage);
  EXPECT_EQ(img.RowBytes(), 12);
  uint8_t* a = img.Lock();
  uint8_t* b = img.Lock();
  EXPECT_EQ(a, b);
  img.Unlock();
  EXPECT_EQ(storage->unlocks, 0);
  img.Unlock();
  EXPECT_EQ(storage->locks, 1);
  EXPECT_EQ(storage->unlocks, 1);

  HnGrayscaleImage refused(2, 2, new CountingBuffer(true));
  try {
    refused.Lock();
    FAIL();
  } catch (const HnErrorCode& e) {
    EXPECT_EQ(e.code(), 27);
  }
  EXPECT_EQ(refused.LockCount(), 0);
}

TEST(HnImage, CopyInCropAndFill) {
  // A 5 x 3 source with 4 bytes of row padding, copied into a 3 x 2 part of the image.
  std::vector<uint8_t> src(3 * (15 + 4));
  for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i);
  HnRGBImage img(4, 3);
  img.Fill(9, 8, 7);
  img.CopyIn(8, 3, 19, HnRect{1, 1, 4, 3}, HnRect{1, 0, 4, 2}, src.data());
  {
    HnImageLock l(img);
    EXPECT_EQ(l.Row(0)[0], 9);
    EXPECT_EQ(l.Row(0)[3], 19 + 3);
    EXPECT_EQ(l.Row(1)[3 * 3 + 2], 38 + 3 * 3 + 2);
    EXPECT_EQ(l.Row(2)[11], 7);
  }
  auto part = img.Crop(1, 1, 3, 3);
  ASSERT_EQ(part->Width(), 2);
  ASSERT_EQ(part->Height(), 2);
  HnImageLock l(*part);
  EXPECT_EQ(l.Row(0)[0], 38 + 3);
  EXPECT_EQ(l.Row(1)[0], 9);

  EXPECT_THROW(img.Crop(2, 0, 2, 1), HnErrorCode);  // empty
  EXPECT_THROW(img.Crop(0, 0, 5, 1), HnErrorCode);  // outside
  EXPECT_THROW(img.CopyIn(8, 3, 19, HnRect{0, 0, 2, 2}, HnRect{0, 0, 3, 2}, src.data()), HnErrorCode);
}

TEST(HnImage, CompositeGreyAndMask) {
  HnRGBImage dst(2, 1), src(2, 1);
  dst.Fill(200, 0, 255);
  src.Fill(10, 255, 0);
  HnGrayscaleImage mask(2, 1);
  {
    HnImageLock l(mask);
    l.Row(0)[0] = 128;
    l.Row(0)[1] = 0;
  }
  dst.CompositeThroughMask(src, mask);
  {
    HnImageLock l(dst);
    EXPECT_EQ(l.Row(0)[0], (200 * 127 + 10 * 128 + 127) / 255);
    EXPECT_EQ(l.Row(0)[1], (255 * 128 + 127) / 255);
    EXPECT_EQ(l.Row(0)[2], (255 * 127 + 127) / 255);
    EXPECT_EQ(l.Row(0)[3], 200);  // mask 0 leaves the destination
  }
  // An inverted mask reads 255 - sample: the pixel under 0 takes the source whole.
  mask.setInverted(true);
  dst.CompositeThroughMask(src, mask);
  {
    HnImageLock l(dst);
    EXPECT_EQ(l.Row(0)[3], 10);
    EXPECT_EQ(l.Row(0)[4], 255);
  }

  HnRGBImage rgb(3, 1);
  Put(rgb, 0, 0, 255, 0, 0);
  Put(rgb, 1, 0, 255, 255, 255);
  Put(rgb, 2, 0, 0, 0, 255);
  HnGrayscaleImage grey(rgb);
  HnImageLock l(grey);
  EXPECT_EQ(l.Row(0)[0], 76);
  EXPECT_EQ(l.Row(0)[1], 255);
  EXPECT_EQ(l.Row(0)[2], 29);
}

TEST(HnImage, BoundingBoxHoldsTheCentre) {
  HnGrayscaleImage m(10, 6);
  EXPECT_EQ(m.BoundingBox(0), HnRect{});  // all zero: no box
  {
    HnImageLock l(m);
    l.Row(1)[2] = 5;  // only the top left is covered
  }
  EXPECT_EQ(m.BoundingBox(0), (HnRect{2, 1, 5, 3}));
  m.Fill(255);
  EXPECT_EQ(m.BoundingBox(0), (HnRect{0, 0, 10, 6}));
  HnGrayscaleImage one(1, 1);
  EXPECT_EQ(one.BoundingBox(0), HnRect{});
}

TEST(HnImage, ResizeAveragesAreasAndScaleToFit) {
  EXPECT_EQ(HnScaleToFit(100, 50, 40, 40), (HnSize{40, 20}));
  EXPECT_EQ(HnScaleToFit(50, 100, 40, 40), (HnSize{20, 40}));
  EXPECT_EQ(HnScaleToFit(1000, 1, 40, 40), (HnSize{40, 1}));

  // 4 x 1 into 2 x 1: pairs are averaged; 3 x 1 into 2 x 1: the middle pixel is shared.
  HnGrayscaleImage src(4, 1), dst(2, 1);
  {
    HnImageLock l(src);
    const uint8_t v[] = {0, 100, 200, 255};
    std::copy(v, v + 4, l.Row(0));
  }
  HnResize(src, dst);
  {
    HnImageLock l(dst);
    EXPECT_EQ(l.Row(0)[0], 50);
    EXPECT_EQ(l.Row(0)[1], 228);
  }
  HnGrayscaleImage three(3, 1);
  {
    HnImageLock l(three);
    l.Row(0)[0] = 0, l.Row(0)[1] = 90, l.Row(0)[2] = 180;
  }
  HnResize(three, dst);
  {
    HnImageLock l(dst);
    EXPECT_EQ(l.Row(0)[0], 30);   // (0 + 90 / 2) / 1.5
    EXPECT_EQ(l.Row(0)[1], 150);  // (45 + 180) / 1.5
  }
  // A flat picture stays flat whatever the ratio, coarse or not; enlarging repeats pixels.
  HnRGBImage flat(397, 211), small(37, 53), big(800, 500);
  flat.Fill(17, 130, 254);
  for (bool coarse : {false, true}) {
    HnResize(flat, small, coarse);
    HnImageLock l(small);
    for (int y = 0; y < 53; ++y)
      for (int x = 0; x < 37; ++x) ASSERT_EQ(l.Row(y)[3 * x + 2], 254) << coarse;
  }
  HnResize(small, big);
  HnImageLock l(big);
  EXPECT_EQ(l.Row(499)[3 * 799 + 1], 130);
}

}  // namespace
