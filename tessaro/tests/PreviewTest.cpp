// Reduced previews: block reductions from Bayer planes and RGB images, the chain the raw file
// keeps, and the browser's eighth-size image.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "TestFiles.h"
#include "tessaro/Conversion.h"
#include "tessaro/Preview.h"

namespace tessaro {
namespace {

std::vector<std::uint16_t> Random(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<std::uint16_t> v(n);
  for (auto& x : v) x = static_cast<std::uint16_t>(rng() % 4096);
  return v;
}

// The colour named at (x, y) by the layout rule: 0 red, 1 green, 2 blue.
int ColourAt(std::uint32_t x, std::uint32_t y, int order) {
  const int p = static_cast<int>(((x & 1) << 1) | (y & 1)) ^ order;
  return p == 0 ? 0 : p == 3 ? 2 : 1;
}

TEST(PreviewHalve, UniformBayerGivesGreyAndOddSizesLoseTheirLast) {
  for (int order = 0; order < 4; ++order) {
    std::vector<std::uint16_t> plane(7 * 5, 1234);
    PreviewImage out;
    std::string log;
    ASSERT_TRUE(HalvePreview({plane.data(), 7, 5, 1, order}, out, &log));
    EXPECT_EQ(log, "GeneratingPreview2 from RGGB\n");
    EXPECT_EQ(out.width, 3u);
    EXPECT_EQ(out.height, 2u);
    EXPECT_EQ(out.scale, 2);
    EXPECT_EQ(out.kind, kPreviewRgb);
    EXPECT_TRUE(out.valid);
    for (auto v : out.pixels) EXPECT_EQ(v, 1234);
  }
}

TEST(PreviewHalve, BlocksFromEveryBayerOrderAndFromRgb) {
  const std::uint32_t w = 10, h = 8;
  const auto plane = Random(w * h, 5);
  for (int order = 0; order < 4; ++order) {
    PreviewImage out;
    ASSERT_TRUE(HalvePreview({plane.data(), w, h, 1, order}, out));
    for (std::uint32_t y = 0; y < h / 2; ++y)
      for (std::uint32_t x = 0; x < w / 2; ++x) {
        unsigned want[3] = {0, 0, 0};
        for (std::uint32_t dy = 0; dy < 2; ++dy)
          for (std::uint32_t dx = 0; dx < 2; ++dx) {
            const std::uint32_t px = 2 * x + dx, py = 2 * y + dy;
            want[ColourAt(px, py, order)] += plane[py * w + px];
          }
        EXPECT_EQ(out.At(x, y)[0], want[0]);
        EXPECT_EQ(out.At(x, y)[1], want[1] >> 1);
        EXPECT_EQ(out.At(x, y)[2], want[2]);
      }
  }
  // RGB: the mean of four, truncated.
  const auto rgb = Random(5 * 3 * 3, 9);
  PreviewImage out;
  std::string log;
  ASSERT_TRUE(HalvePreview({rgb.data(), 5, 3, 4, kPreviewRgb}, out, &log));
  EXPECT_EQ(log, "GeneratingPreview2 from RGB\n");
  EXPECT_EQ(out.scale, 8);
  ASSERT_EQ(out.width, 2u);
  ASSERT_EQ(out.height, 1u);
  for (std::uint32_t x = 0; x < 2; ++x)
    for (int c = 0; c < 3; ++c) {
      const auto at = [&](std::uint32_t px, std::uint32_t py) { return unsigned{rgb[(py * 5 + px) * 3 + static_cast<unsigned>(c)]}; };
      EXPECT_EQ(out.At(x, 0)[c], (at(2 * x, 0) + at(2 * x + 1, 0) + at(2 * x, 1) + at(2 * x + 1, 1)) >> 2);
    }
}

TEST(PreviewThird, EachTopLeftPhaseTakesItsOwnNeighbours) {
  const std::uint32_t w = 9, h = 9;  // blocks begin on both parities
  const auto plane = Random(w * h, 21);
  for (int order = 0; order < 4; ++order) {
    PreviewImage out;
    std::string log;
    ASSERT_TRUE(ThirdPreview({plane.data(), w, h, 1, order}, out, &log));
    EXPECT_EQ(log, "GeneratingPreview3 from RGGB\n");
    EXPECT_EQ(out.scale, 3);
    for (std::uint32_t by = 0; by < 3; ++by)
      for (std::uint32_t bx = 0; bx < 3; ++bx) {
        // Averages of each colour over the block, grouped as the reduction groups them: the
        // same-colour sites of a 3 x 3 block are always the corners, the centre, or a pair of
        // edge middles, so each colour's mean by its own groups is the answer.
        unsigned sum[3] = {0, 0, 0}, n[3] = {0, 0, 0};
        for (std::uint32_t dy = 0; dy < 3; ++dy)
          for (std::uint32_t dx = 0; dx < 3; ++dx) {
            const std::uint32_t px = 3 * bx + dx, py = 3 * by + dy;
            const int c = ColourAt(px, py, order);
            sum[c] += plane[py * w + px];
            ++n[c];
          }
        const std::uint16_t* o = out.At(bx, by);
        for (int c = 0; c < 3; ++c) {
          const unsigned want = n[c] == 5 ? sum[c] / 5 : n[c] == 4 ? sum[c] >> 2 : n[c] == 2 ? sum[c] >> 1 : sum[c];
          EXPECT_EQ(o[c], want) << order << " " << bx << "," << by << " channel " << c;
        }
      }
  }
}

TEST(PreviewThird, FromRgbIsTheMeanOfNine) {
  std::vector<std::uint16_t> rgb(7 * 4 * 3);
  for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<std::uint16_t>(i * 37 % 4096);
  PreviewImage out;
  ASSERT_TRUE(ThirdPreview({rgb.data(), 7, 4, 2, kPreviewRgb}, out));
  ASSERT_EQ(out.width, 2u);
  ASSERT_EQ(out.height, 1u);
  EXPECT_EQ(out.scale, 6);
  unsigned sum = 0;
  for (std::uint32_t y = 0; y < 3; ++y)
    for (std::uint32_t x = 3; x < 6; ++x) sum += rgb[(y * 7 + x) * 3 + 1];
  EXPECT_EQ(out.At(1, 0)[1], sum / 9);
}

TEST(PreviewChain, KeptByTheFileUntilATurn) {
  testing::MrwLayout l;
  l.width = 96;
  l.height = 48;
  auto f = testing::FromLayout(l);
  ASSERT_TRUE(f->Open());
  EXPECT_EQ(f->Preview(8), nullptr);  // no plane yet
  ASSERT_TRUE(f->LoadPlane());
  std::string log;
  const PreviewImage* eighth = f->Preview(8, &log);
  ASSERT_NE(eighth, nullptr);
  EXPECT_EQ(log, "GeneratingPreview2 from RGGB\nGeneratingPreview2 from RGB\nGeneratingPreview2 from RGB\n");
  EXPECT_EQ(eighth->width, 12u);
  EXPECT_EQ(eighth->height, 6u);
  EXPECT_EQ(eighth->scale, 8);
  log.clear();
  EXPECT_EQ(f->Preview(8, &log), eighth);
  EXPECT_EQ(f->Preview(4, &log)->scale, 4);
  EXPECT_EQ(log, "");  // both kept
  const PreviewImage* twelfth = f->Preview(12, &log);
  ASSERT_NE(twelfth, nullptr);
  EXPECT_EQ(log, "GeneratingPreview3 from RGB\nGeneratingPreview2 from RGB\n");
  EXPECT_EQ(twelfth->width, 8u);
  EXPECT_EQ(twelfth->height, 4u);
  EXPECT_EQ(f->Preview(16)->width, 6u);
  EXPECT_EQ(f->Preview(3), nullptr);
  EXPECT_EQ(f->Preview(1), nullptr);

  // The half equals a direct halving of the plane.
  PreviewImage direct;
  ASSERT_TRUE(HalvePreview({f->Plane(), f->PlaneWidth(), f->PlaneHeight(), 1, f->GetBayerOrder()}, direct));
  EXPECT_EQ(f->Preview(2)->pixels, direct.pixels);

  ASSERT_TRUE(f->TurnPlane(Turn::QuarterCw));
  log.clear();
  const PreviewImage* turned = f->Preview(8, &log);
  ASSERT_NE(turned, nullptr);
  EXPECT_EQ(turned->width, 6u);
  EXPECT_EQ(turned->height, 12u);
  EXPECT_NE(log, "");  // made again

  // Discarded, they give their memory back and are made again on request.
  const PreviewImage* half = f->Preview(2);
  ASSERT_NE(half, nullptr);
  f->DiscardPreviews();
  EXPECT_FALSE(half->valid);
  EXPECT_EQ(half->pixels.capacity(), 0u);
  log.clear();
  ASSERT_NE(f->Preview(2, &log), nullptr);
  EXPECT_NE(log, "");
}

// The eighth read straight from the raw rows must be the chain's eighth of the loaded plane in
// every turn, storage and Bayer pattern, also where odd sizes shift the tiles of a turned plane.
TEST(PreviewReadEighth, EqualsTheChainsEighthOfTheLoadedPlane) {
  struct Size {
    std::uint16_t w, h;
  };
  for (const Size size : {Size{48, 32}, Size{37, 29}, Size{70, 45}, Size{13, 8}, Size{7, 40}})
    for (const bool packed : {true, false})
      for (const std::uint16_t pattern : {std::uint16_t{1}, std::uint16_t{4}})
        for (const std::uint16_t orientation : {std::uint16_t{1}, std::uint16_t{3}, std::uint16_t{6}, std::uint16_t{8}}) {
          testing::MrwLayout l;
          l.width = size.w;
          l.height = size.h;
          l.packed = packed;
          l.bayerPattern = pattern;
          l.orientation = orientation;
          l.wbgGain = {300, 64, 70, 150};
          const std::string what = std::to_string(size.w) + "x" + std::to_string(size.h) + (packed ? " packed" : " 16-bit") +
                                   " pattern " + std::to_string(pattern) + " orientation " + std::to_string(orientation);
          auto streamed = testing::FromLayout(l);
          auto loaded = testing::FromLayout(l);
          ASSERT_TRUE(streamed->Open() && loaded->Open()) << what;
          PreviewImage e;
          std::string log;
          ASSERT_TRUE(streamed->ReadEighth(e, &log)) << what << ": " << streamed->Error();
          EXPECT_FALSE(streamed->HasPlane()) << what;
          ASSERT_TRUE(loaded->LoadPlane()) << what;
          std::string chainLog;
          const PreviewImage* want = loaded->Preview(8, &chainLog);
          ASSERT_NE(want, nullptr) << what;
          EXPECT_EQ(log, chainLog) << what;
          EXPECT_TRUE(e.valid) << what;
          EXPECT_EQ(e.scale, 8) << what;
          EXPECT_EQ(e.kind, kPreviewRgb) << what;
          EXPECT_EQ(e.width, want->width) << what;
          EXPECT_EQ(e.height, want->height) << what;
          EXPECT_EQ(e.pixels, want->pixels) << what;
          // The white balance the tables use is the loaded file's.
          for (int c = 0; c < 4; ++c) EXPECT_EQ(streamed->WbCoefficient(0, c), loaded->WbCoefficient(0, c)) << what;
        }
}

TEST(PreviewReadEighth, ATruncatedFileFailsAsTheLoadDoes) {
  testing::MrwLayout l;
  l.width = 40;
  l.height = 24;
  l.rawBytesDelta = -1;
  auto streamed = testing::FromLayout(l);
  auto loaded = testing::FromLayout(l);
  ASSERT_TRUE(streamed->Open() && loaded->Open());
  PreviewImage e;
  std::string log;
  EXPECT_FALSE(streamed->ReadEighth(e, &log));
  EXPECT_FALSE(loaded->LoadPlane());
  EXPECT_EQ(streamed->Error(), loaded->Error());
  EXPECT_NE(streamed->Error().find("short by 1 bytes"), std::string::npos) << streamed->Error();
  EXPECT_FALSE(e.valid);
  EXPECT_EQ(log, "");

  // Rows the tiles never reach must still be in the file, as for the load: a file cut only
  // there is refused too. A file that was never opened gives nothing.
  l.width = 44;  // 4 columns and, below, 3 rows outside the tiles
  l.height = 27;
  l.rawBytesDelta = -3;
  auto tail = testing::FromLayout(l);
  ASSERT_TRUE(tail->Open());
  EXPECT_FALSE(tail->ReadEighth(e));
  testing::MrwLayout notOpen;
  auto closed = testing::FromLayout(notOpen);
  EXPECT_FALSE(closed->ReadEighth(e));
  EXPECT_EQ(closed->Error(), "file not open");
}

TEST(PreviewBrowser, EighthThroughTheDefaultTables) {
  testing::MrwLayout l;
  l.width = 3008 / 8;  // a small plane first: exact values
  l.height = 2000 / 8;
  auto f = testing::FromLayout(l);
  ASSERT_TRUE(f->Open());
  ASSERT_TRUE(f->LoadPlane());
  const std::vector<std::uint16_t> plane(f->Plane(), f->Plane() + std::size_t{f->PlaneWidth()} * f->PlaneHeight());
  ChannelLuts luts;
  BrowserImage img;
  ASSERT_TRUE(MakeBrowserImage(*f, luts, img));
  EXPECT_EQ(img.width, 47u);
  EXPECT_EQ(img.height, 31u);
  ChannelLuts want;
  BuildChannelLuts(ConversionSettings(), CameraWb::FromFile(*f), false, want);
  const PreviewImage* e = f->Preview(8);
  for (std::size_t i = 0; i < std::size_t{img.width} * img.height; ++i) {
    EXPECT_EQ(img.rgb[3 * i], want[0][e->pixels[3 * i]] * 255 / 4095);
    EXPECT_EQ(img.rgb[3 * i + 1], want[2][e->pixels[3 * i + 1]] * 255 / 4095);
    EXPECT_EQ(img.rgb[3 * i + 2], want[3][e->pixels[3 * i + 2]] * 255 / 4095);
  }
  // The plane itself is left as it was.
  EXPECT_TRUE(std::equal(plane.begin(), plane.end(), f->Plane()));
}

TEST(PreviewBrowser, FullSizeCameraFrame) {
  testing::MrwLayout l;
  l.width = 3008;
  l.height = 2000;
  l.samples.assign(std::size_t{3008} * 2000, 800);
  auto f = testing::FromLayout(l);
  ASSERT_TRUE(f->Open());
  ASSERT_TRUE(f->LoadPlane());
  ChannelLuts luts;
  BrowserImage img;
  ASSERT_TRUE(MakeBrowserImage(*f, luts, img));
  EXPECT_EQ(img.width, 376u);
  EXPECT_EQ(img.height, 250u);
}

}  // namespace
}  // namespace tessaro
