// The render driver through a host that lends plain memory: slicing, masks, the unit of the
// accumulator, areas, messages and every failure path giving its buffers back.
#include "effect/render.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <unistd.h>
#include <vector>

#include "effect/effect_state.h"
#include "engine/photon_curve.h"
#include "iris_draw.h"

namespace velune {
namespace {

namespace fs = std::filesystem;

// Shapes drawn once for the whole file.
const std::string& library() {
  static const std::string root = [] {
    // Tests run as parallel processes; each draws its own library.
    const fs::path r = fs::path(::testing::TempDir()) / ("velune_render_plugin_" + std::to_string(::getpid()));
    fs::remove_all(r);
    std::string why;
    EXPECT_TRUE(irisgen::write_library((r / "pattern").string(), &why)) << why;
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(fs::path(::testing::TempDir()) / ("velune_render_plugin_" + std::to_string(::getpid())), ignored);
    });
    return r.string();
  }();
  return root;
}

class TestHost final : public RenderHost {
 public:
  void* allocate(std::size_t bytes) override {
    ++calls;
    if (fail_at != 0 && calls == fail_at) return nullptr;
    void* p = std::malloc(bytes);
    if (p) live.insert(p);
    return p;
  }
  void release(void* block) override {
    live.erase(block);
    std::free(block);
  }
  bool progress(int32_t done, int32_t total) override {
    ++reports;
    EXPECT_GE(done, 0);
    EXPECT_LE(done, total);
    return cancel_at_report != 0 && reports >= cancel_at_report;
  }
  bool copy_input_to_output() override {
    ++copies;
    for (int32_t y = 0; y < in->height; ++y) std::memcpy(out->pixel(0, y), in->pixel(0, y), 4 * static_cast<std::size_t>(in->width));
    return true;
  }
  void store_distance_map(const uint8_t* map, int32_t width, int32_t height) override {
    stored.assign(map, map + static_cast<std::ptrdiff_t>(width) * height);
  }
  const PixelView* in = nullptr;
  const PixelView* out = nullptr;
  int64_t calls = 0, fail_at = 0;
  int reports = 0, cancel_at_report = 0, copies = 0;
  std::set<void*> live;
  std::vector<uint8_t> stored;
};

struct Frame {
  int32_t w, h;
  std::vector<uint8_t> pixels;  // ARGB
  Frame(int32_t width, int32_t height, uint8_t a = 255, uint8_t r = 0, uint8_t g = 0, uint8_t b = 0)
      : w(width), h(height), pixels(static_cast<std::size_t>(width) * height * 4) {
    for (std::size_t i = 0; i < pixels.size(); i += 4) pixels[i] = a, pixels[i + 1] = r, pixels[i + 2] = g, pixels[i + 3] = b;
  }
  uint8_t* at(int32_t x, int32_t y) { return &pixels[(static_cast<std::size_t>(y) * w + x) * 4]; }
  PixelView view() { return PixelView{pixels.data(), w, h, 4 * static_cast<std::ptrdiff_t>(w)}; }
};

class Render : public ::testing::Test {
 protected:
  void SetUp() override {
    state = EffectState{};
    global_setup(state, (fs::path(library()) / "VeluneFx.aex").string());
    state.values.shape_index = shape("Disc");
    state.values.quality = kQualityHigh;
  }
  int32_t shape(const std::string& name) {
    for (std::size_t i = 0; i < state.shapes.names.size(); ++i)
      if (state.shapes.names[i] == name) return static_cast<int32_t>(i + 1);
    ADD_FAILURE() << name;
    return 0;
  }
  RenderResult run(Frame& input, Frame& output, Frame* depth = nullptr) {
    PixelView in = input.view(), out = output.view(), d = depth ? depth->view() : PixelView{};
    host.in = &in;
    host.out = &out;
    RenderInput ri;
    ri.input = in;
    ri.output = out;
    ri.distance_layer = depth ? &d : nullptr;
    ri.extent_hint = extent.right ? extent : Extent{0, 0, input.w, input.h};
    ri.ratio = ratio;
    ri.whole_area_slices = whole_area;
    const EffectValues keep = state.values;
    RenderResult r = render_frame(state, ri, host);
    EXPECT_EQ(state.held_buffers, 0);
    EXPECT_TRUE(host.live.empty());
    if (!keep.preview_only) state.values.preview_size = keep.preview_size;
    state.values.bokeh_amount = keep.bokeh_amount;
    return r;
  }
  // Light of an output value, as the renderer turns it back.
  static double light(uint8_t v) { return curve_E(v, 1.0); }

