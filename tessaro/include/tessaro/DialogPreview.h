#pragma once
// The conversion dialog's pictures. The whole-frame preview takes one of the file's reduced
// previews through the channel tables and the colour stage of the read, a few rows at a time
// so the dialog can handle the user between steps. The zoomed view runs the chosen demosaic
// method over the visible part of the plane. Both mark clipped highlights when asked: before
// the tone tables (the samples white balance and exposure push past 12 bits) and after them
// (pixels the output saturates).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tessaro/ChannelLut.h"
#include "tessaro/Colour.h"
#include "tessaro/ConversionSettings.h"
#include "tessaro/GeneralSettings.h"
#include "tessaro/Histogram.h"
#include "tessaro/RawFile.h"
#include "tessaro/WhiteBalance.h"
#include "tessaro/WindowPlaces.h"

namespace tessaro {

struct RgbPicture {
  std::uint32_t width = 0, height = 0;
  std::vector<std::uint8_t> rgb;  // interleaved R, G, B, rows top to bottom
  const std::uint8_t* At(std::uint32_t x, std::uint32_t y) const {
    return rgb.data() + (std::size_t{y} * width + x) * 3;
  }
};

// The scale of the reduced preview a PreviewSize asks for: 1 the half size, then the quarter,
// sixth, eighth (the default 4), twelfth and sixteenth; values outside 1..6 are kept to it.
int PreviewScaleFor(int previewSize);

struct PreviewOptions {
  bool warnBeforeTone = false;  // HighlightsWarningPre
  bool warnAfterTone = false;   // HighlightsWarningPost
  bool focusArea = true;
  bool colorManagement = false;
  int scale = 8;
  int histogramSource = kSourcePreview;
  static PreviewOptions From(const GeneralSettings& g);
};

// What saturated output shows as.
inline constexpr std::uint8_t kClipColour[3] = {255, 0, 255};

// The settings the preview converts with: the monitor conversion also when colour management
// asks for it (the monitor is what the user looks at).
ConversionSettings PreviewSettings(const ConversionSettings& s, const PreviewOptions& o);

// The subject area (the centre and size the camera recorded, in sensor pixels) in the pixels of
// the plane as loaded, turned to the camera orientation; false when the file has none or it
// falls outside the sensor.
bool FocusRectangle(const RawFile& file, int cameraOrientation, WindowRect& out);
// A two-pixel frame (white outside, black inside) around r, cut to the picture.
void DrawFrame(RgbPicture& p, const WindowRect& r);

class PreviewRenderer {
public:
  // Starts a picture of the file's reduced preview at o.scale with the settings s. The plane
  // must be loaded and untouched by the tables. False with a reason when there is no preview
  // of that scale or the colour stage cannot be made; the old picture then stays.
  bool Begin(RawFile& file, const ConversionSettings& s, const CameraWb& cam, const PreviewOptions& o,
             int cameraOrientation, std::string* error = nullptr);
  // Converts up to `rows` more rows; true once the picture is complete (the focus frame drawn
  // and the histogram counted).
  bool Step(int rows);
  bool Busy() const { return next_ < static_cast<int>(work_.height); }
  // The last complete picture (empty before the first), and its histogram.
  const RgbPicture& Picture() const { return done_; }
  const Histogram& Counts() const { return hist_; }
  // The channel tables' response, for the histogram's curves.
  const HistogramCurves& Curves() const { return curves_; }
  const ChannelLuts& Tables() const { return luts_; }

private:
  const PreviewImage* src_ = nullptr;
  ChannelLuts luts_{};
  ColourConverter colour_;
  PreviewOptions opt_;
  bool focus_ = false;
  WindowRect focusRect_;
  RgbPicture work_, done_;
  Histogram hist_, workHist_;
  HistogramCurves curves_{};
  std::vector<std::uint16_t> row_;
  int next_ = 0;
};

// The zoomed view: zoom (1 to 8) screen pixels a plane pixel, the view centred on the plane
// pixel (cx, cy) as far as the plane allows. Parts of the view beyond the frame the method
// delivers are grey. False with a reason when the method or the colour stage cannot run.
bool RenderZoom(const RawFile& file, const ConversionSettings& s, const CameraWb& cam, const PreviewOptions& o,
                int cx, int cy, int viewWidth, int viewHeight, int zoom, RgbPicture& out,
                std::string* error = nullptr);

inline constexpr std::uint8_t kZoomBackground = 128;

// Turns a picture as the host turns the image: rotation 1 a quarter turn counter-clockwise,
// 2 a half turn, 3 a quarter turn clockwise; 0 leaves it.
void TurnPicture(RgbPicture& p, int rotation);

}  // namespace tessaro
