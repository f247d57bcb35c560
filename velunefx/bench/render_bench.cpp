// The whole render of one 1920x1080 frame with a realistic distance map (ground plane, sky,
// far buildings, a subject in focus, near objects, many small highlights at every depth),
// Bokeh Amount 30, 60 and 120 with Quality Normal and High, side by side in the same run
// with one FFT convolution (FFTW, single precision, four planes: weight and R, G, B) of the
// full frame by the largest slice's pattern: the general method, and a lower bound for any
// renderer that convolves slice by slice with FFTs.
//
// Times are the thread's CPU time (the machine is shared; wall time would count the other
// jobs' turns), best of a few frames. Peak memory is the largest heap in use while the
// render (or the FFT) runs, above what was in use before it, sampled at every host
// allocation and progress report.
#include <fftw3.h>
#include <malloc.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "effect/effect_state.h"
#include "effect/render.h"
#include "engine/photon_curve.h"
#include "iris_draw.h"

namespace fs = std::filesystem;
using namespace velune;

namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;
constexpr int32_t kFocus = 120;  // the subject's distance

double cpu_seconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

std::size_t heap_in_use() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

struct PeakMeter {
  std::size_t base = 0;
  std::size_t peak = 0;
  void start() {
    base = heap_in_use();
    peak = 0;
  }
  void sample() { peak = std::max(peak, heap_in_use() > base ? heap_in_use() - base : 0); }
};
PeakMeter g_meter;

class BenchHost final : public RenderHost {
 public:
  void* allocate(std::size_t bytes) override {
    void* p = std::malloc(bytes);
    g_meter.sample();
    return p;
  }
  void release(void* block) override {
    g_meter.sample();
    std::free(block);
  }
  bool progress(int32_t, int32_t) override {
    g_meter.sample();
    return false;
  }
  bool copy_input_to_output() override {
    std::memcpy(output->data(), input->data(), input->size());
    return true;
  }
  void store_distance_map(const uint8_t*, int32_t, int32_t) override {}
  const std::vector<uint8_t>* input = nullptr;
  std::vector<uint8_t>* output = nullptr;
};

struct Scene {
  std::vector<uint8_t> pixels;  // ARGB
  std::vector<uint8_t> depth;   // ARGB, distance in red
};

void put(Scene& s, int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b, uint8_t d) {
  if (x < 0 || y < 0 || x >= kWidth || y >= kHeight) return;
  const std::size_t i = (static_cast<std::size_t>(y) * kWidth + x) * 4;
  s.pixels[i] = 255;
  s.pixels[i + 1] = r;
  s.pixels[i + 2] = g;
  s.pixels[i + 3] = b;
  s.depth[i] = 255;
  s.depth[i + 1] = s.depth[i + 2] = s.depth[i + 3] = d;
}

