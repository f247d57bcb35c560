#include "HnCode/HnImage.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "HnCode/HnErrorCode.h"

HnRealImage::HnRealImage(int32_t width, int32_t height, int32_t samples, HnBaseBuffer* storage)
    : width_(width), height_(height), samples_(samples), rowBytes_(0), storage_(storage) {
  if (!storage_) {
    storage_.reset(new (std::nothrow) HnBuffer);
    if (!storage_) HN_THROW(kHnErrNoMemory);
  }
  HN_REQUIRE(width >= 0 && height >= 0 && samples > 0);
  const uint64_t row = static_cast<uint64_t>(width) * static_cast<uint64_t>(samples);
  const uint64_t total = row * static_cast<uint64_t>(height);
  if (row > INT32_MAX || total > SIZE_MAX / 2) HN_THROW(kHnErrNoMemory);
  rowBytes_ = static_cast<int32_t>(row);
  storage_->Allocate(static_cast<size_t>(total));
}

HnRealImage::~HnRealImage() {
  if (locks_ > 0) storage_->Unlock();
  storage_->Free();
}

uint8_t* HnRealImage::Lock() const {
  if (locks_ == 0) {
    base_ = storage_->Lock();
    if (!base_) HN_THROW(kHnErrInternal);
  }
  ++locks_;
  return base_;
}

void HnRealImage::Unlock() const {
  if (locks_ == 0) return;
  if (--locks_ == 0) {
    storage_->Unlock();
    base_ = nullptr;
  }
}

void HnRealImage::CopyIn(int32_t bits, int32_t planes, int32_t srcRowBytes, const HnRect& srcRect,
                         const HnRect& dstRect, const uint8_t* src) {
  HN_REQUIRE(bits == 8 && planes == samples_ && src);
  HN_REQUIRE(srcRect.Width() == dstRect.Width() && srcRect.Height() == dstRect.Height());
  HN_REQUIRE(srcRect.left >= 0 && srcRect.top >= 0 && srcRect.Width() >= 0 && srcRect.Height() >= 0);
  HN_REQUIRE(dstRect.left >= 0 && dstRect.top >= 0 && dstRect.right <= width_ && dstRect.bottom <= height_);
  HnImageLock lock(*this);
  const size_t n = static_cast<size_t>(srcRect.Width()) * static_cast<size_t>(planes);
  for (int32_t y = 0; y < srcRect.Height(); ++y) {
    const uint8_t* s = src + static_cast<ptrdiff_t>(srcRect.top + y) * srcRowBytes +
                       static_cast<ptrdiff_t>(srcRect.left) * planes;
    uint8_t* d = lock.Row(dstRect.top + y) + static_cast<ptrdiff_t>(dstRect.left) * planes;
    std::memcpy(d, s, n);
  }
}

void HnRealImage::FillSamples(const uint8_t* samples) {
  HnImageLock lock(*this);
  if (height_ == 0 || width_ == 0) return;
  uint8_t* row0 = lock.Row(0);
  for (int32_t x = 0; x < width_; ++x) std::memcpy(row0 + x * samples_, samples, static_cast<size_t>(samples_));
  for (int32_t y = 1; y < height_; ++y) std::memcpy(lock.Row(y), row0, static_cast<size_t>(rowBytes_));
}

void HnRealImage::CropInto(HnRealImage& out, const HnRect& r) const {
  if (rowBytes_ == 0 && width_ > 0) HN_THROW(kHnErrBadImage);
  HnImageLock lock(*this);
  out.CopyIn(8, samples_, rowBytes_, r, HnRect{0, 0, r.Width(), r.Height()}, lock.data());
}

namespace {
void RequireInside(const HnRealImage& img, int32_t l, int32_t t, int32_t r, int32_t b) {
  HN_REQUIRE(l >= 0 && t >= 0 && r > l && b > t && r <= img.Width() && b <= img.Height());
}
}  // namespace

HnRGBImage::HnRGBImage(int32_t width, int32_t height, HnBaseBuffer* storage)
    : HnRealImage(width, height, 3, storage) {}

std::unique_ptr<HnRGBImage> HnRGBImage::Crop(int32_t left, int32_t top, int32_t right, int32_t bottom) const {
  RequireInside(*this, left, top, right, bottom);
  std::unique_ptr<HnRGBImage> out(new (std::nothrow) HnRGBImage(right - left, bottom - top, Storage().NewOfSameKind()));
  if (!out) HN_THROW(kHnErrNoMemory);
  CropInto(*out, HnRect{left, top, right, bottom});
  return out;
}

void HnRGBImage::Fill(uint8_t r, uint8_t g, uint8_t b) {
  const uint8_t s[3] = {r, g, b};
  FillSamples(s);
}

void HnRGBImage::CompositeThroughMask(const HnRGBImage& source, const HnGrayscaleImage& mask) {
  HN_REQUIRE(source.Width() == Width() && source.Height() == Height());
  HN_REQUIRE(mask.Width() == Width() && mask.Height() == Height());
  HnImageLock d(*this), s(source), m(mask);
  const int32_t w = Width();
  for (int32_t y = 0; y < Height(); ++y) {
    uint8_t* dr = d.Row(y);
    const uint8_t* sr = s.Row(y);
    const uint8_t* mr = m.Row(y);
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t a = mask.MaskValue(mr[x]);
      for (int c = 0; c < 3; ++c) {
        uint8_t& o = dr[3 * x + c];
        o = static_cast<uint8_t>((o * (255 - a) + sr[3 * x + c] * a + 127) / 255);
      }
    }
  }
}

