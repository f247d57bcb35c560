#pragma once
// Typed 8-bit images over pluggable storage and the few pixel operations the filter needs.
#include <cstdint>
#include <memory>

#include "HnCode/HnBuffer.h"

struct HnRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
  bool operator==(const HnRect&) const = default;
};

struct HnSize {
  int32_t width = 0, height = 0;
  bool operator==(const HnSize&) const = default;
};

class HnImage {
 public:
  virtual ~HnImage() = default;
  HnImage() = default;
  HnImage(const HnImage&) = delete;
  HnImage& operator=(const HnImage&) = delete;

  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  virtual int32_t BitsPerSample() const = 0;
  virtual int32_t SamplesPerPixel() const = 0;
  virtual int32_t RowBytes() const = 0;
  // The first row; raises code 27 when the storage cannot be locked. Locks nest.
  virtual uint8_t* Lock() const = 0;
  virtual void Unlock() const = 0;
};

class HnRealImage : public HnImage {
 public:
  ~HnRealImage() override;

  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  int32_t BitsPerSample() const override { return 8; }
  int32_t SamplesPerPixel() const override { return samples_; }
  int32_t RowBytes() const override { return rowBytes_; }
  uint8_t* Lock() const override;
  void Unlock() const override;
  int32_t LockCount() const { return locks_; }
  const HnBaseBuffer& Storage() const { return *storage_; }

  // Copies `planes` interleaved 8-bit samples a pixel from `src` (its row step `srcRowBytes`,
  // `src` pointing at the buffer's origin) out of `srcRect` into `dstRect` of this image.
  void CopyIn(int32_t bits, int32_t planes, int32_t srcRowBytes, const HnRect& srcRect, const HnRect& dstRect,
              const uint8_t* src);
  // Every pixel set to the given samples (SamplesPerPixel() of them).
  void FillSamples(const uint8_t* samples);

 protected:
  // Takes ownership of `storage` (nullptr: heap storage) and allocates it; raises code 2.
  HnRealImage(int32_t width, int32_t height, int32_t samples, HnBaseBuffer* storage);
  // The bytes of `r` copied into `out`, which has r's size and this image's layout.
  void CropInto(HnRealImage& out, const HnRect& r) const;

 private:
  int32_t width_, height_, samples_, rowBytes_;
  std::unique_ptr<HnBaseBuffer> storage_;
  mutable int32_t locks_ = 0;
  mutable uint8_t* base_ = nullptr;
};

// Locks an image for the length of a scope.
class HnImageLock {
 public:
  explicit HnImageLock(const HnImage& image) : image_(image), data_(image.Lock()) {}
  ~HnImageLock() { image_.Unlock(); }
  HnImageLock(const HnImageLock&) = delete;
  HnImageLock& operator=(const HnImageLock&) = delete;
  uint8_t* data() const { return data_; }
  uint8_t* Row(int32_t y) const { return data_ + static_cast<ptrdiff_t>(y) * image_.RowBytes(); }

 private:
  const HnImage& image_;
  uint8_t* data_;
};

class HnGrayscaleImage;

class HnRGBImage final : public HnRealImage {
 public:
  HnRGBImage(int32_t width, int32_t height, HnBaseBuffer* storage = nullptr);
  std::unique_ptr<HnRGBImage> Crop(int32_t left, int32_t top, int32_t right, int32_t bottom) const;
  void Fill(uint8_t r, uint8_t g, uint8_t b);
  // this = (this x (255 - a) + source x a + 127) / 255 per channel, a the mask's sample
  // (255 minus it for an inverted mask). All three images have the same size.
  void CompositeThroughMask(const HnRGBImage& source, const HnGrayscaleImage& mask);
};

class HnGrayscaleImage final : public HnRealImage {
 public:
  HnGrayscaleImage(int32_t width, int32_t height, HnBaseBuffer* storage = nullptr);
  // Grey = 0.299 R + 0.587 G + 0.114 B, truncated. Storage of the source's kind.
  explicit HnGrayscaleImage(const HnRGBImage& rgb);
  std::unique_ptr<HnGrayscaleImage> Crop(int32_t left, int32_t top, int32_t right, int32_t bottom) const;
  void Fill(uint8_t v);

  uint8_t matte() const { return matte_; }
  void setMatte(uint8_t m) { matte_ = m; }
  bool inverted() const { return inverted_; }
  void setInverted(bool inv) { inverted_ = inv; }
  // The sample as a mask reads it.
  uint8_t MaskValue(uint8_t sample) const { return inverted_ ? static_cast<uint8_t>(255 - sample) : sample; }

  // Smallest box, seeded at the centre point, that holds every sample differing from v.
  // A box without width or height comes back as all zeros.
  HnRect BoundingBox(uint8_t v) const;

 private:
  uint8_t matte_ = 0;
  bool inverted_ = false;
};

// Area-averaging resize of `src` into `dst` (same samples a pixel). Coarse mode looks at
// every k-th source pixel only, k = max(1, (n / 80 + n / 40) / 2) for an axis of n pixels.
void HnResize(const HnRealImage& src, HnRealImage& dst, bool coarse = false);

// The size of a width x height image scaled uniformly by the larger factor that fits the box.
HnSize HnScaleToFit(int32_t width, int32_t height, int32_t boxWidth, int32_t boxHeight);