// A night street: sky and far skyline at 235 to 255, the ground from 230 at the horizon to
// 25 at the bottom edge, a subject at 120, near posts and leaves at 5 to 40, and about 900
// small bright lights spread over every depth.
const Scene& scene() {
  static const Scene s = [] {
    Scene sc;
    sc.pixels.assign(static_cast<std::size_t>(kWidth) * kHeight * 4, 0);
    sc.depth.assign(sc.pixels.size(), 0);
    std::mt19937 rng(1080);
    std::uniform_int_distribution<int> noise(-5, 5);
    const int32_t horizon = kHeight * 55 / 100;
    for (int32_t y = 0; y < kHeight; ++y) {
      for (int32_t x = 0; x < kWidth; ++x) {
        if (y < horizon) {
          const int v = 20 + 25 * y / horizon + noise(rng);
          put(sc, x, y, static_cast<uint8_t>(v / 2), static_cast<uint8_t>(v * 2 / 3), static_cast<uint8_t>(v + 20),
              255);
        } else {
          const double t = static_cast<double>(y - horizon) / (kHeight - 1 - horizon);
          const int v = 40 + static_cast<int>(30 * std::sin(x * 0.01)) + noise(rng);
          put(sc, x, y, static_cast<uint8_t>(v), static_cast<uint8_t>(v * 9 / 10), static_cast<uint8_t>(v * 3 / 4),
              static_cast<uint8_t>(230 - 205 * t));
        }
      }
    }
    // Buildings with lit windows.
    std::uniform_int_distribution<int> bw(60, 200), bh(100, 380);
    for (int32_t x = 0; x < kWidth;) {
      const int w = bw(rng), h = bh(rng);
      for (int32_t y = horizon - h; y < horizon; ++y)
        for (int32_t xx = x; xx < std::min(kWidth, x + w - 6); ++xx)
          put(sc, xx, y, 22, 22, 30, static_cast<uint8_t>(235 + (x / 97) % 12));
      for (int32_t y = horizon - h + 12; y < horizon - 8; y += 22)
        for (int32_t xx = x + 8; xx < std::min(kWidth, x + w - 14); xx += 18)
          if (rng() % 3 == 0)
            for (int32_t k = 0; k < 5; ++k)
              for (int32_t j = 0; j < 5; ++j) put(sc, xx + k, y + j, 255, 225, 160, 240);
      x += w;
    }
    // The subject.
    for (int32_t y = horizon - 250; y < horizon + 250; ++y)
      for (int32_t x = 880; x < 1040; ++x) {
        const int v = 90 + static_cast<int>(40 * std::cos((x - 960) / 40.0)) + noise(rng);
        put(sc, x, y, static_cast<uint8_t>(v), static_cast<uint8_t>(v * 3 / 4), static_cast<uint8_t>(v * 3 / 5),
            kFocus);
      }
    // Near posts and leaves.
    for (int32_t x0 : {80, 1700}) {
      for (int32_t y = 0; y < kHeight; ++y)
        for (int32_t x = x0; x < x0 + 90; ++x) put(sc, x, y, 30, 26, 22, static_cast<uint8_t>(20 + x0 % 17));
    }
    std::uniform_int_distribution<int> px(0, kWidth - 1), py(0, kHeight - 1), pr(1, 4), pd(0, 255);
    for (int i = 0; i < 900; ++i) {
      const int cx = px(rng), cy = py(rng), r = pr(rng);
      const auto d = static_cast<uint8_t>(pd(rng));
      for (int y = cy - r; y <= cy + r; ++y)
        for (int x = cx - r; x <= cx + r; ++x)
          if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) put(sc, x, y, 255, 240, 200, d);
    }
    return sc;
  }();
  return s;
}

// The default shape's files, only the sizes these renders ask for.
std::string shape_root() {
  static const std::string root = [] {
    const fs::path r = fs::temp_directory_path() / ("velune_render_bench_" + std::to_string(::getpid()));
    fs::create_directories(r / "pattern" / kDefaultShapeName);
    for (int32_t amount : {30, 60, 120}) {
      int32_t requested = amount + 1;
      if (requested % 2 == 0) ++requested;
      for (int32_t size : irisgen::sizes()) {
        if (size >= requested) {
          irisgen::write_tiff((r / "pattern" / kDefaultShapeName / (std::to_string(size) + ".tif")).string(),
                              irisgen::draw_shape(kDefaultShapeName, size));
          break;
        }
      }
    }
    return (r / "pattern").string();
  }();
  return root;
}

struct Case {
  int32_t amount;
  int32_t quality;
  int32_t precision;
};

struct Figures {
  double seconds = 0;
  std::size_t peak = 0;
  int32_t slices = 0;
  double largest = 0;
};

EffectState make_state(const Case& c) {
  EffectState st;
  st.shape_root = shape_root();
  st.shapes = scan_shapes(st.shape_root, kDefaultShapeName);
  st.options.use_simd = true;
  EffectValues& v = st.values;
  v.shape_index = st.shapes.default_position;
  v.bokeh_amount = c.amount;
  v.focus_distance = kFocus;
  v.distance_precision = c.precision;
  v.quality = c.quality;
  v.distance_layer_set = true;
  return st;
}

