// Bokeh engine on a 1920x1080 frame: one slice holding every pixel, mask 255, a synthetic
// picture with bright highlights, the default iris shape. Compares the engine's SIMD grey
// form, its plain grey form, and a direct O(D x D) gather computing the same sums.
// The direct gather is timed on evenly spread rows and scaled to the frame (the row count
// is printed); it is checked against the engine's sums on those rows.
// Times are the thread's CPU time: the machine is shared, and wall time would count the
// other jobs' turns.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/bokeh_engine.h"
#include "iris_draw.h"

namespace {

using velune::BokehEngine;
using velune::RunParams;

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;

double cpu_seconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct Frame {
  std::vector<uint8_t> pixels;  // ARGB
  std::vector<uint8_t> mask;
  std::vector<int32_t> counts;
  std::vector<float> accumulator;
};

// Soft gradients with fine texture, and a few hundred small highlights at full value.
const Frame& frame() {
  static const Frame f = [] {
    Frame fr;
    fr.pixels.resize(static_cast<std::size_t>(kWidth) * kHeight * 4);
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> noise(-6, 6);
    for (int32_t y = 0; y < kHeight; ++y) {
      for (int32_t x = 0; x < kWidth; ++x) {
        uint8_t* px = &fr.pixels[(static_cast<std::size_t>(y) * kWidth + x) * 4];
        const double base = 60 + 40 * std::sin(x * 0.004) + 30 * std::cos(y * 0.006 + x * 0.001);
        px[0] = 255;
        px[1] = static_cast<uint8_t>(std::clamp(base + 20 + noise(rng), 0.0, 255.0));
        px[2] = static_cast<uint8_t>(std::clamp(base + noise(rng), 0.0, 255.0));
        px[3] = static_cast<uint8_t>(std::clamp(base - 15 + noise(rng), 0.0, 255.0));
      }
    }
    std::uniform_int_distribution<int> px_x(0, kWidth - 1);
    std::uniform_int_distribution<int> px_y(0, kHeight - 1);
    std::uniform_int_distribution<int> radius(0, 3);
    for (int i = 0; i < 400; ++i) {
      const int cx = px_x(rng);
      const int cy = px_y(rng);
      const int r = radius(rng);
      for (int y = std::max(0, cy - r); y <= std::min(kHeight - 1, cy + r); ++y) {
        for (int x = std::max(0, cx - r); x <= std::min(kWidth - 1, cx + r); ++x) {
          if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) {
            uint8_t* px = &fr.pixels[(static_cast<std::size_t>(y) * kWidth + x) * 4];
            px[1] = px[2] = px[3] = 255;
          }
        }
      }
    }
    fr.mask.assign(static_cast<std::size_t>(kWidth) * kHeight, 255);
    fr.counts.assign(kHeight, kWidth);
    fr.accumulator.assign(static_cast<std::size_t>(kWidth) * kHeight * 4, 0.0f);
    return fr;
  }();
  return f;
}

// The default shape at the library size the effect would pick for diameter d, as BGR.
struct Shape {
  int32_t size = 0;
  std::vector<uint8_t> bgr;
};

const Shape& shape_for(int32_t d) {
  static std::map<int32_t, Shape> cache;
  auto it = cache.find(d);
  if (it != cache.end()) {
    return it->second;
  }
  int32_t size = irisgen::sizes().back();
  for (int32_t s : irisgen::sizes()) {
    if (s >= d) {
      size = s;
      break;
    }
  }
  const irisgen::Image image = irisgen::draw_shape("08RZ67", size);
  Shape shape;
  shape.size = size;
  shape.bgr.resize(static_cast<std::size_t>(size) * size * 3);
  for (std::size_t i = 0; i < static_cast<std::size_t>(size) * size; ++i) {
    shape.bgr[i * 3] = shape.bgr[i * 3 + 1] = shape.bgr[i * 3 + 2] = image.pixels[i];
  }
  return cache.emplace(d, std::move(shape)).first->second;
}