  EffectState state;
  TestHost host;
  Extent extent;
  double ratio = 1.0;
  bool whole_area = false;
};

TEST_F(Render, NoBlurAndNoDistanceLayerCopiesTheInputExactly) {
  Frame in(23, 17), out(23, 17, 9, 9, 9, 9);
  for (std::size_t i = 0; i < in.pixels.size(); ++i) in.pixels[i] = static_cast<uint8_t>(i * 37);
  state.values.bokeh_amount = 0.0;
  EXPECT_EQ(run(in, out).status, RenderStatus::kOk);
  EXPECT_EQ(out.pixels, in.pixels);
  EXPECT_EQ(host.copies, 1);
}

TEST_F(Render, FlatOpaqueImageThroughOneBlurredSliceComesOutUnchanged) {
  for (int32_t q : {kQualityHigh, kQualityNormal, kQualityLow}) {
    Frame in(64, 48, 255, 200, 90, 30), out(64, 48);
    state.values.bokeh_amount = 12.0;
    state.values.quality = q;
    ASSERT_EQ(run(in, out).status, RenderStatus::kOk);
    for (int32_t y = 0; y < in.h; ++y)
      for (int32_t x = 0; x < in.w; ++x)
        for (int c = 0; c < 4; ++c)
          ASSERT_NEAR(out.at(x, y)[c], in.at(x, y)[c], 1) << x << "," << y << " c" << c << " q" << q;
  }
}

TEST_F(Render, PointOfLightKeepsItsLightAndBecomesTheIrisAtTheSliceDiameter) {
  Frame in(121, 121), out(121, 121);
  in.at(60, 60)[1] = in.at(60, 60)[2] = in.at(60, 60)[3] = 255;
  state.values.bokeh_amount = 40.0;  // one slice, diameter 41
  ASSERT_EQ(run(in, out).status, RenderStatus::kOk);
  double total = 0.0;
  int32_t lit_in_row = 0, first = -1, last = -1;
  for (int32_t y = 0; y < in.h; ++y)
    for (int32_t x = 0; x < in.w; ++x) {
      total += light(out.at(x, y)[1]);
      if (out.at(x, y)[1] != 0 && y == 60) {
        ++lit_in_row;
        if (first < 0) first = x;
        last = x;
      }
      if (out.at(x, y)[1] != 0) {
        const double r = std::hypot(x - 60, y - 60);
        EXPECT_LE(r, 41 / 2.0 + 0.8) << x << "," << y;  // nothing outside the disc
      }
    }
  // The disc spans the slice's diameter, centred on the point.
  EXPECT_NEAR(lit_in_row, 41, 1);
  EXPECT_EQ(60 - first, last - 60);
  // Rounding each pixel to 8 bits is all the light that can be lost or gained.
  EXPECT_NEAR(total / light(255), 1.0, 0.05);
}

