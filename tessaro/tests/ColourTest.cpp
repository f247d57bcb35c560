// The colour stage against its arithmetic written out per pixel, its edge values, the profile
// index rule and the monitor conversion's pieces.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "TestFiles.h"
#include "tessaro/Colour.h"

namespace tessaro {
namespace {

ConversionSettings With(int space, int saturation = 0, bool monitor = false) {
  ConversionSettings s;
  s.ColorSpace = static_cast<std::int16_t>(space);
  s.Saturation = saturation;
  s.ConvertToMonitor = monitor;
  return s;
}

std::vector<std::uint16_t> Convert(const ConversionSettings& s, int depth, const std::vector<std::uint16_t>& rgb,
                               const RawFile* file = nullptr) {
  ColourConverter c;
  EXPECT_TRUE(c.Start(s, file, depth));
  const std::size_t w = rgb.size() / 3;
  std::vector<std::uint16_t> out(rgb.size());
  if (depth == 16) {
    c.Row(rgb.data(), w, out.data());
  } else {
    std::vector<std::uint8_t> bytes(rgb.size());
    c.Row(rgb.data(), w, bytes.data());
    for (std::size_t i = 0; i < bytes.size(); ++i) out[i] = bytes[i];
  }
  return out;
}

TEST(ColourPassThrough, ScalesByIntegerRatio) {
  const auto o16 = Convert(With(kSpaceNone), 16, {4095, 2048, 0});
  EXPECT_EQ(o16, (std::vector<std::uint16_t>{65535, 32775, 0}));
  const auto o8 = Convert(With(kSpaceNone), 8, {4095, 2048, 16});
  EXPECT_EQ(o8, (std::vector<std::uint16_t>{255, 127, 0}));
  // Saturation and the monitor switch leave "none" alone.
  EXPECT_EQ(Convert(With(kSpaceNone, -70, true), 16, {4095, 2048, 0}), o16);
}

TEST(ColourMatrices, NeutralStaysNeutralInEveryBuiltInSpace) {
  for (int space = kSpace57; space <= kSpace7D; ++space)
    for (const std::uint16_t v : {std::uint16_t{0}, std::uint16_t{1}, std::uint16_t{1000}, std::uint16_t{2047}, std::uint16_t{4095}}) {
      const auto o = Convert(With(space, 40), 16, {v, v, v});
      EXPECT_EQ(o[0], To16Bit(v)) << space << " " << v;
      EXPECT_EQ(o[1], o[0]);
      EXPECT_EQ(o[2], o[0]);
    }
}

TEST(ColourMatrices, SaturationMinus70IsExactlyGrey) {
  std::mt19937 rng(7);
  for (int space = kSpace57; space <= kSpace7D; ++space)
    for (int i = 0; i < 50; ++i) {
      const std::uint16_t r = rng() % 4096, g = rng() % 4096, b = rng() % 4096;
      const auto o = Convert(With(space, -70), 16, {r, g, b});
      EXPECT_EQ(o[0], o[1]);
      EXPECT_EQ(o[1], o[2]);
    }
  EXPECT_EQ(SaturationFactor(-70), 0.0);
  EXPECT_DOUBLE_EQ(SaturationFactor(-69), std::pow(10.0, -0.69));
  EXPECT_DOUBLE_EQ(SaturationFactor(100), 10.0);
}

TEST(ColourMatrices, FullWhiteIs255AndBrightColoursSaturateAtTheEnd) {
  EXPECT_EQ(Convert(With(kSpace7D), 8, {4095, 4095, 4095}), (std::vector<std::uint16_t>{255, 255, 255}));
  // Strong red through a saturated matrix gives R' far above 4095: limited only when scaled.
  const auto o = Convert(With(kSpace57, 100), 16, {4095, 0, 0});
  EXPECT_EQ(o[0], 65535);
  EXPECT_EQ(o[1], 0);  // negative results become 0
  EXPECT_EQ(To16Bit(4096), 65535);
  EXPECT_EQ(To8Bit(4200), 255);
  EXPECT_EQ(To16Bit(1.0), 16);
}

// The formula as read, independent of the converter's precomputed sums.
double Ref(const ColourMatrix& m, double s, int ch, double r, double g, double b) {
  const double y = (m.y[1] + m.y[2]) * g + m.y[0] * r + m.y[3] * b;
  const double cr = ((m.cr[1] + m.cr[2]) * g + m.cr[0] * r + m.cr[3] * b) * s;
  const double cb = ((m.cb[1] + m.cb[2]) * g + m.cb[0] * r + m.cb[3] * b) * s;
  const double o[3] = {y + 1.402 * cr, y - 0.34414 * cb - 0.71414 * cr, y + 1.772 * cb};
  return o[ch] < 0 ? 0 : o[ch];
}

TEST(ColourMatrices, RowsAgreeWithTheFormulaPerPixel) {
  std::mt19937 rng(3);
  for (int space : {2, 3, 7})
    for (int sat : {-50, 0, 35}) {
      ColourMatrix m;
      ASSERT_TRUE(ColourMatrixFor(space, nullptr, m));
      std::vector<std::uint16_t> in(3 * 64);
      for (auto& v : in) v = static_cast<std::uint16_t>(rng() % 4096);
      const auto o16 = Convert(With(space, sat), 16, in);
      const auto o8 = Convert(With(space, sat), 8, in);
      for (std::size_t p = 0; p < 64; ++p)
        for (int c = 0; c < 3; ++c) {
          const double v = Ref(m, std::pow(10.0, sat / 100.0), c, in[3 * p], in[3 * p + 1], in[3 * p + 2]);
          const double w16 = std::min(65535.0, std::floor(v * 65535.0 / 4095.0 + 0.5));
          const double w8 = std::min(255.0, std::floor(v * 255.0 / 4095.0 + 0.5));
          EXPECT_NEAR(o16[3 * p + static_cast<std::size_t>(c)], w16, 1) << space << " " << sat;
          EXPECT_NEAR(o8[3 * p + static_cast<std::size_t>(c)], w8, 1) << space << " " << sat;
        }
    }
}

// The 16-bit rows take pixels in pairs: every width, odd ones included, must give exactly the
// single-pixel result, extremes and strong saturation too.
TEST(ColourMatrices, SixteenBitRowsMatchThePixelExactly) {
  std::mt19937 rng(11);
  for (int space : {2, 3, 7})
    for (int sat : {-70, -50, 0, 35, 100})
      for (std::size_t w : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7}, std::size_t{65}}) {
        ColourConverter c;
        ASSERT_TRUE(c.Start(With(space, sat), nullptr, 16));
        std::vector<std::uint16_t> in(3 * w), out(3 * w);
        for (auto& v : in) v = static_cast<std::uint16_t>(rng() % 3 == 0 ? (rng() % 2) * 4095 : rng() % 4096);
        c.Row(in.data(), w, out.data());
        for (std::size_t p = 0; p < w; ++p) {
          double px[3];
          c.Pixel(in.data() + 3 * p, px);
          for (std::size_t k = 0; k < 3; ++k)
            ASSERT_EQ(out[3 * p + k], To16Bit(px[k])) << space << " " << sat << " w " << w << " px " << p;
        }
      }
}

