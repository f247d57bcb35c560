#include "SetOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "tessaro/WhiteBalance.h"

namespace mrwdump {

namespace {

using tessaro::ConversionSettings;

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

bool Real(const std::string& text, double& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  out = std::strtod(text.c_str(), &end);
  return errno == 0 && *end == '\0' && std::isfinite(out);
}

bool Integer(const std::string& text, long lo, long hi, long& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  out = std::strtol(text.c_str(), &end, 10);
  return errno == 0 && *end == '\0' && out >= lo && out <= hi;
}

const char* const kCameraNames[] = {"camerasetting", "tungsten", "daylight", "cloudy", "fluorescent", "flash",
                                    "unknown"};

}  // namespace

bool ApplySettings(const std::vector<std::string>& assignments, ConversionSettings& s, std::string* error) {
  const auto fail = [error](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  // The white balance as the settings text gives it: kind and values, built at the end.
  std::string wb;
  int camera = 0;
  double coef[4] = {1, 1, 1, 1};
  long temp = 5500, cc = 0;
  bool coefGiven = false, tempGiven = false;

  for (const std::string& a : assignments) {
    const std::size_t eq = a.find('=');
    if (eq == std::string::npos || eq == 0) return fail("--set wants KEY=VALUE, not \"" + a + "\"");
    const std::string key = Lower(a.substr(0, eq)), value = a.substr(eq + 1);
    const auto bad = [&](const char* wants) { return fail("bad value \"" + value + "\" for " + a.substr(0, eq) + ": " + wants); };
    double d = 0;
    long n = 0;
    if (key == "wb") {
      wb = Lower(value);
      if (wb != "camera" && wb != "coef" && wb != "temp") return bad("Camera, Coef or Temp");
    } else if (key == "camera") {
      const std::string v = Lower(value);
      int found = -1;
      for (int i = 0; i < 7; ++i)
        if (v == kCameraNames[i]) found = i;
      if (found < 0 && Integer(value, 0, 6, n)) found = static_cast<int>(n);
      if (found < 0) return bad("a camera preset name or 0 to 6");
      camera = found;
    } else if (key == "coefr" || key == "coefg1" || key == "coefg2" || key == "coefb") {
      if (!Real(value, d) || d <= 0) return bad("a coefficient above 0");
      const int i = key == "coefr" ? 0 : key == "coefg1" ? 1 : key == "coefg2" ? 2 : 3;
      coef[i] = d;
      coefGiven = true;
    } else if (key == "temp") {
      if (!Integer(value, 1000, 100000, n)) return bad("kelvin, 1000 to 100000");
      temp = n;
      tempGiven = true;
    } else if (key == "ccindex") {
      if (!Integer(value, -1000, 1000, n)) return bad("an integer");
      cc = n;
      tempGiven = true;
    } else if (key == "exposure") {
      if (!Real(value, d)) return bad("a number");
      s.Exposure = d;
    } else if (key == "saturation") {
      if (!Integer(value, -1000, 1000, n)) return bad("an integer");
      s.Saturation = static_cast<std::int32_t>(n);
    } else if (key == "contrast") {
      if (!Integer(value, 0, 2, n)) return bad("0 (precise), 1 or 2");
      s.Contrast = static_cast<std::int16_t>(n);
    } else if (key == "divucontrast") {
      if (!Integer(value, -5, 5, n)) return bad("an integer from -5 to 5");
      s.DIVUContrast = static_cast<std::int32_t>(n);
    } else if (key == "precisecontrast" || key == "precisegamma" || key == "shadows" || key == "highlights") {
      if (!Real(value, d)) return bad("a number");
      if (key == "precisegamma" && d <= 0) return bad("a gamma above 0");
      (key == "precisecontrast" ? s.PreciseContrast : key == "precisegamma" ? s.PreciseGamma
                                                    : key == "shadows"      ? s.Shadows
                                                                            : s.Highlights) = d;
    } else if (key == "interpolation") {
      if (!Integer(value, 0, tessaro::kMethodCount - 1, n)) return bad("a method 0 to 16");
      s.Interpolation = static_cast<std::int16_t>(n);
    } else if (key == "colordepth") {
      if (!Integer(value, 0, 1, n)) return bad("0 (24 bits) or 1 (48 bits)");
      s.ColorDepth = static_cast<std::int16_t>(n);
    } else if (key == "colorspace") {
      if (!Integer(value, 0, tessaro::kColorSpaceCount - 1, n)) return bad("a colour space 0 to 7");
      s.ColorSpace = static_cast<std::int16_t>(n);
    } else if (key == "extrasize" || key == "clipvalues" || key == "highlightsfix" || key == "converttomonitor") {
      if (!Integer(value, 0, 1, n)) return bad("0 or 1");
      (key == "extrasize" ? s.ExtraSize : key == "clipvalues" ? s.ClipValues
                                        : key == "highlightsfix" ? s.HighlightsFix
                                                                 : s.ConvertToMonitor) = n == 1;
    } else {
      return fail("unknown settings key \"" + a.substr(0, eq) + "\"");
    }
  }
  if (wb.empty()) wb = coefGiven ? "coef" : tempGiven ? "temp" : "";
  if (wb == "coef")
    s.SetWB(tessaro::WBCoef::Truncated(coef[0], coef[1], coef[2], coef[3]));
  else if (wb == "temp")
    s.SetWB(tessaro::WBTemp(static_cast<int>(temp), static_cast<int>(cc)));
  else if (wb == "camera" || camera != 0)
    s.SetWB(tessaro::WBCamera(camera));
  return true;
}

}  // namespace mrwdump