TEST_F(Render, ColouredShapeKeepsItsColours) {
  Frame in(121, 121), out(121, 121);
  in.at(60, 60)[1] = in.at(60, 60)[2] = in.at(60, 60)[3] = 255;
  state.values.bokeh_amount = 40.0;
  state.values.shape_index = shape("ChromaDisc");
  ASSERT_EQ(run(in, out).status, RenderStatus::kOk);
  // ChromaDisc spreads red widest and blue least: the disc keeps that warm fringe.
  int32_t red_edge = -1, blue_edge = -1;
  for (int32_t x = 0; x < 60; ++x) {
    if (red_edge < 0 && out.at(x, 60)[1] != 0) red_edge = x;
    if (blue_edge < 0 && out.at(x, 60)[3] != 0) blue_edge = x;
  }
  ASSERT_GE(red_edge, 0);
  EXPECT_GT(blue_edge, red_edge);
  const uint8_t* fringe = out.at(red_edge, 60);
  EXPECT_GT(fringe[1], 0);
  EXPECT_EQ(fringe[3], 0);
  const uint8_t* mid = out.at(60, 60);
  EXPECT_GT(mid[1], 0);
  EXPECT_GT(mid[2], 0);
  EXPECT_GT(mid[3], 0);
  // Each channel keeps the light of the point: a white light stays white overall.
  double got[3] = {};
  for (int32_t y = 0; y < in.h; ++y)
    for (int32_t x = 0; x < in.w; ++x)
      for (int c = 0; c < 3; ++c) got[c] += light(out.at(x, y)[1 + c]);
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[c] / light(255), 1.0, 0.06) << c;
}

TEST_F(Render, InFocusPixelsCoveredByNearerBlurAreLeftOutAndPartlyCoveredOnesBlended) {
  // Left half near (0) and blurred, right half at the focus (200) and sharp, plus one
  // in-focus pixel deep inside the near half.
  Frame in(120, 60, 255, 40, 40, 40), out(120, 60), depth(120, 60);
  for (int32_t y = 0; y < 60; ++y)
    for (int32_t x = 60; x < 120; ++x) {
      depth.at(x, y)[1] = 200;
      in.at(x, y)[1] = 250, in.at(x, y)[2] = 10, in.at(x, y)[3] = 10;
    }
  depth.at(30, 30)[1] = 200;
  in.at(30, 30)[1] = 0, in.at(30, 30)[2] = 250, in.at(30, 30)[3] = 0;
  state.values.bokeh_amount = 60.0;  // a disc large enough to hide one pixel
  state.values.focus_distance = 200.0;
  state.values.distance_precision = 128;
  ASSERT_EQ(run(in, out, &depth).status, RenderStatus::kOk);
  // Far from the edge the focused half is the input.
  for (int32_t x = 100; x < 120; ++x)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(out.at(x, 30)[c], in.at(x, 30)[c]) << x;
  // The lone focused pixel is hidden by the near blur around it: no green shows.
  EXPECT_LT(out.at(30, 30)[2], 45);
  // Right at the edge the near blur half covers the focused pixels: a mix of both.
  const uint8_t* edge = out.at(60, 30);
  EXPECT_GT(edge[1], 45);
  EXPECT_LT(edge[1], 245);
}

// Slices work only where their pixels and blur reach; the frame must come out exactly as
// when every slice runs over the whole area: objects at the borders, a lone highlight, a
// ramp, both gather forms, blurs near the mask's margin, a narrow extent and the micro map.
TEST_F(Render, SlicesKeptToWhereTheyReachGiveTheWholeAreaResultExactly) {
  Frame in(97, 71), depth(97, 71);
  uint32_t seed = 7;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0xFF; };
  for (int32_t y = 0; y < in.h; ++y)
    for (int32_t x = 0; x < in.w; ++x) {
      uint8_t* p = in.at(x, y);
      p[0] = (x + y) % 29 == 0 ? 0 : 255;
      for (int c = 1; c < 4; ++c) p[c] = static_cast<uint8_t>(next() % 90);
      if (next() % 37 == 0) p[1] = p[2] = p[3] = 255;
      // A ramp, a block at the left edge, one at the bottom right corner, one lone pixel.
      uint8_t d = static_cast<uint8_t>(60 + x);
      if (x < 12) d = 5;
      if (x > 80 && y > 60) d = 250;
      depth.at(x, y)[1] = d;
    }
  depth.at(48, 3)[1] = 0;
  struct Case {
    double amount;
    int32_t precision, quality;
    bool simd, micro, colour;
    Extent extent;
  } cases[] = {
      {20, 10, kQualityHigh, true, false, false, {}},
      {45, 50, kQualityNormal, true, false, true, {}},
      {33, 128, kQualityAutoSpeed, false, false, false, {}},
      {12, 30, kQualityHigh, true, true, false, {}},
      {25, 10, kQualityHigh, true, false, false, {30, 20, 60, 40}},
  };
  for (const Case& c : cases) {
    state.values.bokeh_amount = c.amount;
    state.values.distance_precision = c.precision;
    state.values.quality = c.quality;
    state.values.focus_distance = 100;
    state.values.shape_index = shape(c.colour ? "ChromaDisc" : "Disc");
    state.options.use_simd = c.simd;
    state.options.use_micro = c.micro;
    extent = c.extent;
    Frame cropped(in.w, in.h), whole(in.w, in.h);
    whole_area = false;
    ASSERT_EQ(run(in, cropped, &depth).status, RenderStatus::kOk);
    whole_area = true;
    ASSERT_EQ(run(in, whole, &depth).status, RenderStatus::kOk);
    EXPECT_EQ(cropped.pixels, whole.pixels) << c.amount << " " << c.precision;
    EXPECT_NE(cropped.pixels, in.pixels);
  }
}

