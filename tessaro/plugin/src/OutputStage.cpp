#include "OutputStage.h"

#include <new>

#include "tessaro/WhiteBalance.h"

namespace tessaro::plugin {

// Until the colour conversion lands: the 12-bit values scaled to the output depth.
bool OutputStage::Start(const ConversionSettings&, const RawFile&, int depth) {
  depth_ = depth;
  return true;
}

void OutputStage::Row(const std::uint16_t* rgb, std::int32_t width, void* out) const {
  const std::size_t n = static_cast<std::size_t>(width) * 3;
  if (depth_ == 16) {
    auto* o = static_cast<std::uint16_t*>(out);
    for (std::size_t i = 0; i < n; ++i) o[i] = static_cast<std::uint16_t>(rgb[i] * 65535u / 4095u);
  } else {
    auto* o = static_cast<std::uint8_t*>(out);
    for (std::size_t i = 0; i < n; ++i) o[i] = static_cast<std::uint8_t>(rgb[i] * 255u / 4095u);
  }
}

std::vector<std::uint8_t> ProfileFor(const ConversionSettings&) { return {}; }

bool MakeBrowserPreview(const RawFile& file, const ConversionSettings& s, ChannelLuts& luts, BrowserPreview& out) {
  BuildChannelLuts(s, CameraWb::FromFile(file), false, luts);
  const std::uint32_t W = file.PlaneWidth(), H = file.PlaneHeight();
  out.width = static_cast<std::int32_t>(W / 8);
  out.height = static_cast<std::int32_t>(H / 8);
  try {
    out.rgb.assign(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height) * 3, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  const std::uint16_t* p = file.Plane();
  const BayerOrder order = file.GetBayerOrder();
  for (std::int32_t y = 0; y < out.height; ++y)
    for (std::int32_t x = 0; x < out.width; ++x) {
      unsigned sum[3] = {0, 0, 0};
      for (std::uint32_t by = 0; by < 4; ++by)
        for (std::uint32_t bx = 0; bx < 4; ++bx) {
          const std::uint32_t x0 = static_cast<std::uint32_t>(x) * 8 + bx * 2, y0 = static_cast<std::uint32_t>(y) * 8 + by * 2;
          unsigned r = 0, g = 0, b = 0;
          for (std::uint32_t dy = 0; dy < 2; ++dy)
            for (std::uint32_t dx = 0; dx < 2; ++dx) {
              const unsigned v = p[static_cast<std::size_t>(y0 + dy) * W + x0 + dx];
              switch (CfaPhase(x0 + dx, y0 + dy, order)) {
                case 0: r = v; break;
                case 3: b = v; break;
                default: g += v; break;
              }
            }
          sum[0] += r;
          sum[1] += g >> 1;
          sum[2] += b;
        }
      std::uint8_t* o = &out.rgb[(static_cast<std::size_t>(y) * static_cast<std::size_t>(out.width) + static_cast<std::size_t>(x)) * 3];
      o[0] = static_cast<std::uint8_t>(luts[0][sum[0] / 16] * 255u / 4095u);
      o[1] = static_cast<std::uint8_t>(luts[2][sum[1] / 16] * 255u / 4095u);
      o[2] = static_cast<std::uint8_t>(luts[3][sum[2] / 16] * 255u / 4095u);
    }
  return true;
}

}  // namespace tessaro::plugin
