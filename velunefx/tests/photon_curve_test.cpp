#include "engine/photon_curve.h"

#include <gtest/gtest.h>

#include <cmath>

namespace velune {
namespace {

TEST(PhotonCurve, InverseUndoesTheCurveAcrossValuesAndHardness) {
  for (double h : {0x6664 / 65536.0, 0.7, 1.0, 1.5, 2.0}) {
    for (int v = 1; v <= 255; ++v) {
      EXPECT_NEAR(curve_E_inv(curve_E(v, h), h), v, 1e-6) << "v=" << v << " h=" << h;
    }
    // Between levels too: the renderer inverts averaged light, not only table entries.
    EXPECT_NEAR(curve_E_inv(curve_E(100.25, h), h), 100.25, 1e-6);
  }
}

TEST(PhotonCurve, ZeroIsDarkAndBrightnessScalesTheLight) {
  EXPECT_EQ(photon_value(0, 1.3, 4.0), 0.0f);  // so transparent and black pixels add nothing
  EXPECT_FLOAT_EQ(photon_value(200, 1.0, 3.0), 3.0f * photon_value(200, 1.0, 1.0));
  EXPECT_FLOAT_EQ(full_coverage_weight(1.0, 2.0), photon_value(127, 1.0, 2.0));
}

TEST(PhotonCurve, InverseOfNoLightOrNoiseIsZeroNotNaN) {
  EXPECT_EQ(curve_E_inv(0.0, 1.0), 0.0);
  EXPECT_EQ(curve_E_inv(-1e-3, 1.0), 0.0);
  EXPECT_EQ(curve_E_inv(std::nan(""), 1.0), 0.0);
  EXPECT_TRUE(std::isfinite(curve_E_inv(1e12, 1.0)));
}

// The table lookup must give the direct computation's byte everywhere: spread over the
// whole light range, right at and next to every level boundary, and at the ends.
TEST(LightToByte, AgreesWithTheDirectCurveEverywhere) {
  for (double h : {0x6664 / 65536.0, 0.83, 1.0, 1.7, 2.0}) {
    const LightToByte table(h);
    const double f0 = curve_F(0.0, h);
    int checked = 0, mismatched = 0;
    auto check = [&](double light) {
      ++checked;
      if (table(light) != LightToByte::direct(light, h, f0)) ++mismatched;
    };
    for (int k = 1; k < 256; ++k) {
      const double t = curve_E(k - 0.5, h);
      for (double at : {t, std::nextafter(t, 0.0), std::nextafter(t, 1e300), t * (1 - 1e-9), t * (1 + 1e-9),
                        t * (1 - 1e-6), t * (1 + 1e-6)})
        check(at);
      // Floats, as the accumulator holds them, near the boundary.
      check(static_cast<double>(static_cast<float>(t)));
    }
    for (double light = 1e-12; light < 1e9; light *= 1.0007) check(light);
    for (double light : {0.0, -1.0, std::nan(""), 1e300, HUGE_VAL}) check(light);
    EXPECT_EQ(mismatched, 0) << "h=" << h << " of " << checked;
  }
  EXPECT_EQ(LightToByte(1.0)(curve_E(255, 1.0) * 10), 255);
  EXPECT_EQ(LightToByte(1.0)(curve_E(100, 1.0)), 100);
}

TEST(EngineSizes, DiameterIsOddAndCoversTheBlur) {
  EXPECT_EQ(engine_diameter(0.5), 1);
  EXPECT_EQ(engine_diameter(1.0), 1);
  EXPECT_EQ(engine_diameter(1.0001), 3);  // ceil 2 is even
  EXPECT_EQ(engine_diameter(3.0), 3);
  EXPECT_EQ(engine_diameter(3.2), 5);
  EXPECT_EQ(engine_diameter(60.5), 61);
  EXPECT_EQ(engine_diameter(301.0), 301);
}

TEST(EngineSizes, MicroPatternWidensOnlySmallBlurs) {
  EXPECT_EQ(mask_size(2.5, false), 3);
  EXPECT_EQ(mask_size(1.5, true), 7);   // 2 * (int)3.5 = 6, made odd
  EXPECT_EQ(mask_size(2.0, true), 9);
  EXPECT_EQ(mask_size(3.0, true), 11);
  EXPECT_EQ(mask_size(3.01, true), 5);  // past 3 the plain size again
  EXPECT_TRUE(uses_micro_pattern(3.0, true));
  EXPECT_FALSE(uses_micro_pattern(3.01, true));
  EXPECT_FALSE(uses_micro_pattern(1.0, true));  // in focus: no pattern at all
  EXPECT_FALSE(uses_micro_pattern(2.0, false));
}

// The value is rounded by adding 0.5 before each rule compares it.
TEST(Quantisation, HighKeepsDetailAndClamps) {
  EXPECT_EQ(quantise_level(0.49f, kQualityHigh, 80), 0);
  EXPECT_EQ(quantise_level(0.5f, kQualityHigh, 80), 1);
  EXPECT_EQ(quantise_level(127.6f, kQualityHigh, 80), 128);
  EXPECT_EQ(quantise_level(254.6f, kQualityHigh, 80), 255);
  EXPECT_EQ(quantise_level(300.0f, kQualityHigh, 80), 255);
  EXPECT_EQ(quantise_level(-4.0f, kQualityHigh, 80), 0);
}

TEST(Quantisation, NormalSnapsOutsideSixtyFourTo191) {
  EXPECT_EQ(quantise_level(63.4f, kQualityNormal, 5), 0);
  EXPECT_EQ(quantise_level(63.5f, kQualityNormal, 5), 64);  // 64.0 is not below 64
  EXPECT_EQ(quantise_level(190.5f, kQualityNormal, 5), 191);  // 191.0 is not above 191
  EXPECT_EQ(quantise_level(190.6f, kQualityNormal, 5), 255);
  EXPECT_EQ(quantise_level(120.2f, kQualityNormal, 5), 120);
}

TEST(Quantisation, LowIsTwoLevels) {
  EXPECT_EQ(quantise_level(126.5f, kQualityLow, 5), 0);  // 127.0 is not above 127
  EXPECT_EQ(quantise_level(126.6f, kQualityLow, 5), 255);
  EXPECT_EQ(quantise_level(3.0f, kQualityLow, 5), 0);
}

TEST(Quantisation, AutoQualityFollowsTheBlurDiameter) {
  const float v = 12.0f;  // kept by High, dropped by the middle band and by Normal
  EXPECT_EQ(quantise_level(v, kQualityAutoQuality, 9.999), 12);
  EXPECT_EQ(quantise_level(v, kQualityAutoQuality, 10.0), 0);
  EXPECT_EQ(quantise_level(14.5f, kQualityAutoQuality, 10.0), 15);
  EXPECT_EQ(quantise_level(239.5f, kQualityAutoQuality, 10.0), 240);
  EXPECT_EQ(quantise_level(239.6f, kQualityAutoQuality, 49.9), 255);
  EXPECT_EQ(quantise_level(40.0f, kQualityAutoQuality, 49.9), 40);
  EXPECT_EQ(quantise_level(40.0f, kQualityAutoQuality, 50.0), 0);  // Normal from 50
}

TEST(Quantisation, AutoSpeedFollowsTheBlurDiameter) {
  EXPECT_EQ(quantise_level(40.0f, kQualityAutoSpeed, 9.9), 40);   // High
  EXPECT_EQ(quantise_level(40.0f, kQualityAutoSpeed, 10.0), 0);   // Normal
  EXPECT_EQ(quantise_level(100.0f, kQualityAutoSpeed, 49.9), 100);
  EXPECT_EQ(quantise_level(100.0f, kQualityAutoSpeed, 50.0), 0);  // Low
  EXPECT_EQ(quantise_level(130.0f, kQualityAutoSpeed, 50.0), 255);
}

}  // namespace
}  // namespace velune
