#pragma once
// What the window system draws of the conversion dialog: the controller's finished pictures,
// painted over their placeholders (the preview, the histogram and the zoomed view). Only
// complete pictures are ever handed out; a picture being made keeps the last one up.
#include <cstdint>

#include "platform/ui.h"
#include "tessaro/DialogPreview.h"
#include "tessaro/Histogram.h"

namespace tessaro::plugin {

// Placeholder ids of the "CONVERSION" template.
inline constexpr int kPreviewItem = 800, kHistogramItem = 801, kZoomItem = 803;

class ConversionPictures {
 public:
  virtual const RgbPicture& PreviewPicture() const = 0;
  virtual const HistogramPicture& HistogramImage() const = 0;
  virtual const RgbPicture& ZoomPicture() const = 0;

 protected:
  ~ConversionPictures() = default;
};

// Windows builds: runs the "CONVERSION" template modally with the painter of the pictures and
// of the mouse over the preview (handed to the controller's OnMouse in the control's pixels).
intptr_t RunConversionWindow(const ConversionPictures& pictures, qm::platform::DialogController& controller);

}  // namespace tessaro::plugin