Figures render_case(const Case& c, int repeats) {
  const Scene& sc = scene();
  std::vector<uint8_t> input = sc.pixels;
  std::vector<uint8_t> depth = sc.depth;
  std::vector<uint8_t> output(input.size());
  BenchHost host;
  host.input = &input;
  host.output = &output;
  PixelView layer{depth.data(), kWidth, kHeight, 4 * kWidth};
  RenderInput in;
  in.input = PixelView{input.data(), kWidth, kHeight, 4 * kWidth};
  in.output = PixelView{output.data(), kWidth, kHeight, 4 * kWidth};
  in.distance_layer = &layer;
  in.extent_hint = Extent{0, 0, kWidth, kHeight};
  Figures f;
  f.seconds = 1e30;
  for (int i = 0; i < repeats; ++i) {
    EffectState st = make_state(c);
    g_meter.start();
    const double t0 = cpu_seconds();
    const RenderResult r = render_frame(st, in, host);
    const double took = cpu_seconds() - t0;
    g_meter.sample();
    if (r.status != RenderStatus::kOk) {
      std::fprintf(stderr, "render failed: %s\n", r.message.c_str());
      std::exit(1);
    }
    f.seconds = std::min(f.seconds, took);
    f.peak = std::max(f.peak, g_meter.peak);
  }
  // The slicing these figures come from.
  uint32_t histogram[256] = {};
  for (std::size_t i = 1; i < depth.size(); i += 4) ++histogram[depth[i]];
  SliceTable table;
  make_slices(histogram, c.precision, kFocus, c.amount, table);
  f.slices = table.count;
  for (int32_t k = 0; k < table.count; ++k) f.largest = std::max(f.largest, table.slices[k].diameter);
  return f;
}

// FFTW-friendly length at least n: 2^a 3^b 5^c 7^d.
int32_t good_size(int32_t n) {
  for (int32_t m = n;; ++m) {
    int32_t k = m;
    for (int32_t p : {2, 3, 5, 7})
      while (k % p == 0) k /= p;
    if (k == 1) return m;
  }
}

// One linear convolution of the frame's four planes (weight, R, G, B in photons) by the
// engine-sized pattern of diameter d: pattern transform once, four forward and four inverse
// transforms, plans made beforehand (FFTW_MEASURE) and not timed.
Figures fft_case(double d, int repeats) {
  const int32_t size = engine_diameter(d);
  const int32_t w = good_size(kWidth + size - 1);
  const int32_t h = good_size(kHeight + size - 1);
  const int32_t wc = w / 2 + 1;
  g_meter.start();
  float* plane = fftwf_alloc_real(static_cast<std::size_t>(w) * h);
  fftwf_complex* spectrum = fftwf_alloc_complex(static_cast<std::size_t>(wc) * h);
  fftwf_complex* kernel = fftwf_alloc_complex(static_cast<std::size_t>(wc) * h);
  fftwf_plan forward = fftwf_plan_dft_r2c_2d(h, w, plane, spectrum, FFTW_MEASURE);
  fftwf_plan inverse = fftwf_plan_dft_c2r_2d(h, w, spectrum, plane, FFTW_MEASURE);
  std::vector<float> planes(static_cast<std::size_t>(kWidth) * kHeight * 4);
  std::vector<float> disc(static_cast<std::size_t>(size) * size);
  const irisgen::Image shape = irisgen::draw_shape(kDefaultShapeName, size);
  for (std::size_t i = 0; i < disc.size(); ++i) disc[i] = shape.pixels[i];
  const Scene& sc = scene();
  for (std::size_t i = 0; i < planes.size() / 4; ++i) {
    planes[i * 4] = photon_value(127, 1.0, 1.0);
    for (int c = 1; c < 4; ++c) planes[i * 4 + c] = photon_value(sc.pixels[i * 4 + c], 1.0, 1.0);
  }
  g_meter.sample();
  Figures f;
  f.seconds = 1e30;
  for (int r = 0; r < repeats; ++r) {
    const double t0 = cpu_seconds();
    std::memset(plane, 0, sizeof(float) * static_cast<std::size_t>(w) * h);
    for (int32_t y = 0; y < size; ++y)
      for (int32_t x = 0; x < size; ++x) plane[static_cast<std::size_t>(y) * w + x] = disc[static_cast<std::size_t>(y) * size + x];
    fftwf_execute_dft_r2c(forward, plane, kernel);
    const float norm = 1.0f / (static_cast<float>(w) * static_cast<float>(h));
    for (int c = 0; c < 4; ++c) {
      std::memset(plane, 0, sizeof(float) * static_cast<std::size_t>(w) * h);
      for (int32_t y = 0; y < kHeight; ++y)
        for (int32_t x = 0; x < kWidth; ++x)
          plane[static_cast<std::size_t>(y) * w + x] = planes[(static_cast<std::size_t>(y) * kWidth + x) * 4 + c];
      fftwf_execute_dft_r2c(forward, plane, spectrum);
      for (std::size_t i = 0; i < static_cast<std::size_t>(wc) * h; ++i) {
        const float a = spectrum[i][0], b = spectrum[i][1];
        spectrum[i][0] = (a * kernel[i][0] - b * kernel[i][1]) * norm;
        spectrum[i][1] = (a * kernel[i][1] + b * kernel[i][0]) * norm;
      }
      fftwf_execute_dft_c2r(inverse, spectrum, plane);
      g_meter.sample();
    }
    f.seconds = std::min(f.seconds, cpu_seconds() - t0);
  }
  f.peak = g_meter.peak;
  fftwf_destroy_plan(forward);
  fftwf_destroy_plan(inverse);
  fftwf_free(plane);
  fftwf_free(spectrum);
  fftwf_free(kernel);
  f.largest = size;
  return f;
}