TEST_F(Render, DistanceMapIsStoredAndNegativeFocusIsTakenUnderFocusHere) {
  Frame in(40, 30, 255, 100, 100, 100), out(40, 30), depth(40, 30);
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 40; ++x) depth.at(x, y)[1] = static_cast<uint8_t>(x * 5);
  state.values.focus_distance = -1.0;
  state.values.focus_x = 10;
  state.values.focus_y = 5;
  ASSERT_EQ(run(in, out, &depth).status, RenderStatus::kOk);
  ASSERT_EQ(host.stored.size(), 40u * 30u);
  EXPECT_EQ(host.stored[5 * 40 + 10], 50);
  EXPECT_EQ(state.values.focus_distance, 50.0);
  EXPECT_EQ(state.map_pitch, 40);
  // A pick off the layer reads its edge, not past the map.
  state.values.focus_distance = -1.0;
  state.values.focus_x = 5000;
  state.values.focus_y = -7;
  ASSERT_EQ(run(in, out, &depth).status, RenderStatus::kOk);
  EXPECT_EQ(state.values.focus_distance, 39 * 5);
}

TEST(Slices, SingleValueGivesOneSliceAndFinePrecisionStaysInTheTable) {
  uint32_t hist[256] = {};
  hist[77] = 100;
  SliceTable t;
  ASSERT_TRUE(make_slices(hist, 10, 0.0, 60.0, t));
  ASSERT_EQ(t.count, 1);
  EXPECT_EQ(t.slices[0].start, 77);
  EXPECT_EQ(t.slices[0].end, 78);  // trimmed to the value held
  EXPECT_DOUBLE_EQ(t.slices[0].diameter, 77 * 60.0 / 255 + 1);
  EXPECT_EQ(t.max_effect, static_cast<int32_t>(std::ceil(77 * 60.0 / 255 + 1)));

  for (uint32_t& h : hist) h = 1;
  ASSERT_TRUE(make_slices(hist, 128, 128.0, 30.0, t));
  EXPECT_LE(t.count, 270);
  EXPECT_GT(t.count, 1);
  // Slices follow each other and cover every value once.
  EXPECT_EQ(t.slices[0].start, 0);
  for (int32_t i = 1; i < t.count; ++i) EXPECT_EQ(t.slices[i].start, t.slices[i - 1].end);
  EXPECT_EQ(t.slices[t.count - 1].end, 256);
  EXPECT_FALSE(make_slices(hist, 261, 0.0, 30.0, t));  // P + 10 > 270
}

TEST(Slices, FocusBandIsCutFinerThanTheRest) {
  uint32_t hist[256];
  for (uint32_t& h : hist) h = 1;
  SliceTable t;
  ASSERT_TRUE(make_slices(hist, 10, 128.0, 30.0, t));
  int32_t widest_in_band = 0, widest_outside = 0;
  for (int32_t i = 0; i < t.count; ++i) {
    const Slice& s = t.slices[i];
    const bool band = s.start >= 128 - 10 * 2 && s.start < 128 + 10 * 2;
    (band ? widest_in_band : widest_outside) = std::max(band ? widest_in_band : widest_outside, s.end - s.start);
  }
  EXPECT_LT(widest_in_band, widest_outside);
}

