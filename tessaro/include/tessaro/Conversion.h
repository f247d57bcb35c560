#pragma once
// A whole conversion of an open file, streamed: the tables go over the plane in place, then
// each output row is demosaiced, converted and scaled on request. Holds the tables, the
// demosaic ring and one row; never a whole RGB image.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tessaro/ChannelLut.h"
#include "tessaro/Colour.h"
#include "tessaro/ConversionSettings.h"
#include "tessaro/Interpolation.h"
#include "tessaro/RawFile.h"

namespace tessaro {

// 16 for 48-bit settings, else 8.
inline int OutputDepth(const ConversionSettings& s) { return s.Is48Bit() ? 16 : 8; }

class Conversion {
public:
  // Loads the plane if it is not loaded yet, builds the channel tables of the settings and
  // applies them to the plane (which is changed for good), and prepares the row stages for
  // depth 8 or 16. False with a reason when the plane cannot be loaded, the method does not fit
  // it or the colour stage cannot be made.
  bool Start(RawFile& file, const ConversionSettings& s, int depth, std::string* error = nullptr);
  const ReadWindow& Window() const { return demosaic_.Window(); }
  int Depth() const { return colour_.Depth(); }
  // Bytes of one output row: width x 3 samples of 1 or 2 bytes (16-bit in this machine's order).
  std::size_t RowBytes() const;
  int RowsLeft() const { return demosaic_.RowsLeft(); }
  // The next output row into out (RowBytes()); false when all rows are done.
  bool NextRow(void* out);

private:
  ChannelLuts luts_;
  Demosaicer demosaic_;
  ColourConverter colour_;
  std::vector<std::uint16_t> rgb_;
};

// The host's file-browser preview: the eighth of the loaded plane, each channel through the
// tables of the built-in defaults (no highlight warning), scaled to 8 bits.
struct BrowserImage {
  std::uint32_t width = 0, height = 0;
  std::vector<std::uint8_t> rgb;  // interleaved R, G, B
};
// luts is the caller's storage for the tables. False without a plane or memory; the log lines
// of the reductions go to *log.
bool MakeBrowserImage(RawFile& file, ChannelLuts& luts, BrowserImage& out, std::string* log = nullptr);
// The same from an eighth made elsewhere (RawFile::ReadEighth). False without memory.
bool MakeBrowserImage(const RawFile& file, const PreviewImage& eighth, ChannelLuts& luts, BrowserImage& out);

}  // namespace tessaro
