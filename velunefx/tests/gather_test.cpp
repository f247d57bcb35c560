// The gather against a direct computation: for every masked pixel, the sum over the
// pattern window of pattern value x P(source value), computed here the slow, obvious way
// as a scatter of every source pixel through the unrotated pattern.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ostream>
#include <random>
#include <vector>

#include "engine/bokeh_engine.h"
#include "engine_test_support.h"

namespace velune {
namespace {

using test::SliceFixture;

struct Quantised {
  int32_t size = 0;
  bool grey = true;
  std::vector<uint8_t> plane[3];  // unrotated, size x size
};

// Quantised pattern the engine should use: the map from its own resampling, which the
// resampling tests check separately, through the quantisation rules.
Quantised expected_pattern(const SliceFixture& f, double d, int32_t quality, bool micro) {
  BokehEngine helper;
  const PatternView view{f.pattern.data(), f.pattern_size, f.pattern_size, 3 * static_cast<std::ptrdiff_t>(f.pattern_size)};
  EXPECT_TRUE(helper.pack_pattern(view));
  EXPECT_TRUE(helper.resize_pattern(d, engine_diameter(d)));
  if (uses_micro_pattern(d, micro)) {
    EXPECT_TRUE(helper.smear_micro_pattern(d));
  }
  const auto map = helper.resized_map();
  Quantised q;
  q.size = map.size;
  q.grey = helper.pattern_is_grey();
  for (int c = 0; c < 3; ++c) {
    q.plane[c].resize(static_cast<std::size_t>(q.size) * q.size);
    for (int32_t i = 0; i < q.size * q.size; ++i) {
      q.plane[c][static_cast<std::size_t>(i)] = quantise_level(map.values[i * 3 + (q.grey ? 0 : c)], quality, d);
    }
  }
  return q;
}

// Accumulator after one blurred run, computed directly.
std::vector<double> direct_gather(const SliceFixture& f, const Quantised& q, double hardness, double brightness) {
  float P[256];
  for (int k = 0; k < 256; ++k) {
    P[k] = photon_value(k, hardness, brightness);
  }
  const int32_t w = f.width;
  const int32_t h = f.height;
  const int32_t r = q.size / 2;
  std::vector<double> out(f.accumulator.begin(), f.accumulator.end());
  // Each sum is normalised by the total of the pattern plane it gathers with.
  double scale[3];
  for (int c = 0; c < 3; ++c) {
    double total = 0.0;
    for (uint8_t level : q.plane[c]) total += level;
    scale[c] = total > 0.0 ? 1.0 / total : 0.0;
  }
  for (int32_t y = 0; y < h; ++y) {
    if (f.counts[static_cast<std::size_t>(y)] == 0) {
      continue;
    }
    for (int32_t x = 0; x < w; ++x) {
      const uint8_t m = f.mask[static_cast<std::size_t>(y) * w + x];
      if (m == 0) {
        continue;
      }
      double s[4] = {0, 0, 0, 0};
      for (int32_t sy = std::max(0, y - r); sy <= std::min(h - 1, y + r); ++sy) {
        if (f.counts[static_cast<std::size_t>(sy)] == 0) {
          continue;  // rows without slice pixels are never read
        }
        for (int32_t sx = std::max(0, x - r); sx <= std::min(w - 1, x + r); ++sx) {
          const uint8_t* px = &f.pixels[(static_cast<std::size_t>(sy) * w + sx) * 4];
          if (px[0] == 0) {
            continue;
          }
          const std::size_t at = static_cast<std::size_t>(y - sy + r) * q.size + static_cast<std::size_t>(x - sx + r);
          s[0] += q.plane[0][at] * static_cast<double>(P[127]);
          s[1] += q.plane[0][at] * static_cast<double>(P[px[1]]);
          s[2] += q.plane[1][at] * static_cast<double>(P[px[2]]);
          s[3] += q.plane[2][at] * static_cast<double>(P[px[3]]);
        }
      }
      const double k = m / 255.0;
      double* cell = &out[(static_cast<std::size_t>(y) * w + x) * 4];
      cell[0] += s[0] * scale[0];
      cell[1] += s[1] * scale[0] * k;
      cell[2] += s[2] * scale[1] * k;
      cell[3] += s[3] * scale[2] * k;
    }
  }
  return out;
}

// Carried float sums drift by rounding relative to the largest sums met along the row.
void expect_matches(const SliceFixture& f, const std::vector<double>& expected, const char* what) {
  int reported = 0;
  for (int32_t y = 0; y < f.height; ++y) {
    double row_max = 0;
    for (int32_t i = 0; i < f.width * 4; ++i) {
      row_max = std::max(row_max, std::fabs(expected[static_cast<std::size_t>(y) * f.width * 4 + i]));
    }
    for (int32_t i = 0; i < f.width * 4; ++i) {
      const std::size_t at = static_cast<std::size_t>(y) * f.width * 4 + i;
      const double tol = 2e-6 * row_max + 1e-6 * std::fabs(expected[at]) + 1e-9;
      if (std::fabs(static_cast<double>(f.accumulator[at]) - expected[at]) > tol && reported++ < 5) {
        ADD_FAILURE() << what << ": pixel " << i / 4 << "," << y << " channel " << i % 4 << " got "
                      << f.accumulator[at] << " want " << expected[at];
      }
    }
  }
  EXPECT_EQ(reported, 0) << what;
}

struct Case {
  int32_t pattern;  // source pattern size
  double d;
  int32_t quality;
  bool grey;
  bool micro;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << "pattern " << c.pattern << " d " << c.d << " quality " << c.quality << (c.grey ? " grey" : " colour")
      << (c.micro ? " micro" : "");
}

class GatherMatchesDirect : public ::testing::TestWithParam<Case> {};

TEST_P(GatherMatchesDirect, ForRandomImagesMasksAndPatterns) {
  const Case c = GetParam();
  for (uint32_t seed = 1; seed <= 3; ++seed) {
    for (bool simd : {false, true}) {
      std::mt19937 rng(seed * 7919 + static_cast<uint32_t>(c.pattern));
      SliceFixture f(37, 23);
      f.random_pixels(rng);
      f.random_mask(rng);
      f.random_pattern(rng, c.pattern, c.grey);
      std::uniform_real_distribution<float> start(0.0f, 50.0f);
      for (float& v : f.accumulator) {
        v = start(rng);  // the engine adds to what earlier slices left
      }
      const Quantised q = expected_pattern(f, c.d, c.quality, c.micro);
      const auto expected = direct_gather(f, q, 1.3, 1.7);

      BokehEngine engine;
      RunParams p = f.params(c.d, c.quality);
      p.hardness = 1.3;
      p.brightness = 1.7;
      p.use_simd = simd;
      p.use_micro = c.micro;
      ASSERT_EQ(engine.run(p), 0) << engine.error_message();
      EXPECT_EQ(engine.used_simd(), simd && c.grey && cpu_has_simd());
      EXPECT_FALSE(engine.holds_buffers());
      expect_matches(f, expected, simd ? "simd" : "plain");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, GatherMatchesDirect,
    ::testing::Values(
        // Pattern as large as the window: no resampling, every level of a random pattern.
        Case{3, 3.0, kQualityHigh, true, false}, Case{9, 9.0, kQualityHigh, true, false},
        Case{15, 15.0, kQualityHigh, true, false}, Case{9, 9.0, kQualityHigh, false, false},
        Case{15, 15.0, kQualityNormal, false, false}, Case{11, 11.0, kQualityLow, true, false},
        // Resampled to a fractional blur, grey and coloured, each quality rule.
        Case{31, 7.4, kQualityNormal, true, false}, Case{31, 12.6, kQualityAutoQuality, true, false},
        Case{21, 10.2, kQualityAutoSpeed, false, false}, Case{40, 19.0, kQualityHigh, false, false},
        // Micro pattern for very small blurs.
        Case{21, 2.2, kQualityHigh, true, true}, Case{21, 3.0, kQualityHigh, false, true}));

TEST(Gather, SimdGreyGivesTheSameSumsAsPlainGrey) {
  if (!cpu_has_simd()) {
    GTEST_SKIP() << "no SIMD on this processor";
  }
  for (uint32_t seed = 1; seed <= 4; ++seed) {
    for (double d : {3.0, 6.5, 17.0, 33.3}) {
      for (int32_t quality : {kQualityHigh, kQualityNormal}) {
        std::mt19937 rng(seed);
        SliceFixture plain(61, 29);
        plain.random_pixels(rng);
        plain.random_mask(rng);
        plain.random_pattern(rng, 35, true);
        SliceFixture simd = plain;
        SliceFixture narrow = plain;
        BokehEngine engine;
        RunParams p = plain.params(d, quality);
        p.use_simd = false;
        ASSERT_EQ(engine.run(p), 0);
        ASSERT_FALSE(engine.used_simd());
        // The 8-float form where the processor has it, and the 4-float form in any case;
        // runs of odd and even length end on either.
        RunParams s = simd.params(d, quality);
        ASSERT_EQ(engine.run(s), 0);
        ASSERT_TRUE(engine.used_simd());
        EXPECT_EQ(engine.used_wide_simd(), cpu_has_wide_simd());
        engine.allow_wide_simd(false);
        RunParams n = narrow.params(d, quality);
        ASSERT_EQ(engine.run(n), 0);
        ASSERT_FALSE(engine.used_wide_simd());
        ASSERT_EQ(0, std::memcmp(plain.accumulator.data(), simd.accumulator.data(),
                                 plain.accumulator.size() * sizeof(float)))
            << "seed " << seed << " d " << d << " quality " << quality;
        ASSERT_EQ(0, std::memcmp(plain.accumulator.data(), narrow.accumulator.data(),
                                 plain.accumulator.size() * sizeof(float)))
            << "narrow: seed " << seed << " d " << d << " quality " << quality;
      }
    }
  }
}

TEST(Gather, LongRowsDoNotDrift) {
  // A bright band, then 750 dark columns: the carried sums keep the rounding the band left
  // (float terms, relative to the band's large sums) but must not add to it column by column.
  SliceFixture f(900, 3);
  for (int32_t y = 0; y < 3; ++y) {
    for (int32_t x = 0; x < 900; ++x) {
      uint8_t* px = &f.pixels[(static_cast<std::size_t>(y) * 900 + x) * 4];
      const uint8_t v = (x > 100 && x < 140) ? 255 : 3;
      px[0] = 255;
      px[1] = px[2] = px[3] = v;
    }
  }
  std::mt19937 rng(3);
  f.random_pattern(rng, 25, true);
  const Quantised q = expected_pattern(f, 25.0, kQualityHigh, false);
  const auto expected = direct_gather(f, q, 1.0, 1.0);
  BokehEngine engine;
  ASSERT_EQ(engine.run(f.params(25.0, kQualityHigh)), 0);
  double peak = 0;
  for (int32_t x = 0; x < 900; ++x) {
    peak = std::max(peak, expected[(900 + static_cast<std::size_t>(x)) * 4 + 1]);
  }
  auto error = [&](int32_t x) {
    const std::size_t at = (900 + static_cast<std::size_t>(x)) * 4 + 1;
    return static_cast<double>(f.accumulator[at]) - expected[at];
  };
  const double settled = error(160);
  EXPECT_LT(std::fabs(settled), 1e-6 * peak);  // float rounding of the band's steps
  for (int32_t x = 160; x < 900; ++x) {
    ASSERT_NEAR(error(x), settled, 1e-9 * peak) << x;
  }
}

TEST(Gather, InFocusAddsOwnLightWhereUncovered) {
  std::mt19937 rng(9);
  SliceFixture f(19, 11);
  f.random_pixels(rng);
  f.random_mask(rng);
  std::uniform_int_distribution<int> roll(0, 2);
  // Coverage is counted in units of one pixel's full weight U.
  const float full = photon_value(127, 1.0, 2.0);
  const float covered = full * (1.0f - 0.5f / 256.0f);
  for (std::size_t i = 0; i < f.accumulator.size(); i += 4) {
    f.accumulator[i] = roll(rng) == 0 ? covered : (roll(rng) == 0 ? 0.4f * full : 0.0f);
  }
  const auto before = f.accumulator;
  BokehEngine engine;
  RunParams p = f.params(1.0, kQualityHigh);
  p.brightness = 2.0;
  ASSERT_EQ(engine.run(p), 0);
  EXPECT_FLOAT_EQ(engine.full_weight(), photon_value(127, 1.0, 2.0));
  for (int32_t y = 0; y < f.height; ++y) {
    for (int32_t x = 0; x < f.width; ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * f.width + x;
      const uint8_t* px = &f.pixels[i * 4];
      const bool adds = f.counts[static_cast<std::size_t>(y)] != 0 && f.mask[i] != 0 && px[0] != 0 &&
                        before[i * 4] < covered;
      for (int c = 0; c < 4; ++c) {
        const float light = c == 0 ? photon_value(127, 1.0, 2.0) : photon_value(px[c], 1.0, 2.0);
        EXPECT_FLOAT_EQ(f.accumulator[i * 4 + c], before[i * 4 + c] + (adds ? light : 0.0f))
            << x << "," << y << " c" << c;
      }
    }
  }
}

TEST(Gather, SkipsRowsWithoutOccupancyAsTargetsAndAsSources) {
  std::mt19937 rng(4);
  SliceFixture f(20, 12);
  f.random_pixels(rng);
  f.random_pattern(rng, 7, true);
  f.counts[5] = 0;  // mask stays 255 in the row, but the row counts as empty
  const Quantised q = expected_pattern(f, 7.0, kQualityHigh, false);
  const auto expected = direct_gather(f, q, 1.0, 1.0);
  BokehEngine engine;
  ASSERT_EQ(engine.run(f.params(7.0, kQualityHigh)), 0);
  for (int32_t i = 0; i < 20 * 4; ++i) {
    EXPECT_EQ(f.accumulator[5 * 20 * 4 + static_cast<std::size_t>(i)], 0.0f);
  }
  expect_matches(f, expected, "row skip");
}

TEST(Gather, ReportsProgressInsideTheRangeAndStopsOnCancel) {
  std::mt19937 rng(2);
  SliceFixture f(16, 40);
  f.random_pixels(rng);
  f.random_pattern(rng, 5, true);
  for (double d : {1.0, 5.0}) {
    test::CountingHooks hooks;
    BokehEngine engine;
    engine.set_hooks(hooks.hooks());
    ASSERT_EQ(engine.run(f.params(d, kQualityHigh)), 0);
    ASSERT_FALSE(hooks.progress.empty());
    EXPECT_TRUE(std::is_sorted(hooks.progress.begin(), hooks.progress.end()));
    EXPECT_GT(hooks.progress.front(), 0);
    EXPECT_LT(hooks.progress.back(), 100);

    test::CountingHooks cancel;
    cancel.cancel_after = 3;
    engine.set_hooks(cancel.hooks());
    EXPECT_EQ(engine.run(f.params(d, kQualityHigh)), kEngineCancelled);
    EXPECT_EQ(cancel.progress.size(), 4u);
    EXPECT_TRUE(cancel.live.empty());
    EXPECT_FALSE(engine.holds_buffers());
  }
}

}  // namespace
}  // namespace velune