TEST(Mask, DilatesBySquareCountsRowsAndSmoothsWithTheBoxAverage) {
  const int32_t w = 9, h = 7;
  std::vector<uint8_t> mask(static_cast<std::size_t>(w) * h, 0), line(9), work(mask.size());
  mask[3 * w + 4] = 1;
  std::vector<int32_t> counts(h), columns(2 * w);
  build_mask(mask.data(), w, h, 2, counts.data(), line.data(), nullptr, nullptr);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      EXPECT_EQ(mask[static_cast<std::size_t>(y) * w + x], std::abs(x - 4) <= 2 && std::abs(y - 3) <= 2 ? 255 : 0);
  EXPECT_EQ(counts, (std::vector<int32_t>{0, 5, 5, 5, 5, 5, 0}));
  std::fill(mask.begin(), mask.end(), 0);
  mask[0] = 1;
  build_mask(mask.data(), w, h, 0, counts.data(), line.data(), columns.data(), work.data());
  EXPECT_EQ(mask[0], 255 / 4);          // corner: 4 values
  EXPECT_EQ(mask[1], 255 / 6);          // edge: 6 values
  EXPECT_EQ(mask[w + 1], 255 / 9);      // interior: 9 values
  EXPECT_EQ(mask[2 * w + 2], 0);
}

// The dilation and the smoothing against the plain definitions, pixel by pixel: random
// sparse and dense masks, thin and wide areas, radii from 0 to past the area's size, with
// and without the work buffers.
TEST(Mask, MatchesTheSquareDilationAndBoxAverageByDefinition) {
  uint32_t seed = 99;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u, seed >> 8; };
  const int32_t sizes[][2] = {{1, 1}, {1, 7}, {7, 1}, {2, 2}, {13, 9}, {40, 31}, {64, 3}};
  for (const auto& size : sizes) {
    const int32_t w = size[0], h = size[1];
    for (int32_t r : {0, 1, 2, 5, 40}) {
      for (int density : {3, 40}) {
        for (bool smooth : {true, false}) {
          std::vector<uint8_t> in(static_cast<std::size_t>(w) * h);
          for (auto& v : in) v = next() % 100 < static_cast<uint32_t>(density) ? 255 : 0;
          // By definition: reached within r in both directions, counted per row, then the
          // average over the 3x3 neighbours inside the area.
          std::vector<uint8_t> reached(in.size());
          std::vector<int32_t> want_counts(h, 0);
          for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
              bool any = false;
              for (int32_t yy = std::max(0, y - r); yy <= std::min(h - 1, y + r) && !any; ++yy)
                for (int32_t xx = std::max(0, x - r); xx <= std::min(w - 1, x + r) && !any; ++xx)
                  any = in[static_cast<std::size_t>(yy) * w + xx] != 0;
              reached[static_cast<std::size_t>(y) * w + x] = any ? 255 : 0;
              want_counts[y] += any ? 1 : 0;
            }
          std::vector<uint8_t> want = reached;
          if (smooth)
            for (int32_t y = 0; y < h; ++y)
              for (int32_t x = 0; x < w; ++x) {
                int32_t sum = 0, n = 0;
                for (int32_t yy = std::max(0, y - 1); yy <= std::min(h - 1, y + 1); ++yy)
                  for (int32_t xx = std::max(0, x - 1); xx <= std::min(w - 1, x + 1); ++xx, ++n)
                    sum += reached[static_cast<std::size_t>(yy) * w + xx];
                want[static_cast<std::size_t>(y) * w + x] = static_cast<uint8_t>(sum / n);
              }
          std::vector<uint8_t> mask = in, line(static_cast<std::size_t>(std::max(w, h))), work(in.size());
          std::vector<int32_t> counts(h, -1), columns(2 * static_cast<std::size_t>(w));
          build_mask(mask.data(), w, h, r, counts.data(), line.data(), smooth ? columns.data() : nullptr,
                     smooth ? work.data() : nullptr);
          EXPECT_EQ(mask, want) << w << "x" << h << " r " << r << " density " << density << " smooth " << smooth;
          EXPECT_EQ(counts, want_counts) << w << "x" << h << " r " << r;
        }
      }
    }
  }
}

