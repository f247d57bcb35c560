// The whole conversion of an 8-megapixel packed file to a 16-bit output file, per demosaic
// method, side by side with the plane load alone (open, allocate, read and unpack) of the same
// file in the same run. Prints each method's time as a multiple of the load's, and the peak
// heap one conversion holds against the plane's size.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "MrwWriter.h"
#include "tessaro/Conversion.h"
#include "tessaro/RawFile.h"

// Heap accounting for the peak-memory figure: every allocation of the process goes through here.
namespace {
std::atomic<std::size_t> gLive{0}, gPeak{0};
void Count(void* p) {
  if (!p) return;
  const std::size_t now = gLive += malloc_usable_size(p);
  std::size_t peak = gPeak.load();
  while (now > peak && !gPeak.compare_exchange_weak(peak, now)) {
  }
}
void Uncount(void* p) {
  if (p) gLive -= malloc_usable_size(p);
}
}  // namespace

// GCC takes these replacements' malloc and free for a mismatched pair.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
  void* p = std::malloc(n ? n : 1);
  if (!p) throw std::bad_alloc();
  Count(p);
  return p;
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  void* p = std::malloc(n ? n : 1);
  Count(p);
  return p;
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept {
  Uncount(p);
  std::free(p);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }
#pragma GCC diagnostic pop

namespace {

using namespace tessaro;

constexpr std::uint16_t kWidth = 3264, kHeight = 2448;  // 7.99 megapixels, a DiMAGE A2 frame

std::string Scratch(const char* name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/tessaro_bench_" + std::to_string(::getpid()) + name;
}

const std::string& InputFile() {
  static const std::string path = [] {
    testing::MrwLayout s;
    s.width = kWidth;
    s.height = kHeight;
    s.packed = true;
    s.samples = testing::TestSamples(kWidth, kHeight);
    const std::string p = Scratch(".mrw");
    if (!testing::WriteFile(p, testing::WriteMrw(s).bytes)) std::abort();
    return p;
  }();
  return path;
}

void BM_LoadPlane(benchmark::State& state) {
  for (auto _ : state) {
    RawFile f(std::make_unique<FileSource>(InputFile()));
    if (!f.Open() || !f.LoadPlane()) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(f.Plane());
  }
}
BENCHMARK(BM_LoadPlane)->Unit(benchmark::kMillisecond)->MinTime(1.0);

std::map<int, std::size_t> gPeakByMethod;

// File to file: open, load, tables, demosaic, colour, 16-bit PPM rows written.
void BM_Convert(benchmark::State& state) {
  const int method = static_cast<int>(state.range(0));
  ConversionSettings s;
  s.Interpolation = static_cast<std::int16_t>(method);
  s.ColorDepth = kDepth48;
  const std::string out = Scratch(".ppm");
  std::size_t peak = 0;
  for (auto _ : state) {
    const std::size_t before = gLive.load();
    gPeak = before;
    {
      RawFile f(std::make_unique<FileSource>(InputFile()));
      Conversion conv;
      if (!f.Open() || !conv.Start(f, s, 16)) {
        state.SkipWithError("conversion failed");
        break;
      }
      std::FILE* o = std::fopen(out.c_str(), "wb");
      if (!o) {
        state.SkipWithError("cannot write");
        break;
      }
      std::fprintf(o, "P6\n%d %d\n65535\n", conv.Window().width, conv.Window().height);
      // The file takes big-endian values; swapped as whole words, which the compiler vectorises.
      std::vector<std::uint16_t> row(conv.RowBytes() / 2);
      while (conv.NextRow(row.data())) {
        for (std::uint16_t& v : row) v = static_cast<std::uint16_t>(v << 8 | v >> 8);
        std::fwrite(row.data(), 2, row.size(), o);
      }
      std::fclose(o);
    }
    peak = std::max(peak, gPeak.load() - before);
  }
  gPeakByMethod[method] = peak;
  std::remove(out.c_str());
}
BENCHMARK(BM_Convert)->DenseRange(0, kMethodCount - 1)->Unit(benchmark::kMillisecond)->MinTime(0.5);

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration) ms[r.benchmark_name()] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> ms;
};

}  // namespace

int main(int argc, char** argv) {
  InputFile();
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto& r = reporter.ms;
  const auto load = r.find("BM_LoadPlane/min_time:1.000");
  const double planeMb = double(kWidth) * kHeight * 2 / (1 << 20);
  std::printf("plane %.1f MB\n", planeMb);
  for (const auto& [name, t] : r) {
    if (name.rfind("BM_Convert/", 0) != 0) continue;
    const int method = std::atoi(name.c_str() + 11);
    std::printf("method %2d (%s): %.0f ms, %.2f x the plane load, peak heap %.1f MB\n", method, MethodName(method), t,
                load != r.end() && load->second > 0 ? t / load->second : 0.0,
                double(gPeakByMethod[method]) / (1 << 20));
  }
  std::remove(InputFile().c_str());
  benchmark::Shutdown();
  return 0;
}
