// Every file may be hostile: open it, read all it offers, load the plane and the thumbnail,
// and turn and re-orient them.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "tessaro/RawFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tessaro::RawFile f(std::make_unique<tessaro::MemorySource>(data, size));
  if (!f.Open()) return 0;
  double sum = 0;
  for (int p = 0; p < tessaro::kWbPresetCount; ++p)
    for (int c = 0; c < 4; ++c) sum += f.WbCoefficient(p, c);
  for (int i = 0; i < 12; ++i) sum += f.RifValue(i);
  (void)sum;
  (void)f.GetTemperatureModel();
  f.SetDateTimeDigitised("2000:01:01 00:00:00");
  if (const tessaro::Thumbnail* t = f.GetThumbnail()) {
    volatile std::uint8_t last = t->rgb.empty() ? 0 : t->rgb.back();
    (void)last;
  }
  if (f.LoadPlane()) {
    const std::size_t n = std::size_t{f.PlaneWidth()} * f.PlaneHeight();
    volatile std::uint16_t last = f.Plane()[n - 1];
    (void)last;
    f.TurnPlane(tessaro::Turn::QuarterCw);
  }
  f.SetOrientation(8);
  return 0;
}