RunParams params_for(Frame& f, int32_t d, int32_t quality, bool simd) {
  const Shape& shape = shape_for(d);
  RunParams p;
  p.use_simd = simd;
  p.slice = velune::SliceView{f.pixels.data(), kWidth, kHeight, 4 * kWidth};
  p.mask = f.mask.data();
  p.mask_pitch = kWidth;
  p.row_counts = f.counts.data();
  p.diameter = d;
  p.quality = quality;
  p.pattern = velune::PatternView{shape.bgr.data(), shape.size, shape.size, 3 * static_cast<std::ptrdiff_t>(shape.size)};
  p.accumulator = f.accumulator.data();
  p.accumulator_pitch = 16 * kWidth;
  return p;
}

// Seconds per frame by case, for the closing summary.
std::map<std::pair<int32_t, int32_t>, std::map<std::string, double>>& results() {
  static std::map<std::pair<int32_t, int32_t>, std::map<std::string, double>> r;
  return r;
}

const char* quality_name(int32_t q) { return q == velune::kQualityHigh ? "High" : "Normal"; }

void BM_Engine(benchmark::State& state, bool simd) {
  const auto d = static_cast<int32_t>(state.range(0));
  const auto quality = static_cast<int32_t>(state.range(1));
  static Frame work = frame();
  BokehEngine engine;
  const RunParams p = params_for(work, d, quality, simd);
  engine.run(p);  // warm caches and the allocator before timing
  double best = 1e30;
  for (auto _ : state) {
    const double start = cpu_seconds();
    const int32_t code = engine.run(p);
    const double took = cpu_seconds() - start;
    if (code != 0 || engine.used_simd() != (simd && velune::cpu_has_simd())) {
      state.SkipWithError(engine.error_message());
      return;
    }
    state.SetIterationTime(took);
    best = std::min(best, took);
  }
  results()[{d, quality}][simd ? "simd" : "plain"] = best;
}

// The reference: every pattern pixel of the window times the photon value under it.
void BM_Direct(benchmark::State& state) {
  const auto d = static_cast<int32_t>(state.range(0));
  const auto quality = static_cast<int32_t>(state.range(1));
  Frame f = frame();

  // The quantised, rotated plane and the photon table exactly as the engine builds them.
  BokehEngine prep;
  const RunParams p = params_for(f, d, quality, false);
  prep.pack_pattern(p.pattern);
  prep.resize_pattern(d, velune::engine_diameter(d));
  prep.new_pattern(quality, d);
  prep.make_photon(p.hardness, p.brightness);
  const auto q = prep.quantised();
  const int32_t size = q.size;
  const int32_t r = size / 2;
  std::vector<uint8_t> plane(q.planes[0], q.planes[0] + static_cast<std::ptrdiff_t>(size) * size);
  std::vector<int32_t> first(q.row_first[0], q.row_first[0] + size);
  std::vector<int32_t> last(q.row_last[0], q.row_last[0] + size);
  const float* table = prep.photon_table();
  const std::ptrdiff_t stride = 4 * static_cast<std::ptrdiff_t>(kWidth + 2 * r);
  std::vector<float> photons(static_cast<std::size_t>(stride) * kHeight, 0.0f);
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      const uint8_t* px = &f.pixels[(static_cast<std::size_t>(y) * kWidth + x) * 4];
      float* out = &photons[static_cast<std::size_t>(y * stride + 4 * (x + r))];
      out[0] = px[0] != 0 ? table[127] : 0.0f;
      out[1] = table[px[1]];
      out[2] = table[px[2]];
      out[3] = table[px[3]];
    }
  }
  prep.release_buffers();

  const int32_t rows = std::clamp(static_cast<int32_t>(kHeight * 121.0 / (static_cast<double>(d) * d)), 8, kHeight);
  const int32_t step = kHeight / rows;
  std::vector<double> sums(static_cast<std::size_t>(rows) * kWidth * 4);
  double total = 0;
  for (auto _ : state) {
    const double start = cpu_seconds();
    for (int32_t i = 0; i < rows; ++i) {
      const int32_t y = i * step;
      for (int32_t x = 0; x < kWidth; ++x) {
        double acc[4] = {0, 0, 0, 0};
        for (int32_t v = 0; v < size; ++v) {
          const int32_t sy = y - r + v;
          if (sy < 0 || sy >= kHeight || first[static_cast<std::size_t>(v)] < 0) {
            continue;
          }
          const float* src = &photons[static_cast<std::size_t>(sy * stride + 4 * x)];
          const uint8_t* levels = &plane[static_cast<std::size_t>(v) * size];
          for (int32_t u = first[static_cast<std::size_t>(v)]; u <= last[static_cast<std::size_t>(v)]; ++u) {
            const double w = levels[u];
            for (int c = 0; c < 4; ++c) {
              acc[c] += w * static_cast<double>(src[4 * u + c]);
            }
          }
        }
        std::copy(acc, acc + 4, &sums[(static_cast<std::size_t>(i) * kWidth + x) * 4]);
      }
    }
    benchmark::DoNotOptimize(sums.data());
    const double scaled = (cpu_seconds() - start) * kHeight / rows;
    state.SetIterationTime(scaled);
    total += scaled;
  }

  // The engine must agree with the direct sums on the timed rows.
  std::fill(f.accumulator.begin(), f.accumulator.end(), 0.0f);
  BokehEngine engine;
  engine.run(params_for(f, d, quality, true));
  double worst = 0;
  for (int32_t i = 0; i < rows; ++i) {
    const std::size_t row = static_cast<std::size_t>(i * step) * kWidth * 4;
    double peak = 0;
    for (int32_t k = 0; k < kWidth * 4; ++k) {
      peak = std::max(peak, sums[static_cast<std::size_t>(i) * kWidth * 4 + k]);
    }
    for (int32_t k = 0; k < kWidth * 4; ++k) {
      const double diff =
          std::fabs(static_cast<double>(f.accumulator[row + k]) - sums[static_cast<std::size_t>(i) * kWidth * 4 + k]);
      worst = std::max(worst, diff / peak);
    }
  }
  state.counters["rows_timed"] = rows;
  state.counters["max_rel_diff"] = worst;
  results()[{d, quality}]["direct"] = total / static_cast<double>(state.iterations());
  results()[{d, quality}]["rows"] = rows;
  results()[{d, quality}]["check"] = worst;
}

