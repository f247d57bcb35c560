#include "OutputStage.h"

#include "tessaro/Conversion.h"

namespace tessaro::plugin {

bool OutputStage::Start(const ConversionSettings& s, const RawFile& file, int depth, const LinearisingTable* table,
                        std::string* error) {
  return colour_.Start(s, &file, depth, table, error);
}

void OutputStage::Row(const std::uint16_t* rgb, std::int32_t width, void* out) const {
  colour_.Row(rgb, static_cast<std::size_t>(width), out);
}

std::vector<std::uint8_t> ProfileFor(const ConversionSettings& s, const RawFile& file) {
  const auto bytes = ProfileBytes(ProfileIndex(s, file.GetModelCode(), file.GetColorGroup()));
  return {bytes.begin(), bytes.end()};
}

bool MakeBrowserPreview(const RawFile& file, const PreviewImage& eighth, ChannelLuts& luts, BrowserPreview& out) {
  BrowserImage img;
  if (!MakeBrowserImage(file, eighth, luts, img)) return false;
  out.width = static_cast<std::int32_t>(img.width);
  out.height = static_cast<std::int32_t>(img.height);
  out.rgb = std::move(img.rgb);
  return true;
}

}  // namespace tessaro::plugin