TEST(ColourMatrices, CameraSpaceReadsSignedRifValues) {
  testing::MrwLayout l;
  // Y row (offsets 32, 34, 38, 36), Cb (40..46), Cr (48..54), in 1/256: 32..54 are values 16..23.
  const std::int16_t y[4] = {77, 75, 75, 30}, cb[4] = {-44, -42, -42, 128}, cr[4] = {128, -54, -54, -20};
  const auto put = [&](int offset, std::int16_t v) { l.rifValues[static_cast<std::size_t>(offset / 2 - 4)] = static_cast<std::uint16_t>(v); };
  put(32, y[0]); put(34, y[1]); put(38, y[2]); put(36, y[3]);
  put(40, cb[0]); put(42, cb[1]); put(46, cb[2]); put(44, cb[3]);
  put(48, cr[0]); put(50, cr[1]); put(54, cr[2]); put(52, cr[3]);
  auto f = testing::FromLayout(l);
  ASSERT_TRUE(f->Open());
  ColourMatrix m;
  ASSERT_TRUE(ColourMatrixFor(kSpaceCamera, f.get(), m));
  for (int c = 0; c < 4; ++c) {
    EXPECT_DOUBLE_EQ(m.y[static_cast<std::size_t>(c)], y[c] / 256.0);
    EXPECT_DOUBLE_EQ(m.cb[static_cast<std::size_t>(c)], cb[c] / 256.0);
    EXPECT_DOUBLE_EQ(m.cr[static_cast<std::size_t>(c)], cr[c] / 256.0);
  }
  // Without a file every entry is 0, and so is every output.
  ASSERT_TRUE(ColourMatrixFor(kSpaceCamera, nullptr, m));
  EXPECT_EQ(m.y[0], 0);
  EXPECT_EQ(Convert(With(kSpaceCamera), 16, {4095, 4095, 4095}), (std::vector<std::uint16_t>{0, 0, 0}));
  EXPECT_FALSE(ColourMatrixFor(kSpaceNone, f.get(), m));
  EXPECT_FALSE(ColourMatrixFor(8, f.get(), m));
}