const char* quality_name(int32_t q) { return q == kQualityHigh ? "High" : "Normal"; }

}  // namespace

int main(int argc, char** argv) {
  // [REPEATS [AMOUNT QUALITY PRECISION]]: one case alone, without the FFT, for profiling.
  int repeats = 2;
  if (argc > 1) repeats = std::max(1, std::atoi(argv[1]));
  std::vector<Case> cases;
  if (argc > 4) {
    const Case only{std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4])};
    const Figures r = render_case(only, repeats);
    std::printf("amount %d quality %d precision %d: %d slices, %.1f ms, %.1f MB\n", only.amount, only.quality,
                only.precision, r.slices, r.seconds * 1e3, static_cast<double>(r.peak) / (1 << 20));
    return 0;
  }
  for (int32_t quality : {kQualityNormal, kQualityHigh})
    for (int32_t amount : {30, 60, 120}) cases.push_back({amount, quality, 10});
  cases.push_back({60, kQualityNormal, 50});  // a finer slicing than the parameter's default

  std::printf("%-7s %-7s %5s %7s %7s %12s %10s %12s %10s %9s\n", "amount", "quality", "prec", "slices", "D max",
              "render ms", "render MB", "FFT ms", "FFT MB", "render/FFT");
  for (const Case& c : cases) {
    const Figures r = render_case(c, repeats);
    const Figures f = fft_case(r.largest, repeats);
    std::printf("%-7d %-7s %5d %7d %7.0f %12.1f %10.1f %12.1f %10.1f %9.2f\n", c.amount, quality_name(c.quality),
                c.precision, r.slices, f.largest, r.seconds * 1e3, static_cast<double>(r.peak) / (1 << 20),
                f.seconds * 1e3, static_cast<double>(f.peak) / (1 << 20), r.seconds / f.seconds);
    std::fflush(stdout);
  }
  std::printf("1920x1080, focus on the subject (distance %d); times: best of %d frames, thread CPU time;\n"
              "FFT: one linear convolution of the four planes by the largest slice's pattern (D max);\n"
              "goals: amount 60 Normal under 1000 ms and no slower than that FFT (render/FFT <= 1)\n",
              kFocus, repeats);
  std::error_code ignored;
  fs::remove_all(fs::path(shape_root()).parent_path(), ignored);
  return 0;
}
