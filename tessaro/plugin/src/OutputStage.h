#pragma once
// The last steps of a read: the demosaiced 12-bit RGB rows to the host's depth and colour, the
// profile that describes them, and the browser's reduced preview. Thin: the work is the core's.
#include <cstdint>
#include <string>
#include <vector>

#include "tessaro/ChannelLut.h"
#include "tessaro/Colour.h"
#include "tessaro/ConversionSettings.h"
#include "tessaro/RawFile.h"

namespace tessaro::plugin {

class OutputStage {
public:
  // The linearising table is the read's (from the host's buffers). False with a reason when
  // the monitor conversion cannot be made.
  bool Start(const ConversionSettings& s, const RawFile& file, int depth, const LinearisingTable* table,
             std::string* error);
  // `width` pixels of 12-bit R, G, B into `out` (8 bits, or 16 bits in this machine's order).
  void Row(const std::uint16_t* rgb, std::int32_t width, void* out) const;

private:
  ColourConverter colour_;
};

// The profile attached to output of these settings from this file; empty when there is none.
std::vector<std::uint8_t> ProfileFor(const ConversionSettings& s, const RawFile& file);

struct BrowserPreview {
  std::int32_t width = 0, height = 0;
  std::vector<std::uint8_t> rgb;  // 8-bit interleaved
};
// The file's one-eighth image through the built-in defaults' tables, made in `luts`; false
// without memory.
bool MakeBrowserPreview(const RawFile& file, const PreviewImage& eighth, ChannelLuts& luts, BrowserPreview& out);

}  // namespace tessaro::plugin
