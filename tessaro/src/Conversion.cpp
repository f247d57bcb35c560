#include "tessaro/Conversion.h"

#include <new>

#include "tessaro/WhiteBalance.h"

namespace tessaro {

bool Conversion::Start(RawFile& file, const ConversionSettings& s, int depth, std::string* error) {
  const auto fail = [error](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (!file.HasPlane() && !file.LoadPlane()) return fail("cannot read the raw data: " + file.Error());
  // Check what can fail before the plane is changed for good.
  const ReadWindow win = ComputeReadWindow(s.Interpolation, s.ExtraSize, file.PlaneWidth(), file.PlaneHeight());
  if (win.Empty()) return fail("the raw plane is too small for the demosaic method");
  std::string why;
  if (!colour_.Start(s, &file, depth, nullptr, &why)) return fail(why);
  try {
    rgb_.assign(static_cast<std::size_t>(win.width) * 3, 0);
  } catch (const std::bad_alloc&) {
    return fail("out of memory");
  }
  BuildChannelLuts(s, CameraWb::FromFile(file), false, luts_);
  ApplyChannelLuts(file.Plane(), file.PlaneWidth(), file.PlaneHeight(), file.GetBayerOrder(), luts_);
  file.DiscardPreviews();
  if (!demosaic_.Start(file.Plane(), file.PlaneWidth(), file.PlaneHeight(), file.GetBayerOrder(), s.Interpolation,
                       s.ExtraSize, &why))
    return fail(why);
  return true;
}

std::size_t Conversion::RowBytes() const {
  return static_cast<std::size_t>(Window().width) * 3 * (Depth() == 16 ? 2 : 1);
}

bool Conversion::NextRow(void* out) {
  if (!demosaic_.NextRow(rgb_.data())) return false;
  colour_.Row(rgb_.data(), static_cast<std::size_t>(Window().width), out);
  return true;
}

bool MakeBrowserImage(const RawFile& file, const PreviewImage& eighth, ChannelLuts& luts, BrowserImage& out) {
  const ConversionSettings defaults;
  BuildChannelLuts(defaults, CameraWb::FromFile(file), false, luts);
  try {
    out.rgb.resize(std::size_t{eighth.width} * eighth.height * 3);
  } catch (const std::bad_alloc&) {
    return false;
  }
  out.width = eighth.width;
  out.height = eighth.height;
  const std::uint16_t* p = eighth.pixels.data();
  std::uint8_t* o = out.rgb.data();
  for (std::size_t i = 0, n = std::size_t{out.width} * out.height; i < n; ++i, p += 3, o += 3) {
    o[0] = static_cast<std::uint8_t>(luts[0][p[0]] * 255u / 4095u);
    o[1] = static_cast<std::uint8_t>(luts[2][p[1]] * 255u / 4095u);
    o[2] = static_cast<std::uint8_t>(luts[3][p[2]] * 255u / 4095u);
  }
  return true;
}

bool MakeBrowserImage(RawFile& file, ChannelLuts& luts, BrowserImage& out, std::string* log) {
  const PreviewImage* eighth = file.Preview(8, log);
  return eighth && MakeBrowserImage(file, *eighth, luts, out);
}

}  // namespace tessaro