TEST(ColourMatrices, CameraSpaceWithoutAUsableMatrixTakesTheFamilysOwn) {
  ColourMatrix later, early, m;
  ASSERT_TRUE(ColourMatrixFor(kSpace7i, nullptr, later));
  ASSERT_TRUE(ColourMatrixFor(kSpace57, nullptr, early));
  testing::MrwLayout numbers;  // values 1 to 12 in the matrix's place: grey would come out magenta
  testing::MrwLayout none;
  none.rif = false;
  testing::MrwLayout early57 = numbers;
  early57.version = "27730001";
  for (const auto& [layout, want] : {std::pair{&numbers, &later}, std::pair{&none, &later}, std::pair{&early57, &early}}) {
    auto f = testing::FromLayout(*layout);
    ASSERT_TRUE(f->Open());
    ASSERT_TRUE(ColourMatrixFor(kSpaceCamera, f.get(), m));
    EXPECT_EQ(m.y, want->y);
    EXPECT_EQ(m.cr, want->cr);
    EXPECT_EQ(m.cb, want->cb);
    const auto o = Convert(With(kSpaceCamera), 16, {2000, 2000, 2000}, f.get());
    EXPECT_EQ(o, (std::vector<std::uint16_t>(3, To16Bit(2000))));
  }
}

TEST(ColourProfiles, IndexRule) {
  EXPECT_EQ(ProfileIndex(With(kSpaceCamera), 6, 3), 3);
  EXPECT_EQ(ProfileIndex(With(kSpaceCamera), 0, 0), 0);
  const int bySpace[] = {-1, -1, 1, 2, 3, 4, 5, 6};
  for (int space = 2; space <= 7; ++space) EXPECT_EQ(ProfileIndex(With(space), 9, 5), bySpace[space]);
  // "none" (and any unknown space) by the camera model.
  const int byModel[][2] = {{6, 3}, {7, 4}, {8, 6}, {9, 5}, {1, 2}, {3, 2}, {5, 2}, {0, 0}, {10, 0}};
  for (const auto& mc : byModel) {
    EXPECT_EQ(ProfileIndex(With(kSpaceNone), mc[0], 1), mc[1]) << mc[0];
    EXPECT_EQ(ProfileIndex(With(12), mc[0], 1), mc[1]) << mc[0];
  }
  // The monitor's, except for "none".
  EXPECT_EQ(ProfileIndex(With(kSpace7D, 0, true), 8, 6), kProfileMonitor);
  EXPECT_EQ(ProfileIndex(With(kSpaceCamera, 0, true), 0, 0), kProfileMonitor);
  EXPECT_EQ(ProfileIndex(With(kSpaceNone, 0, true), 8, 6), 6);
  EXPECT_STREQ(ProfileName(0), "no profile");
  EXPECT_STREQ(ProfileName(5), "Dimage A200Mod (RAW g2200)");
  EXPECT_STREQ(ProfileName(7), "unknown profile!!!");
  EXPECT_STREQ(ProfileName(-1), "unknown profile!!!");
  EXPECT_TRUE(ProfileBytes(0).empty());
  EXPECT_TRUE(ProfileBytes(7).empty());
  EXPECT_EQ(ProfileColorants(10), nullptr);
  EXPECT_DOUBLE_EQ(ProfileColorants(4)->d50[0], 0.964118);
}

