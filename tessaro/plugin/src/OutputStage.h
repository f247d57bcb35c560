#pragma once
// The last steps of a read: the demosaiced 12-bit RGB rows to the host's depth and colour, the
// profile that describes them, and the browser's reduced preview.
#include <cstdint>
#include <vector>

#include "tessaro/ChannelLut.h"
#include "tessaro/ConversionSettings.h"
#include "tessaro/RawFile.h"

namespace tessaro::plugin {

class OutputStage {
public:
  // False when its tables cannot be had.
  bool Start(const ConversionSettings& s, const RawFile& file, int depth);
  // `width` pixels of 12-bit R, G, B into `out` (8 bits, or 16 bits in this machine's order).
  void Row(const std::uint16_t* rgb, std::int32_t width, void* out) const;

private:
  int depth_ = 8;
};

// The profile attached to output of these settings; empty when the colour space has none.
std::vector<std::uint8_t> ProfileFor(const ConversionSettings& s);

struct BrowserPreview {
  std::int32_t width = 0, height = 0;
  std::vector<std::uint8_t> rgb;  // 8-bit interleaved
};
// The one-eighth image of the loaded plane through the tables of `s`; false without memory.
bool MakeBrowserPreview(const RawFile& file, const ConversionSettings& s, ChannelLuts& luts, BrowserPreview& out);

}  // namespace tessaro::plugin
