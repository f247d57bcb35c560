// Pattern preparation: packing, area resampling, the micro pattern and quantisation.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "engine/bokeh_engine.h"
#include "engine_test_support.h"

namespace velune {
namespace {

// A BGR disc of the given size, optionally with channels of different radii.
std::vector<uint8_t> disc(int32_t size, double red_radius, double green_radius, double blue_radius) {
  std::vector<uint8_t> px(static_cast<std::size_t>(size) * size * 3, 0);
  const double c = (size - 1) / 2.0;
  for (int32_t y = 0; y < size; ++y) {
    for (int32_t x = 0; x < size; ++x) {
      const double r = std::hypot(x - c, y - c);
      uint8_t* p = &px[(static_cast<std::size_t>(y) * size + x) * 3];
      p[0] = r <= blue_radius ? 200 : 0;
      p[1] = r <= green_radius ? 200 : 0;
      p[2] = r <= red_radius ? 200 : 0;
    }
  }
  return px;
}

PatternView view(const std::vector<uint8_t>& px, int32_t w, int32_t h) {
  return PatternView{px.data(), w, h, 3 * static_cast<std::ptrdiff_t>(w)};
}

double map_total(const BokehEngine::MapView& map, int c) {
  double total = 0;
  for (int32_t i = 0; i < map.size * map.size; ++i) {
    total += static_cast<double>(map.values[i * 3 + c]);
  }
  return total;
}

TEST(PackPattern, GreyShapesKeepTwoChannelsAndColourKeepsItsOrder) {
  BokehEngine engine;
  const auto grey = disc(9, 4, 4, 4);
  ASSERT_TRUE(engine.pack_pattern(view(grey, 9, 9)));
  EXPECT_TRUE(engine.pattern_is_grey());
  EXPECT_EQ(engine.pattern_channels(), 2);
  engine.release_buffers();

  // Only blue set: after the byte reversal blue must land in the third plane, not the first
  // (which drives the weight).
  auto blue = disc(9, -1, -1, 4);
  ASSERT_TRUE(engine.pack_pattern(view(blue, 9, 9)));
  EXPECT_FALSE(engine.pattern_is_grey());
  ASSERT_TRUE(engine.resize_pattern(9.0, 9));
  ASSERT_TRUE(engine.new_pattern(kQualityHigh, 9.0));
  const auto q = engine.quantised();
  ASSERT_EQ(q.plane_count, 3);
  int red = 0, bluesum = 0;
  for (int32_t i = 0; i < 81; ++i) {
    red += q.planes[0][i];
    bluesum += q.planes[2][i];
  }
  EXPECT_EQ(red, 0);
  EXPECT_GT(bluesum, 0);
  engine.release_buffers();
  EXPECT_FALSE(engine.holds_buffers());
}

TEST(ResizePattern, KeepsTheTotalScaledByTheAreaRatio) {
  std::mt19937 rng(11);
  for (bool grey : {true, false}) {
    test::SliceFixture f(1, 1);
    f.random_pattern(rng, 41, grey);
    double source[3] = {0, 0, 0};
    for (std::size_t i = 0; i < f.pattern.size(); i += 3) {
      source[0] += f.pattern[i + 2];
      source[1] += f.pattern[i + 1];
      source[2] += f.pattern[i];
    }
    for (double d : {3.3, 7.0, 12.75, 40.0, 41.0, 63.2, 101.0}) {
      BokehEngine engine;
      ASSERT_TRUE(engine.pack_pattern(view(f.pattern, 41, 41)));
      const int32_t size = engine_diameter(d);
      ASSERT_TRUE(engine.resize_pattern(d, size));
      const auto map = engine.resized_map();
      ASSERT_EQ(map.size, size);
      const double scale = d / 41.0;
      for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(map_total(map, c), source[c] * scale * scale, source[c] * scale * scale * 1e-6)
            << "d=" << d << " c=" << c << " grey=" << grey;
      }
    }
  }
}

TEST(ResizePattern, StaysCentredAndSymmetric) {
  const auto px = disc(31, 15, 15, 15);
  for (double d : {4.6, 9.0, 17.2, 31.0, 48.5}) {
    BokehEngine engine;
    ASSERT_TRUE(engine.pack_pattern(view(px, 31, 31)));
    const int32_t size = engine_diameter(d);
    ASSERT_TRUE(engine.resize_pattern(d, size));
    const auto map = engine.resized_map();
    double total = 0, cx = 0, cy = 0;
    for (int32_t y = 0; y < size; ++y) {
      for (int32_t x = 0; x < size; ++x) {
        const auto v = static_cast<double>(map.values[(y * size + x) * 3]);
        total += v;
        cx += v * x;
        cy += v * y;
        const auto mirrored = static_cast<double>(map.values[((size - 1 - y) * size + (size - 1 - x)) * 3]);
        EXPECT_NEAR(v, mirrored, 1e-3) << "d=" << d;
      }
    }
    EXPECT_NEAR(cx / total, (size - 1) / 2.0, 1e-6) << "d=" << d;
    EXPECT_NEAR(cy / total, (size - 1) / 2.0, 1e-6) << "d=" << d;
  }
}

TEST(ResizePattern, SinglePixelIsFullAndTallShapesStayInside) {
  const auto px = disc(7, 3, 3, 3);
  BokehEngine engine;
  ASSERT_TRUE(engine.pack_pattern(view(px, 7, 7)));
  ASSERT_TRUE(engine.resize_pattern(0.8, 1));
  EXPECT_EQ(engine.resized_map().values[0], 255.0f);
  engine.release_buffers();

  // Three times taller than wide: the overhang falls outside the square and is dropped.
  std::vector<uint8_t> tall(static_cast<std::size_t>(5) * 15 * 3, 90);
  ASSERT_TRUE(engine.pack_pattern(view(tall, 5, 15)));
  ASSERT_TRUE(engine.resize_pattern(4.0, 5));
  const auto map = engine.resized_map();
  EXPECT_LE(map_total(map, 0), 90.0 * 5 * 15 * (4.0 / 5) * (4.0 / 5) + 1e-3);
  // Columns span [0.5, 4.5) and rows overhang both ends: 4 x 5 target pixels' worth.
  EXPECT_NEAR(map_total(map, 0), 90.0 * 4 * 5, 1e-3);
  engine.release_buffers();
}

TEST(MicroPattern, SymmetricSourceGivesSymmetricMapWithTheSamePeak) {
  const auto px = disc(21, 10, 8, 6);
  for (double d : {1.2, 2.0, 2.7, 3.0}) {
    BokehEngine engine;
    ASSERT_TRUE(engine.pack_pattern(view(px, 21, 21)));
    ASSERT_TRUE(engine.resize_pattern(d, engine_diameter(d)));
    float source_peak[3] = {0, 0, 0};
    const auto before = engine.resized_map();
    for (int32_t i = 0; i < before.size * before.size; ++i) {
      for (int c = 0; c < 3; ++c) {
        source_peak[c] = std::max(source_peak[c], before.values[i * 3 + c]);
      }
    }
    ASSERT_TRUE(engine.smear_micro_pattern(d));
    const auto map = engine.resized_map();
    const int32_t g = map.size;
    EXPECT_EQ(g, mask_size(d, true));
    for (int c = 0; c < 3; ++c) {
      float peak = 0;
      for (int32_t y = 0; y < g; ++y) {
        for (int32_t x = 0; x < g; ++x) {
          const float v = map.values[(y * g + x) * 3 + c];
          peak = std::max(peak, v);
          const float tol = 1e-4f * source_peak[c] + 1e-6f;
          EXPECT_NEAR(v, map.values[(y * g + (g - 1 - x)) * 3 + c], tol);
          EXPECT_NEAR(v, map.values[((g - 1 - y) * g + x) * 3 + c], tol);
          EXPECT_NEAR(v, map.values[(x * g + y) * 3 + c], tol);
        }
      }
      EXPECT_NEAR(peak, source_peak[c], 1e-3f * source_peak[c]) << "d=" << d << " c=" << c;
    }
  }
}

TEST(NewPattern, QuantisesRotatesAndRecordsRowBounds) {
  std::mt19937 rng(5);
  test::SliceFixture f(1, 1);
  f.random_pattern(rng, 13, false);
  // Blank the first row of the source so the rotated plane ends in an empty row.
  for (int32_t i = 0; i < 13 * 3; ++i) {
    f.pattern[static_cast<std::size_t>(i)] = 0;
  }
  for (int32_t quality : {kQualityHigh, kQualityNormal, kQualityLow}) {
    BokehEngine engine;
    ASSERT_TRUE(engine.pack_pattern(view(f.pattern, 13, 13)));
    ASSERT_TRUE(engine.resize_pattern(13.0, 13));
    ASSERT_TRUE(engine.new_pattern(quality, 13.0));
    const auto map = engine.resized_map();
    const auto q = engine.quantised();
    ASSERT_EQ(q.size, 13);
    ASSERT_EQ(q.plane_count, 3);
    bool seen[256] = {};
    for (int p = 0; p < 3; ++p) {
      uint64_t total = 0;
      for (int32_t v = 0; v < 13; ++v) {
        int32_t first = -1, last = -999;
        for (int32_t u = 0; u < 13; ++u) {
          const uint8_t expected = quantise_level(map.values[((12 - v) * 13 + (12 - u)) * 3 + p], quality, 13.0);
          ASSERT_EQ(q.planes[p][v * 13 + u], expected) << "p=" << p << " v=" << v << " u=" << u;
          total += expected;
          seen[expected] = true;
          if (expected != 0) {
            first = first < 0 ? u : first;
            last = u;
          }
        }
        EXPECT_EQ(q.row_first[p][v], first);
        EXPECT_EQ(q.row_last[p][v], last);
      }
      EXPECT_EQ(q.row_first[p][12], -1);  // the blanked source row, rotated to the bottom
      EXPECT_EQ(q.row_last[p][12], -999);
      EXPECT_FLOAT_EQ(q.reciprocal_sum[p], static_cast<float>(1.0 / static_cast<double>(total)));
    }
    int levels = 0;
    for (bool s : seen) {
      levels += s ? 1 : 0;
    }
    EXPECT_EQ(q.level_count, levels);
    if (quality == kQualityLow) {
      EXPECT_LE(q.level_count, 2);
    }
  }
}

}  // namespace
}  // namespace velune