TEST(ColourMonitor, LinearisingTableAndItsInverse) {
  const LinearisingTable t;
  EXPECT_EQ(t.v[0], 0u);
  EXPECT_EQ(t.v[1], 1u);
  EXPECT_EQ(t.v[2], 4u);  // 4.59 truncated
  EXPECT_EQ(t.v[4095], static_cast<std::uint32_t>(std::pow(4095.0, 2.2)));
  EXPECT_EQ(t.Inverse(0), 0);
  EXPECT_EQ(t.Inverse(-5), 0);
  EXPECT_EQ(t.Inverse(t.v[4095] + 1.0), 4095);
  EXPECT_EQ(t.Inverse(t.v[4095]), 4095);
  for (int i : {1, 2, 100, 2048, 4094}) EXPECT_EQ(t.Inverse(t.v[static_cast<std::size_t>(i)]), i);
  // Between two entries the nearer wins; exactly half-way the higher.
  EXPECT_EQ(t.Inverse(2.5), 2);   // entries 1 and 4
  EXPECT_EQ(t.Inverse(2.4), 1);
  EXPECT_EQ(t.Inverse(0.5), 1);   // entries 0 and 1, a tie
  EXPECT_EQ(t.Inverse(0.4), 0);
}

TEST(ColourMonitor, MatrixKeepsWhiteAndIsIdentityWithoutCameraProfile) {
  Mat3 m;
  for (int p : {0, 10, 7}) {
    ASSERT_TRUE(MonitorMatrix(p, m));
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) EXPECT_EQ(m.m[i][j], i == j ? 1.0 : 0.0);
  }
  for (int p = 1; p <= 6; ++p) {
    ASSERT_TRUE(MonitorMatrix(p, m));
    bool identity = true;
    for (int i = 0; i < 3; ++i) {
      EXPECT_NEAR(m.m[i][0] + m.m[i][1] + m.m[i][2], 1.0, 1e-9) << p;
      for (int j = 0; j < 3; ++j) identity = identity && std::fabs(m.m[i][j] - (i == j)) < 1e-3;
    }
    EXPECT_FALSE(identity) << p;
  }
}

TEST(ColourMonitor, InvertRefusesSingularAndInvertsOthers) {
  Mat3 inv;
  const Mat3 singular{{{1, 2, 3}, {2, 4, 6}, {0, 1, 1}}};
  EXPECT_FALSE(Invert(singular, inv));
  const Mat3 a{{{2, 1, 0}, {0, 3, 1}, {1, 0, 4}}};
  ASSERT_TRUE(Invert(a, inv));
  const Mat3 p = a * inv;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(p.m[i][j], i == j ? 1 : 0, 1e-12);
}

TEST(ColourMonitor, ConversionThroughTableMatrixAndSearch) {
  const ConversionSettings s = With(kSpaceA2, 0, true);
  ColourConverter c;
  const LinearisingTable t;
  ASSERT_TRUE(c.Start(s, nullptr, 16, &t));
  EXPECT_TRUE(c.ToMonitor());
  Mat3 m;
  ASSERT_TRUE(MonitorMatrix(4, m));
  std::mt19937 rng(11);
  for (int i = 0; i < 200; ++i) {
    const std::uint16_t in[3] = {static_cast<std::uint16_t>(rng() % 4096), static_cast<std::uint16_t>(rng() % 4096),
                                 static_cast<std::uint16_t>(rng() % 4096)};
    ColourMatrix cm;
    ColourMatrixFor(kSpaceA2, nullptr, cm);
    double lin[3];
    for (int ch = 0; ch < 3; ++ch) {
      const double v = std::min(4095.0, Ref(cm, 1, ch, in[0], in[1], in[2]));
      lin[ch] = std::floor(std::pow(std::floor(v), 2.2));
    }
    double out[3];
    c.Pixel(in, out);
    for (int ch = 0; ch < 3; ++ch) {
      const double want = m.m[ch][0] * lin[0] + m.m[ch][1] * lin[1] + m.m[ch][2] * lin[2];
      const double back = want <= 0 ? 0 : std::min(4095.0, std::round(std::pow(want, 1 / 2.2)));
      EXPECT_NEAR(out[ch], back, 1) << i;
      EXPECT_EQ(out[ch], std::floor(out[ch]));
    }
  }
  // Grey stays grey.
  const std::uint16_t grey[3] = {1500, 1500, 1500};
  double out[3];
  c.Pixel(grey, out);
  EXPECT_NEAR(out[0], 1500, 1);
  EXPECT_NEAR(out[1], 1500, 1);
  EXPECT_NEAR(out[2], 1500, 1);
}

}  // namespace
}  // namespace tessaro
