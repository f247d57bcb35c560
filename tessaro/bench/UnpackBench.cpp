// Loading an 8-megapixel packed plane from memory, against a plain memcpy of the same bytes in
// the same run. Prints the ratio of their throughputs at the end.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "MrwWriter.h"
#include "tessaro/RawFile.h"

namespace {

using namespace tessaro;

constexpr std::uint16_t kWidth = 3264, kHeight = 2448;  // 7.99 megapixels, a DiMAGE A2 frame

const testing::MrwFile& File() {
  static const testing::MrwFile file = [] {
    testing::MrwLayout s;
    s.width = kWidth;
    s.height = kHeight;
    s.packed = true;
    s.samples = testing::TestSamples(kWidth, kHeight);
    return testing::WriteMrw(s);
  }();
  return file;
}

std::size_t RawBytes() { return File().bytes.size() - File().rawData; }

// The whole load as the plug-in does it: parse, plane allocation, row reads and unpacking.
void BM_LoadPackedPlane(benchmark::State& state) {
  const auto& bytes = File().bytes;
  for (auto _ : state) {
    RawFile f(std::make_unique<MemorySource>(bytes.data(), bytes.size()));
    if (!f.Open() || !f.LoadPlane()) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(f.Plane());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * RawBytes()));
}
BENCHMARK(BM_LoadPackedPlane)->Unit(benchmark::kMillisecond);

// The unpacking alone, into a plane allocated once.
void BM_UnpackRows(benchmark::State& state) {
  const std::uint8_t* raw = File().bytes.data() + File().rawData;
  std::unique_ptr<std::uint16_t[]> plane(new std::uint16_t[std::size_t{kWidth} * kHeight]());
  const std::size_t rowBytes = std::size_t{kWidth} * 3 / 2;
  for (auto _ : state) {
    for (std::size_t y = 0; y < kHeight; ++y) UnpackPacked12(raw + y * rowBytes, kWidth, plane.get() + y * kWidth);
    benchmark::DoNotOptimize(plane.get());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * RawBytes()));
}
BENCHMARK(BM_UnpackRows)->Unit(benchmark::kMillisecond);

void BM_Memcpy(benchmark::State& state) {
  const std::uint8_t* raw = File().bytes.data() + File().rawData;
  std::unique_ptr<std::uint8_t[]> dst(new std::uint8_t[RawBytes()]());
  for (auto _ : state) {
    std::memcpy(dst.get(), raw, RawBytes());
    benchmark::DoNotOptimize(dst.get());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * RawBytes()));
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

// The same copy into a buffer allocated for it, as the plane load allocates its plane.
void BM_MemcpyFreshBuffer(benchmark::State& state) {
  const std::uint8_t* raw = File().bytes.data() + File().rawData;
  for (auto _ : state) {
    std::unique_ptr<std::uint8_t[]> dst(new std::uint8_t[RawBytes()]);
    std::memcpy(dst.get(), raw, RawBytes());
    benchmark::DoNotOptimize(dst.get());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * RawBytes()));
}
BENCHMARK(BM_MemcpyFreshBuffer)->Unit(benchmark::kMillisecond);

// Keeps each benchmark's bytes per second so the ratios can be printed after the table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Plain text: the figures end up in logs and notes, where colour codes are noise.
  RatioReporter() : ConsoleReporter(OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      const auto it = r.counters.find("bytes_per_second");
      if (it != r.counters.end() && r.run_type == Run::RT_Iteration) rates[r.run_name.function_name] = it->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> rates;
};

}  // namespace

int main(int argc, char** argv) {
  File();
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto& r = reporter.rates;
  const auto ratio = [&r](const char* name, const char* base) {
    if (r.count(name) && r.count(base) && r[base] > 0) std::printf("%s / %s: %.2f\n", name, base, r[name] / r[base]);
  };
  ratio("BM_LoadPackedPlane", "BM_Memcpy");
  ratio("BM_UnpackRows", "BM_Memcpy");
  ratio("BM_LoadPackedPlane", "BM_MemcpyFreshBuffer");
  benchmark::Shutdown();
  return 0;
}
