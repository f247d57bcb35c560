// The conversion dialog's pictures on an 8-megapixel frame: from a change of exposure to a
// refreshed whole-frame preview, and the 400 x 400 zoomed view at 100% for a few methods. The
// baselines in the same run: copying the reduced preview the picture starts from, and copying
// the plane window the zoomed view demosaics.

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "MrwWriter.h"
#include "tessaro/DialogPreview.h"

namespace {

using namespace tessaro;

constexpr std::uint16_t kWidth = 3264, kHeight = 2448;  // 7.99 megapixels

RawFile& File() {
  static const testing::MrwFile bytes = [] {
    testing::MrwLayout s;
    s.width = kWidth;
    s.height = kHeight;
    s.samples = testing::TestSamples(kWidth, kHeight);
    return testing::WriteMrw(s);
  }();
  static RawFile* file = [] {
    auto* f = new RawFile(std::make_unique<MemorySource>(bytes.bytes.data(), bytes.bytes.size()));
    if (!f->Open() || !f->LoadPlane()) return static_cast<RawFile*>(nullptr);
    return f;
  }();
  return *file;
}

// The reduced preview is made once when the dialog opens; a change only redraws.
void BM_PreviewAfterExposureChange(benchmark::State& state) {
  RawFile& f = File();
  PreviewOptions o;
  o.scale = static_cast<int>(state.range(0));
  o.warnAfterTone = true;
  const CameraWb cam = CameraWb::FromFile(f);
  if (!f.Preview(o.scale)) state.SkipWithError("no preview");
  ConversionSettings s;
  s.ColorSpace = 2;
  PreviewRenderer r;
  int i = 0;
  for (auto _ : state) {
    s.Exposure = (++i & 1) ? 0.3 : 0.2;
    if (!r.Begin(f, s, cam, o, 1)) state.SkipWithError("begin failed");
    while (!r.Step(16)) {
    }
    benchmark::DoNotOptimize(r.Picture().rgb.data());
  }
}
BENCHMARK(BM_PreviewAfterExposureChange)->Arg(8)->Arg(4)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_Baseline_CopyReducedPreview(benchmark::State& state) {
  const PreviewImage* p = File().Preview(static_cast<int>(state.range(0)));
  std::vector<std::uint16_t> copy(p ? p->pixels.size() : 0);
  for (auto _ : state) {
    if (p) std::memcpy(copy.data(), p->pixels.data(), copy.size() * 2);
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Baseline_CopyReducedPreview)->Arg(8)->Arg(4)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_ZoomView400(benchmark::State& state) {
  RawFile& f = File();
  ConversionSettings s;
  s.ColorSpace = 2;
  s.Interpolation = static_cast<std::int16_t>(state.range(0));
  PreviewOptions o;
  const CameraWb cam = CameraWb::FromFile(f);
  RgbPicture out;
  for (auto _ : state) {
    if (!RenderZoom(f, s, cam, o, kWidth / 2, kHeight / 2, 400, 400, 1, out)) state.SkipWithError("zoom failed");
    benchmark::DoNotOptimize(out.rgb.data());
  }
}
BENCHMARK(BM_ZoomView400)->Arg(7)->Arg(8)->Arg(13)->Arg(14)->Arg(16)->Unit(benchmark::kMillisecond);

void BM_Baseline_CopyPlaneWindow412(benchmark::State& state) {
  const RawFile& f = File();
  std::vector<std::uint16_t> copy(412 * 412);
  for (auto _ : state) {
    for (int y = 0; y < 412; ++y)
      std::memcpy(copy.data() + y * 412, f.Plane() + (1000 + y) * kWidth + 1400, 412 * 2);
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Baseline_CopyPlaneWindow412)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
