// The engine on an 8-megapixel image against libjpeg driven directly with the same settings,
// in the same run: the final write (goal: at most 1.1 times libjpeg's time), one dialog
// measuring pass with its preview tiles (goal: at most 1.5 times), and the target-size search
// (goal: at most 7 passes). Prints the time ratios and the passes at the end.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "JpegReference.h"
#include "coralin/Cr4Engine.h"
#include "coralin/CrTargetSearch.h"

namespace {

constexpr int32_t kWidth = 3264, kHeight = 2448;  // 7.99 megapixels

const std::vector<uint8_t>& Picture() {
  static const std::vector<uint8_t> p = crtest::TestPicture(kWidth, kHeight, 11);
  return p;
}

CrSettings Settings() {
  CrSettings s;
  s.quality = 75;
  return s;
}

class VectorOutput final : public Cr4Output {
 public:
  size_t Write(const uint8_t* data, size_t n) override {
    bytes.insert(bytes.end(), data, data + n);
    return n;
  }
  std::vector<uint8_t> bytes;
};

// The dialog's side with its JPEG bitmap, and nothing arriving in the message drain.
class PaneView final : public Cr4EngineView {
 public:
  PaneView() : bitmap(static_cast<size_t>(kWidth) * kHeight * 4) {}
  CrBitmap JpegBitmap() override { return {bitmap.data(), kWidth * 4}; }
  std::vector<uint8_t> bitmap;
};

void BM_LibjpegDirect(benchmark::State& state) {
  for (auto _ : state) {
    auto jpeg = crtest::ReferenceJpeg(Picture().data(), kWidth, kHeight, kWidth * 3, false, Settings());
    benchmark::DoNotOptimize(jpeg.data());
    state.counters["bytes"] = static_cast<double>(jpeg.size());
  }
}
BENCHMARK(BM_LibjpegDirect)->Unit(benchmark::kMillisecond)->Iterations(4);

void BM_EngineWrite(benchmark::State& state) {
  Cr4Engine e(kWidth, kHeight, Picture().data(), kWidth * 3);
  e.SetSettings(Settings());
  e.SetMode(CrMode::kWrite);
  for (auto _ : state) {
    VectorOutput out;
    e.SetOutput(&out);
    e.Compress();
    benchmark::DoNotOptimize(out.bytes.data());
    state.counters["bytes"] = static_cast<double>(out.bytes.size());
  }
}
BENCHMARK(BM_EngineWrite)->Unit(benchmark::kMillisecond)->Iterations(4);

void BM_DialogPass(benchmark::State& state) {
  Cr4Engine e(kWidth, kHeight, Picture().data(), kWidth * 3);
  e.SetSettings(Settings());
  PaneView view;
  e.SetView(&view);
  e.SetMode(CrMode::kDialog);
  for (auto _ : state) {
    e.Compress();
    benchmark::DoNotOptimize(view.bitmap.data());
  }
  state.counters["bytes"] = e.ProducedBytes();
  state.counters["tiles"] = e.TileColumns() * e.TileRows();
}
BENCHMARK(BM_DialogPass)->Unit(benchmark::kMillisecond)->Iterations(4);

void BM_TargetSearch(benchmark::State& state) {
  Cr4Engine e(kWidth, kHeight, Picture().data(), kWidth * 3);
  e.SetSettings(Settings());
  CrTargetSearch search(e);
  int32_t passes = 0;
  for (auto _ : state) {
    e.SetQuality(60);
    search.Run(static_cast<int32_t>(state.range(0)), nullptr);
    passes = search.Passes();
  }
  state.counters["passes"] = passes;
  state.counters["quality"] = e.Settings().quality;
}
BENCHMARK(BM_TargetSearch)->Arg(300)->Arg(1500)->Unit(benchmark::kMillisecond)->Iterations(1);

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.run_type != Run::RT_Iteration || r.iterations == 0) continue;
      // Processor time: the machine is shared, so wall time says more about the neighbours.
      times[r.run_name.function_name] = r.cpu_accumulated_time / static_cast<double>(r.iterations);
      auto p = r.counters.find("passes");
      if (p != r.counters.end()) passes[r.benchmark_name()] = p->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times, passes;
};

}  // namespace

int main(int argc, char** argv) {
  // One compression before timing anything, so that the first benchmark does not pay for
  // the machine's warming up.
  crtest::ReferenceJpeg(Picture().data(), kWidth, kHeight, kWidth * 3, false, Settings());
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto& t = reporter.times;
  const auto ratio = [&t](const char* name, const char* base, double goal) {
    if (t.count(name) && t.count(base) && t[base] > 0)
      std::printf("%s / %s: %.2f (goal at most %.1f)\n", name, base, t[name] / t[base], goal);
  };
  ratio("BM_EngineWrite", "BM_LibjpegDirect", 1.1);
  ratio("BM_DialogPass", "BM_LibjpegDirect", 1.5);
  for (const auto& [name, n] : reporter.passes) std::printf("%s: %.0f passes (goal at most 7)\n", name.c_str(), n);
  benchmark::Shutdown();
  return 0;
}