HnGrayscaleImage::HnGrayscaleImage(int32_t width, int32_t height, HnBaseBuffer* storage)
    : HnRealImage(width, height, 1, storage) {}

HnGrayscaleImage::HnGrayscaleImage(const HnRGBImage& rgb)
    : HnRealImage(rgb.Width(), rgb.Height(), 1, rgb.Storage().NewOfSameKind()) {
  if (rgb.RowBytes() == 0 && rgb.Width() > 0) HN_THROW(kHnErrBadImage);
  HnImageLock s(rgb), d(*this);
  for (int32_t y = 0; y < Height(); ++y) {
    const uint8_t* sr = s.Row(y);
    uint8_t* dr = d.Row(y);
    for (int32_t x = 0; x < Width(); ++x)
      dr[x] = static_cast<uint8_t>(0.299 * sr[3 * x] + 0.587 * sr[3 * x + 1] + 0.114 * sr[3 * x + 2]);
  }
}

std::unique_ptr<HnGrayscaleImage> HnGrayscaleImage::Crop(int32_t left, int32_t top, int32_t right,
                                                         int32_t bottom) const {
  RequireInside(*this, left, top, right, bottom);
  std::unique_ptr<HnGrayscaleImage> out(
      new (std::nothrow) HnGrayscaleImage(right - left, bottom - top, Storage().NewOfSameKind()));
  if (!out) HN_THROW(kHnErrNoMemory);
  out->matte_ = matte_;
  out->inverted_ = inverted_;
  CropInto(*out, HnRect{left, top, right, bottom});
  return out;
}

void HnGrayscaleImage::Fill(uint8_t v) { FillSamples(&v); }

HnRect HnGrayscaleImage::BoundingBox(uint8_t v) const {
  HnImageLock lock(*this);
  HnRect box{Width() / 2, Height() / 2, Width() / 2, Height() / 2};
  for (int32_t y = 0; y < Height(); ++y) {
    const uint8_t* row = lock.Row(y);
    for (int32_t x = 0; x < Width(); ++x) {
      if (row[x] == v) continue;
      box.left = std::min(box.left, x);
      box.top = std::min(box.top, y);
      box.right = std::max(box.right, x + 1);
      box.bottom = std::max(box.bottom, y + 1);
    }
  }
  if (box.Width() <= 0 || box.Height() <= 0) return HnRect{};
  return box;
}

namespace {
struct Tap {
  int32_t index;   // source pixel
  uint32_t weight; // 1/1024 of a destination pixel
};

// For each destination pixel along one axis, the source pixels it covers and their shares,
// which add up to exactly 1024.
std::vector<std::vector<Tap>> AxisTaps(int32_t n, int32_t dstN, bool coarse) {
  const int32_t k = coarse ? std::max(1, (n / 80 + n / 40) / 2) : 1;
  const int64_t m = (n + k - 1) / k;  // source pixels looked at
  std::vector<std::vector<Tap>> taps(static_cast<size_t>(dstN));
  for (int32_t j = 0; j < dstN; ++j) {
    const int64_t b0 = j * m, b1 = (j + 1) * m;  // in 1/dstN of a source pixel
    for (int64_t i = b0 / dstN; i < m && i * dstN < b1; ++i) {
      const int64_t s = std::max(b0, i * dstN) - b0, e = std::min(b1, (i + 1) * dstN) - b0;
      const uint32_t w = static_cast<uint32_t>((1024 * e + m / 2) / m - (1024 * s + m / 2) / m);
      if (w) taps[static_cast<size_t>(j)].push_back({static_cast<int32_t>(i * k), w});
    }
  }
  return taps;
}
}  // namespace

void HnResize(const HnRealImage& src, HnRealImage& dst, bool coarse) {
  HN_REQUIRE(src.SamplesPerPixel() == dst.SamplesPerPixel());
  if (dst.Width() == 0 || dst.Height() == 0) return;
  HN_REQUIRE(src.Width() > 0 && src.Height() > 0);
  const auto xs = AxisTaps(src.Width(), dst.Width(), coarse);
  const auto ys = AxisTaps(src.Height(), dst.Height(), coarse);
  const int32_t spp = src.SamplesPerPixel();
  HnImageLock s(src), d(dst);
  std::vector<uint32_t> acc(static_cast<size_t>(spp));
  for (int32_t y = 0; y < dst.Height(); ++y) {
    uint8_t* out = d.Row(y);
    for (int32_t x = 0; x < dst.Width(); ++x) {
      std::fill(acc.begin(), acc.end(), 0u);
      for (const Tap& ty : ys[static_cast<size_t>(y)]) {
        const uint8_t* row = s.Row(ty.index);
        for (const Tap& tx : xs[static_cast<size_t>(x)]) {
          const uint32_t w = ty.weight * tx.weight;
          for (int32_t c = 0; c < spp; ++c) acc[static_cast<size_t>(c)] += row[tx.index * spp + c] * w;
        }
      }
      for (int32_t c = 0; c < spp; ++c)
        out[x * spp + c] = static_cast<uint8_t>(std::min<uint32_t>(255, (acc[static_cast<size_t>(c)] + (1u << 19)) >> 20));
    }
  }
}

HnSize HnScaleToFit(int32_t width, int32_t height, int32_t boxWidth, int32_t boxHeight) {
  if (width <= 0 || height <= 0) return HnSize{};
  const int64_t w = width, h = height;
  if (boxWidth * h <= boxHeight * w)  // the width limits
    return HnSize{boxWidth, static_cast<int32_t>(std::max<int64_t>(1, h * boxWidth / w))};
  return HnSize{static_cast<int32_t>(std::max<int64_t>(1, w * boxHeight / h)), boxHeight};
}
