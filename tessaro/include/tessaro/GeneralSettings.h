#pragma once
// The general options of the settings file (Tessaro.ini, "[GeneralSettings]"): what the read
// path and the conversion dialog do, where the dialog's windows were, and the steps of its
// controls. Process-wide, reset before every read and then loaded from the file.

#include <string>

namespace tessaro {

// A control's small, large and typed steps.
template <class T>
struct Steps {
  T small, large, edit;
};

struct GeneralSettings {
  bool livePreview = true;
  bool highlightsWarningPre = false;
  bool highlightsWarningPost = false;
  bool focusArea = true;
  bool colorManagement = false;
  int previewSize = 4;
  int histogramColor = 0;
  int histogramRange = 0;
  bool histogramScale = false;
  bool histogramCurves = true;
  int histogramSource = 1;
  int resolution = 300;  // pixels per inch
  bool resetToDefaults = true;
  bool includeRawWBPresets = true;
  bool attachICCProfile = true;
  bool logging = false;
  bool useInternalThumbnails = true;
  bool dontUseInternalThumbnailsForD5andD7 = true;
  bool displayUI = true;
  bool dialogOrientation = true;
  int dialogPositionX = 1;
  int dialogPositionY = 82;
  bool previewVisible = true;
  bool previewGlued = true;
  int previewPositionX = 0, previewPositionY = 0, previewPositionXend = 0, previewPositionYend = 0;
  bool infoVisible = false;
  bool infoGlued = true;
  int infoPositionX = 0, infoPositionY = 0, infoPositionXend = 0, infoPositionYend = 0;
  Steps<int> divuContrastIncrement{1, 1, 1};
  Steps<double> preciseContrastIncrement{1.0, 5.0, 5.0};
  Steps<double> gammaIncrement{0.1, 0.1, 0.1};
  Steps<double> exposureIncrement{0.1, 0.25, 0.1};
  Steps<double> highlightsIncrement{0.1, 1.0, 1.0};
  Steps<double> saturationIncrement{1.0, 5.0, 5.0};
  Steps<int> tempIncrement{10, 500, 500};
  Steps<int> ccIndexIncrement{1, 10, 10};
  // Read but never written.
  bool labMode = false;
  int interpolationPreview = 0;
  int interpolationZoom = 0;
  int interpolationZoomFactor = 0;

  void Reset() { *this = GeneralSettings{}; }
  // Sets the option named `key` (any case) from a number as the file holds it: booleans are
  // true only for exactly 1, integers are truncated. False for a key that is not an option.
  bool Set(const std::string& key, double value);
  // The "[GeneralSettings]" lines, in the file's order.
  std::string Text() const;
};

}  // namespace tessaro