void register_all() {
  for (int32_t quality : {velune::kQualityNormal, velune::kQualityHigh}) {
    for (int32_t d : {11, 31, 61, 121}) {
      const std::string tag = "/" + std::to_string(d) + "/" + quality_name(quality);
      const int iterations = 3;
      benchmark::RegisterBenchmark(("Engine_SIMD" + tag).c_str(), BM_Engine, true)
          ->Args({d, quality})->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(iterations);
      benchmark::RegisterBenchmark(("Engine_Plain" + tag).c_str(), BM_Engine, false)
          ->Args({d, quality})->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(iterations);
      benchmark::RegisterBenchmark(("Direct" + tag).c_str(), BM_Direct)
          ->Args({d, quality})->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
    }
  }
}

void print_summary() {
  std::printf("\n%-4s %-7s %12s %12s %12s %10s %11s %8s %10s\n", "D", "quality", "simd ms", "plain ms",
              "direct ms", "direct/", "plain/simd", "rows", "max diff");
  std::printf("%-4s %-7s %12s %12s %12s %10s %11s %8s %10s\n", "", "", "/frame", "/frame", "/frame", "engine", "",
              "timed", "(rel)");
  for (const auto& entry : results()) {
    const auto& key = entry.first;
    const auto& r = entry.second;
    const auto get = [&r](const char* name) {
      const auto it = r.find(name);
      return it == r.end() ? 0.0 : it->second;
    };
    const double simd = get("simd");
    const double plain = get("plain");
    const double direct = get("direct");
    std::printf("%-4d %-7s %12.1f %12.1f %12.1f %10.1f %11.2f %8.0f %10.2e\n", key.first, quality_name(key.second),
                simd * 1e3, plain * 1e3, direct * 1e3, simd > 0 ? direct / simd : 0.0, simd > 0 ? plain / simd : 0.0,
                get("rows"), get("check"));
  }
  std::printf("engine: best of 3 frames (thread CPU time); direct: timed on 'rows timed' evenly spread\n"
              "rows, scaled to %d rows; max diff: largest |engine - direct| over those rows / row peak\n",
              kHeight);
}

}  // namespace

int main(int argc, char** argv) {
  register_all();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  print_summary();
  return 0;
}
