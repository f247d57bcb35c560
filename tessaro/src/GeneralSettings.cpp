#include "tessaro/GeneralSettings.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace tessaro {
namespace {

bool SameKey(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return i == a.size() && !b[i];
}

int Truncated(double v) {
  if (!(v == v)) return 0;
  if (v >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  if (v <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  return static_cast<int>(v);
}

// Every option once, in the order the writer emits them; `written` is false for those only read.
template <class S, class F>
void Visit(S& s, F&& f) {
  f("LivePreview", s.livePreview, true);
  f("HighlightsWarningPre", s.highlightsWarningPre, true);
  f("HighlightsWarningPost", s.highlightsWarningPost, true);
  f("FocusArea", s.focusArea, true);
  f("ColorManagement", s.colorManagement, true);
  f("PreviewSize", s.previewSize, true);
  f("HistogramColor", s.histogramColor, true);
  f("HistogramRange", s.histogramRange, true);
  f("HistogramScale", s.histogramScale, true);
  f("HistogramCurves", s.histogramCurves, true);
  f("HistogramSource", s.histogramSource, true);
  f("Resolution", s.resolution, true);
  f("ResetToDefaults", s.resetToDefaults, true);
  f("IncludeRawWBPresets", s.includeRawWBPresets, true);
  f("AttachICCProfile", s.attachICCProfile, true);
  f("Logging", s.logging, true);
  f("UseInternalThumbnails", s.useInternalThumbnails, true);
  f("DontUseInternalThumbnailsForD5andD7", s.dontUseInternalThumbnailsForD5andD7, true);
  f("DisplayUI", s.displayUI, true);
  f("DialogOrientation", s.dialogOrientation, true);
  f("DialogPositionX", s.dialogPositionX, true);
  f("DialogPositionY", s.dialogPositionY, true);
  f("PreviewVisible", s.previewVisible, true);
  f("PreviewGlued", s.previewGlued, true);
  f("PreviewPositionX", s.previewPositionX, true);
  f("PreviewPositionY", s.previewPositionY, true);
  f("PreviewPositionXend", s.previewPositionXend, true);
  f("PreviewPositionYend", s.previewPositionYend, true);
  f("InfoVisible", s.infoVisible, true);
  f("InfoGlued", s.infoGlued, true);
  f("InfoPositionX", s.infoPositionX, true);
  f("InfoPositionY", s.infoPositionY, true);
  f("InfoPositionXend", s.infoPositionXend, true);
  f("InfoPositionYend", s.infoPositionYend, true);
  f("DIVUContrastIncrementSmall", s.divuContrastIncrement.small, true);
  f("DIVUContrastIncrementLarge", s.divuContrastIncrement.large, true);
  f("DIVUContrastIncrementEdit", s.divuContrastIncrement.edit, true);
  f("PreciseContrastIncrementSmall", s.preciseContrastIncrement.small, true);
  f("PreciseContrastIncrementLarge", s.preciseContrastIncrement.large, true);
  f("PreciseContrastIncrementEdit", s.preciseContrastIncrement.edit, true);
  f("GammaIncrementSmall", s.gammaIncrement.small, true);
  f("GammaIncrementLarge", s.gammaIncrement.large, true);
  f("GammaIncrementEdit", s.gammaIncrement.edit, true);
  f("ExposureIncrementSmall", s.exposureIncrement.small, true);
  f("ExposureIncrementLarge", s.exposureIncrement.large, true);
  f("ExposureIncrementEdit", s.exposureIncrement.edit, true);
  f("HighlightsIncrementSmall", s.highlightsIncrement.small, true);
  f("HighlightsIncrementLarge", s.highlightsIncrement.large, true);
  f("HighlightsIncrementEdit", s.highlightsIncrement.edit, true);
  f("SaturationIncrementSmall", s.saturationIncrement.small, true);
  f("SaturationIncrementLarge", s.saturationIncrement.large, true);
  f("SaturationIncrementEdit", s.saturationIncrement.edit, true);
  f("TempIncrementSmall", s.tempIncrement.small, true);
  f("TempIncrementLarge", s.tempIncrement.large, true);
  f("TempIncrementEdit", s.tempIncrement.edit, true);
  f("CCIndexIncrementSmall", s.ccIndexIncrement.small, true);
  f("CCIndexIncrementLarge", s.ccIndexIncrement.large, true);
  f("CCIndexIncrementEdit", s.ccIndexIncrement.edit, true);
  f("LabMode", s.labMode, false);
  f("InterpolationPreview", s.interpolationPreview, false);
  // The dialog's zoomed view and its factor are the user's choices like the others: kept.
  f("InterpolationZoom", s.interpolationZoom, true);
  f("InterpolationZoomFactor", s.interpolationZoomFactor, true);
}

struct Setter {
  const std::string& key;
  double value;
  bool found = false;
  void operator()(const char* name, bool& b, bool) {
    if (!found && SameKey(key, name)) found = true, b = value == 1.0;
  }
  void operator()(const char* name, int& i, bool) {
    if (!found && SameKey(key, name)) found = true, i = Truncated(value);
  }
  void operator()(const char* name, double& d, bool) {
    if (!found && SameKey(key, name)) found = true, d = value;
  }
};

struct Writer {
  std::string text;
  void Line(const char* name, const char* value) {
    text += name;
    text += " = ";
    text += value;
    text += '\n';
  }
  void operator()(const char* name, const bool& b, bool written) {
    if (!written) return;
    // DisplayUI appears only to switch the dialog off.
    if (SameKey("DisplayUI", name) && b) return;
    Line(name, b ? "1" : "0");
  }
  void operator()(const char* name, const int& i, bool written) {
    if (written) Line(name, std::to_string(i).c_str());
  }
  void operator()(const char* name, const double& d, bool written) {
    if (!written) return;
    // Room for the largest double in full: a shorter buffer would cut the digits and write
    // another number.
    char buf[320];
    std::snprintf(buf, sizeof buf, "%.3f", d);
    Line(name, buf);
  }
};

}  // namespace

bool GeneralSettings::Set(const std::string& key, double value) {
  Setter s{key, value};
  Visit(*this, s);
  return s.found;
}

std::string GeneralSettings::Text() const {
  Writer w;
  Visit(*this, w);
  return w.text;
}

}  // namespace tessaro