TEST_F(Render, PreviewRendersOnlyItsSquareAndRefusesAPointOnTheEdge) {
  Frame in(80, 60), out(80, 60);
  for (int32_t y = 0; y < 60; ++y)
    for (int32_t x = 0; x < 80; ++x) in.at(x, y)[1] = (x / 4 + y / 4) % 2 ? 255 : 0;
  state.values.bokeh_amount = 8.0;
  state.values.preview_only = true;
  state.values.preview_size = 20;
  state.values.preview_x = 0;
  state.values.preview_y = 30;
  RenderResult r = run(in, out);
  EXPECT_EQ(r.status, RenderStatus::kFailed);
  EXPECT_EQ(r.message, "[Velune5.6] Preview Outside of Image");
  state.values.preview_x = 40;
  ASSERT_EQ(run(in, out).status, RenderStatus::kOk);
  int changed_inside = 0;
  for (int32_t y = 0; y < 60; ++y)
    for (int32_t x = 0; x < 80; ++x) {
      const bool inside = x >= 30 && x < 50 && y >= 20 && y < 40;
      if (!inside) {
        ASSERT_EQ(out.at(x, y)[1], in.at(x, y)[1]) << x << "," << y;
      } else {
        changed_inside += out.at(x, y)[1] != in.at(x, y)[1];
      }
    }
  EXPECT_GT(changed_inside, 100);
}

TEST_F(Render, ExtentSmallerThanTheFrameRendersItWithAMarginAndClearsTheRest) {
  Frame in(100, 80, 255, 120, 120, 120), out(100, 80, 7, 7, 7, 7);
  state.values.bokeh_amount = 10.0;  // max effect 11, margin 5
  extent = Extent{30, 20, 60, 50};
  ASSERT_EQ(run(in, out).status, RenderStatus::kOk);
  for (int32_t y = 0; y < 80; ++y)
    for (int32_t x = 0; x < 100; ++x) {
      const bool area = x >= 25 && x < 65 && y >= 15 && y < 55;
      if (!area) {
        ASSERT_EQ(out.at(x, y)[0], 0) << x << "," << y;
      } else if (x >= 30 && x < 60 && y >= 20 && y < 50) {
        ASSERT_NEAR(out.at(x, y)[1], 120, 1) << x << "," << y;
      }
    }
}

TEST_F(Render, DownsampleScalesTheBlurButNotThePoints) {
  Frame in(61, 61), out(61, 61);
  in.at(30, 30)[1] = 255;
  state.values.bokeh_amount = 40.0;
  ratio = 0.5;  // the frame is half size: blur 20
  ASSERT_EQ(run(in, out).status, RenderStatus::kOk);
  int32_t lit = 0;
  for (int32_t x = 0; x < 61; ++x) lit += out.at(x, 30)[1] != 0;
  EXPECT_NEAR(lit, 21, 1);
}

TEST_F(Render, ShapeProblemsAreReportedByTheirMessages) {
  Frame in(30, 30), out(30, 30);
  state.values.bokeh_amount = 10.0;
  state.values.shape_index = 0;  // nothing to choose from
  EXPECT_EQ(run(in, out).message, "[Velune5.6] Shape File for Requested MaxEffect NOT available");
  state.values.shape_index = shape("Disc");
  state.values.bokeh_amount = 300.0;  // the library stops at 301
  EXPECT_EQ(run(in, out).status, RenderStatus::kOk);

  // A folder of its own: a file that is no TIFF, and a file smaller than its name says.
  const fs::path root = fs::path(::testing::TempDir()) / ("velune_bad_shapes_" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "pattern" / "Broken");
  fs::create_directories(root / "pattern" / "Small");
  std::ofstream(root / "pattern" / "Broken" / "51.tif") << "not a tiff";
  ASSERT_TRUE(irisgen::write_tiff((root / "pattern" / "Small" / "51.tif").string(), irisgen::draw_shape("Disc", 9)));
  global_setup(state, (root / "VeluneFx.aex").string());
  state.values.bokeh_amount = 10.0;
  ASSERT_EQ(state.shapes.count, 2);
  EXPECT_EQ(state.shapes.default_position, 1);  // no "08RZ67": the first shape
  state.values.shape_index = 1;
  EXPECT_EQ(run(in, out).message, "[Velune5.6] Iris Shape Not Loarded");
  state.values.shape_index = 2;
  EXPECT_EQ(run(in, out).message, "[Velune5.6] Shape Image size < MaxEffect");
  fs::remove_all(root);
}

