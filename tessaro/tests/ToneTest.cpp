// The tone table, the built-in contrast curves and the channel tables.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "tessaro/ChannelLut.h"

namespace tessaro {
namespace {

ConversionSettings Identity() {
  ConversionSettings s;
  s.PreciseContrast = 0;
  s.PreciseGamma = 1;
  s.Shadows = 0;
  s.Highlights = 100;
  s.HighlightsFix = false;
  return s;
}

TEST(ToneTable, IdentityAndBlackWhitePoints) {
  const ToneTable id = BuildToneTable(Identity());
  for (int i = 0; i < kLutSize; ++i) ASSERT_EQ(id[i], i);

  ConversionSettings s = Identity();
  s.Shadows = 10;     // s = 409
  s.Highlights = 50;  // h = 2047
  const ToneTable t = BuildToneTable(s);
  EXPECT_EQ(t[0], 0);
  EXPECT_EQ(t[409], 0);
  EXPECT_EQ(t[1000], (1000 - 409) * 4095 / (2047 - 409));
  EXPECT_EQ(t[2047], 4095);
  EXPECT_EQ(t[4095], 4095);

  // Defaults: an S-curve over gamma 2.64 that keeps both ends and rises throughout.
  const ToneTable d = BuildToneTable(ConversionSettings());
  EXPECT_EQ(d[0], 0);
  EXPECT_EQ(d[4095], 4095);
  for (int i = 1; i < kLutSize; ++i) ASSERT_GE(d[i], d[i - 1]) << i;
  EXPECT_GT(d[512], 512);
}

TEST(ToneTable, EveryEntryIsSetWhenTheBlackPointMeetsTheWhitePoint) {
  // Shadows at or above highlights with h = 0 used to leave the table to chance.
  for (double shadows : {0.0, 30.0}) {
    ConversionSettings s = Identity();
    s.Shadows = shadows;
    s.Highlights = 0;
    const ToneTable t = BuildToneTable(s);
    for (int i = 0; i < kLutSize; ++i) ASSERT_EQ(t[i], i <= int(shadows * 40.95) && shadows > 0 ? 0 : 4095) << i;
  }
  // A black point beyond the scale and one above a white point are hard steps.
  ConversionSettings s = Identity();
  s.Shadows = 101;
  s.Highlights = 100;
  ToneTable t = BuildToneTable(s);
  EXPECT_EQ(t[4094], 0);
  EXPECT_EQ(t[4095], 4095);
  s.Shadows = 60;
  s.Highlights = 40;
  t = BuildToneTable(s);
  EXPECT_EQ(t[1637], 0);
  EXPECT_EQ(t[1638], 4095);
  EXPECT_EQ(t[2457], 4095);
}

TEST(ToneTable, ValuesOutsideTheUsualRangesStayInTheTable) {
  ConversionSettings s = Identity();
  s.Shadows = -10;  // a black point below 0 stretches, never writes before the table
  ToneTable t = BuildToneTable(s);
  EXPECT_EQ(t[0], 409 * 4095 / (4095 + 409));
  EXPECT_EQ(t[4095], 4095);
  for (double c : {100.0, 150.0, -100.0, -250.0})
    for (double g : {0.0, -1.0, 1e-9}) {
      s = ConversionSettings();
      s.PreciseContrast = c;
      s.PreciseGamma = g;
      t = BuildToneTable(s);
      for (int i = 0; i < kLutSize; ++i) ASSERT_LE(t[i], 4095);
    }
}

TEST(ContrastCurves, RunThroughThePublishedPointsSmoothly) {
  const int t64[] = {320, 272, 224, 224, 208, 192, 192, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const int t256[] = {1137, 1089, 1024, 960, 896, 832, 752, 816, 752, 672, 609, 544, 496, 848, 896, 944, 944, 960};
  const int t1024[] = {2592, 2639, 2687, 2687, 2719, 2815, 2911, 2527, 2576, 2608,
                       2639, 2703, 2799, 2512, 2464, 2416, 2400, 2368};
  const int t2048[] = {3519, 3551, 3599, 3599, 3599, 3679, 3759, 3487, 3520, 3535,
                       3551, 3647, 3728, 3471, 3439, 3392, 3343, 3311};
  for (int c = 0; c < kContrastCurveCount; ++c) {
    const std::uint16_t* v = ContrastCurve(c);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v[0], 0) << c;
    EXPECT_EQ(v[64], t64[c]) << c;
    EXPECT_EQ(v[256], t256[c]) << c;
    EXPECT_EQ(v[1024], t1024[c]) << c;
    EXPECT_EQ(v[2048], t2048[c]) << c;
    EXPECT_EQ(v[4095], 4079) << c;
    for (int i = 1; i < kLutSize; ++i) {
      ASSERT_GE(v[i], v[i - 1]) << c << " " << i;
      ASSERT_LE(v[i] - v[i - 1], 12) << c << " " << i;  // no steps: the steepest stretch is 5 per value
    }
  }
  EXPECT_EQ(ContrastCurve(18), nullptr);
}

TEST(ContrastCurves, StepsPickTheirCurves) {
  ConversionSettings s;
  s.Contrast = kToneDivu3;
  const auto curve = [](int i) {
    ToneTable t;
    std::copy(ContrastCurve(i), ContrastCurve(i) + kLutSize, t.begin());
    return t;
  };
  for (int step = -3; step <= 3; ++step) {
    s.DIVUContrast = step;
    EXPECT_EQ(BuildToneTable(s), curve(step + 3)) << step;
  }
  s.DIVUContrast = 4;
  EXPECT_EQ(BuildToneTable(s), curve(3));
  s.Contrast = kToneDivu5;
  for (int step = 0; step <= 5; ++step) {
    s.DIVUContrast = step;
    EXPECT_EQ(BuildToneTable(s), curve(7 + step)) << step;
  }
  for (int step = -5; step <= -1; ++step) {
    s.DIVUContrast = step;
    EXPECT_EQ(BuildToneTable(s), curve(12 - step)) << step;
  }
  s.DIVUContrast = -6;
  EXPECT_EQ(BuildToneTable(s), curve(7));
}

ChannelLuts Luts(const ConversionSettings& s, const std::array<double, 4>& phaseCoef, bool warning = false) {
  ChannelLuts l;
  BuildChannelLuts(phaseCoef, s.Exposure, s.ClipValues, s.HighlightsFix, warning, BuildToneTable(s), l);
  return l;
}

TEST(ChannelTables, ScaleClipAndHighlightsFix) {
  ConversionSettings s = Identity();
  ChannelLuts l = Luts(s, {1, 1, 1, 1});
  for (int i = 0; i < kLutSize; ++i) ASSERT_EQ(l[0][i], i);

  l = Luts(s, {1.5, 1, 1, 0.5});
  EXPECT_EQ(l[0][1000], 1500);
  EXPECT_EQ(l[0][3000], 4095);  // beyond the table's end: its last entry
  EXPECT_EQ(l[3][1001], 501);   // rounded: 500.5 + 0.5

  s.Exposure = 1;  // doubles the index before the limit
  l = Luts(s, {1, 1, 1, 1});
  EXPECT_EQ(l[1][1000], 2000);
  EXPECT_EQ(l[1][2048], 4095);

  s = Identity();
  s.HighlightsFix = true;  // red coefficient 2: clip level 1981
  l = Luts(s, {2, 1, 1, 1});
  for (int i = 1981; i < kLutSize; ++i) ASSERT_EQ(l[0][i], l[0][1981]) << i;
  EXPECT_EQ(l[0][1980], 3960);
  EXPECT_EQ(l[1][4000], 3963);  // coefficient 1: clipped at 3963

  s = Identity();
  s.ClipValues = true;
  l = Luts(s, {1, 1, 1, 1});
  for (int i = 3966; i < kLutSize; ++i) ASSERT_EQ(l[2][i], 3965) << i;
  EXPECT_EQ(l[2][3965], 3965);
}

TEST(ChannelTables, HighlightWarningAndOddCoefficients) {
  ConversionSettings s = Identity();
  s.ClipValues = true;
  s.HighlightsFix = true;
  ChannelLuts l = Luts(s, {2, 1, 1, 1}, true);
  EXPECT_EQ(l[0][2047], 4094);
  EXPECT_EQ(l[0][2048], 0);  // 2 x 2048 > 4095: shown black
  EXPECT_EQ(l[1][4095], 4095);  // warning tables neither clip nor fix
  // Coefficients of 0, negative or not a number never index outside the tone table.
  l = Luts(s, {0.0, -1.0, std::nan(""), 1e300});
  for (int p = 0; p < 4; ++p)
    for (int i = 0; i < kLutSize; ++i) ASSERT_LE(l[p][i], 4095);
  EXPECT_EQ(l[0][4000], 0);
  EXPECT_EQ(l[1][4000], 0);
}

TEST(ChannelTables, ApplyByPhase) {
  ChannelLuts l;
  for (int p = 0; p < 4; ++p) l[p].v.fill(static_cast<std::uint16_t>(100 * (p + 1)));
  for (BayerOrder order = 0; order < 4; ++order) {
    std::vector<std::uint16_t> plane(5 * 3, 7);
    ApplyChannelLuts(plane.data(), 5, 3, order, l);
    for (std::uint32_t y = 0; y < 3; ++y)
      for (std::uint32_t x = 0; x < 5; ++x) ASSERT_EQ(plane[y * 5 + x], 100 * (CfaPhase(x, y, order) + 1));
  }
}

TEST(ChannelTables, FromSettingsUsesThePhaseOrderOfTheCoefficients) {
  ConversionSettings s = Identity();
  s.SetWB(WBCoef(1.5, 1.25, 0.75, 0.5));
  ChannelLuts l;
  BuildChannelLuts(s, CameraWb(), false, l);
  EXPECT_EQ(l[0][1000], 1500);  // red
  EXPECT_EQ(l[1][1000], 750);   // green 2
  EXPECT_EQ(l[2][1000], 1250);  // green 1
  EXPECT_EQ(l[3][1000], 500);   // blue
}

}  // namespace
}  // namespace tessaro
