// Every file may be hostile: open it, read all it offers, read the browser's eighth, load the
// plane and the thumbnail, make its reduced previews, convert it, and turn and re-orient it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "tessaro/Conversion.h"
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
  {
    // The browser's eighth straight from the raw rows, before the plane is loaded.
    tessaro::PreviewImage eighth;
    if (f.ReadEighth(eighth)) {
      tessaro::ChannelLuts luts;
      tessaro::BrowserImage browser;
      (void)tessaro::MakeBrowserImage(f, eighth, luts, browser);
    }
  }
  if (f.LoadPlane()) {
    const std::size_t n = std::size_t{f.PlaneWidth()} * f.PlaneHeight();
    volatile std::uint16_t last = f.Plane()[n - 1];
    (void)last;
    for (int scale : {2, 6, 12, 16}) (void)f.Preview(scale);
    tessaro::ChannelLuts luts;
    tessaro::BrowserImage browser;
    (void)tessaro::MakeBrowserImage(f, luts, browser);
    f.TurnPlane(tessaro::Turn::QuarterCw);
    // A small conversion: the method, space and switches picked by the file's own bytes, the
    // colour matrix of the camera space from its RIF values.
    tessaro::ConversionSettings s;
    const std::uint8_t pick = data[size - 1];
    s.Interpolation = static_cast<std::int16_t>(pick % tessaro::kMethodCount);
    s.ColorSpace = static_cast<std::int16_t>((pick >> 1) % tessaro::kColorSpaceCount);
    s.ExtraSize = (pick & 0x20) != 0;
    s.ConvertToMonitor = (pick & 0x40) != 0;
    s.ColorDepth = (pick & 0x80) ? tessaro::kDepth48 : 0;
    tessaro::Conversion conv;
    if (std::size_t{f.PlaneWidth()} * f.PlaneHeight() <= 256 * 256 &&
        conv.Start(f, s, tessaro::OutputDepth(s))) {
      std::vector<std::uint8_t> row(conv.RowBytes());
      while (conv.NextRow(row.data())) {
      }
    }
  }
  f.SetOrientation(8);
  return 0;
}