TEST_F(Render, EveryHostAllocationThatFailsGivesOutOfMemoryWithNothingHeld) {
  Frame in(50, 40, 255, 30, 60, 90), out(50, 40), depth(50, 40);
  for (int32_t y = 0; y < 40; ++y)
    for (int32_t x = 0; x < 50; ++x) depth.at(x, y)[1] = static_cast<uint8_t>(x * 5);
  state.values.bokeh_amount = 20.0;
  ASSERT_EQ(run(in, out, &depth).status, RenderStatus::kOk);
  const int64_t total = host.calls;
  ASSERT_GT(total, 3);
  for (int64_t n = 1; n <= total; ++n) {
    host.calls = 0;
    host.fail_at = n;
    const RenderResult r = run(in, out, &depth);
    EXPECT_EQ(r.status, RenderStatus::kOutOfMemory) << "allocation " << n;
    EXPECT_FALSE(r.message.empty());
  }
}

TEST_F(Render, CancelStopsAtOnceOrBetweenRowsWithNothingHeld) {
  Frame in(60, 60, 255, 200, 200, 200), out(60, 60);
  state.values.bokeh_amount = 20.0;
  host.cancel_at_report = 1;
  EXPECT_EQ(run(in, out).status, RenderStatus::kCancelled);
  host.reports = 0;
  host.cancel_at_report = 5;  // inside the engine's rows
  EXPECT_EQ(run(in, out).status, RenderStatus::kCancelled);
}

TEST(ShapeScan, SkipsFilesStopsAt64AndFallsBackToTheFirstShape) {
  const fs::path root = fs::path(::testing::TempDir()) / ("velune_scan_" + std::to_string(::getpid()));
  fs::remove_all(root);
  EXPECT_EQ(scan_shapes((root / "pattern").string(), kDefaultShapeName).count, 0);  // no folder
  fs::create_directories(root);
  for (int i = 0; i < 65; ++i) fs::create_directories(root / ("s" + std::to_string(100 + i)));
  std::ofstream(root / "a_file") << "x";
  ShapeList list = scan_shapes(root.string(), kDefaultShapeName);
  EXPECT_EQ(list.count, 64);
  EXPECT_EQ(list.names.front(), "s100");
  EXPECT_EQ(list.names.back(), "s163");
  EXPECT_EQ(list.default_position, 1);
  fs::create_directories(root / "08RZ67");
  list = scan_shapes(root.string(), kDefaultShapeName);
  EXPECT_EQ(list.names.front(), "08RZ67");
  EXPECT_EQ(list.popup_text.substr(0, 12), "08RZ67|s100|");
  fs::remove_all(root);
}

TEST(Options, MarkerFilesCountByTheirPresence) {
  const fs::path root = fs::path(::testing::TempDir()) / ("velune_options_" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root);
  EffectOptions o = read_option_files(root.string());
  EXPECT_TRUE(o.use_simd);
  EXPECT_FALSE(o.alpha_bokeh);
  EXPECT_FALSE(o.use_micro);
  for (const char* f : {"no_simd", "alpha_boke", "use_micro"}) std::ofstream(root / f);
  o = read_option_files(root.string());
  EXPECT_FALSE(o.use_simd);
  EXPECT_TRUE(o.alpha_bokeh);
  EXPECT_TRUE(o.use_micro);
  EXPECT_EQ(plugin_folder_of("C:\\Effects\\VeluneFx.aex"), "C:\\Effects");
  fs::remove_all(root);
}

}  // namespace
}  // namespace velune
