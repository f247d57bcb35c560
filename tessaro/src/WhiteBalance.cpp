#include "tessaro/WhiteBalance.h"

#include <cmath>
#include <cstdio>

#include "TextFormat.h"

namespace tessaro {

namespace {

// Presets 1..6 by name, as the settings file stores them.
constexpr const char* kPresetIds[] = {"CameraSetting", "Tungsten", "Daylight", "Cloudy",
                                      "Fluorescent",   "Flash",    "Unknown"};

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string CoefficientLines(const std::array<double, 4>& c, const char* r, const char* g1, const char* g2,
                             const char* b) {
  return std::string(r) + FormatReal(c[0]) + "\n" + g1 + FormatReal(c[1]) + "\n" + g2 + FormatReal(c[2]) +
         "\n" + b + FormatReal(c[3]) + "\n";
}

}  // namespace

std::string ShotWhiteBalanceName(const RawFile& file) {
  // The 7D writes the newer settings table of 16-bit values; its white balance lies at byte 8.
  if (file.GetModelCode() == 8 && file.NewSettingsWhiteBalance()) {
    switch (*file.NewSettingsWhiteBalance()) {
      case 0: return "auto";
      case 1: return "daylight";
      case 2: return "shade";
      case 3: return "cloudy";
      case 4: return "tungsten";
      case 5: return "fluorescent";
      default: return "unknown";
    }
  }
  // The DiMAGE models write the camera-settings table of 32-bit values; value 3 is the white
  // balance.
  const std::vector<std::uint32_t>& settings = file.CameraSettings();
  if (settings.size() < 4) return "error";
  switch (settings[3]) {
    case 0: return "auto";
    case 1: return "daylight";
    case 2: return "cloudy";
    case 3: return "tungsten";
    case 5: return "custom 1";
    case 7: return "fluorescent";
    case 8: return "fluorescent 2";
    case 11: return "custom 2";
    case 12: return "custom 3";
    default: return "unknown";
  }
}

CameraWb::CameraWb() {
  for (auto& p : presets) p = {1, 1, 1, 1};
}

CameraWb CameraWb::FromFile(const RawFile& file) {
  CameraWb cam;
  if (!file.IsOpen()) return cam;
  cam.fileOpen = true;
  cam.shotSettingName = ShotWhiteBalanceName(file);
  for (int p = 0; p < kWbPresetCount; ++p)
    for (int c = 0; c < 4; ++c) cam.presets[p][c] = file.WbCoefficient(p, c);
  cam.model = file.GetTemperatureModel();
  cam.tungstenBlue = file.WbCoefficient(1, kWbBlue);
  // Both presets' blue gains share the blue scale, so their ratio is the ratio of the gains.
  const double daylightBlue = file.WbCoefficient(2, kWbBlue);
  if (file.HasRif()) {
    cam.tungstenGainBlue = cam.tungstenBlue;
    cam.daylightGainBlue = daylightBlue;
  }
  return cam;
}

int TemperatureOf(const TemperatureModel& model, double red, double blue) {
  if (red == 0 || blue == 0) return 0;
  const double den = model.d + std::log(red / blue);
  // A set whose ratio lands exactly on the model's pole has no temperature; neither has one
  // the model throws out of any sensible range.
  if (den == 0) return 0;
  const double t = model.e / den;
  if (!std::isfinite(t) || std::fabs(t) > 1e9) return 0;
  return static_cast<int>(t);
}

bool operator==(const CWB& a, const CWB& b) { return a.Equals(b); }

std::string CWB::ListName(const CameraWb&) const { return "Unnamed"; }
std::string CWB::SuggestedName(const CameraWb&) const { return "New preset"; }

std::string CWB::InfoText(const CameraWb& cam) const {
  return SettingsText() + CoefficientLines(Coefficients(cam), "Coef R = ", "Coef G1= ", "Coef G2= ", "Coef B = ");
}

// --- WBCamera

WBCamera WBCamera::FromName(const std::string& name) {
  const std::string n = Lower(name);
  for (int p = 1; p < kWbPresetCount; ++p)
    if (n == Lower(kPresetIds[p])) return WBCamera(p);
  return WBCamera(0);
}

double WBCamera::Coef(const CameraWb& cam, int channel) const {
  if (preset_ < 0 || preset_ >= kWbPresetCount) return 1;
  return cam.presets[preset_][channel];
}

int WBCamera::Temperature(const CameraWb& cam) const {
  return TemperatureOf(cam.model, CoefRed(cam), CoefBlue(cam));
}

bool WBCamera::Equals(const CWB& other) const {
  const auto* o = dynamic_cast<const WBCamera*>(&other);
  return o && o->preset_ == preset_;
}

std::string WBCamera::ListName(const CameraWb& cam) const {
  if (preset_ == 0) {
    if (cam.fileOpen && !cam.shotSettingName.empty()) return "Camera Setting (" + cam.shotSettingName + ")";
    return "Camera Setting";
  }
  if (preset_ > 0 && preset_ < kWbPresetCount) return std::string(kPresetIds[preset_]) + " (raw)";
  return "Unnamed (raw)";
}

std::string WBCamera::SuggestedName(const CameraWb& cam) const {
  if (preset_ == 0) return cam.fileOpen && !cam.shotSettingName.empty() ? cam.shotSettingName : "Camera Setting";
  return Identifier();
}

std::string WBCamera::Identifier() const {
  if (preset_ >= 0 && preset_ < kWbPresetCount) return kPresetIds[preset_];
  return "Unnamed";
}

std::string WBCamera::SettingsText() const { return "WB = Camera\nCamera = " + Identifier() + "\n"; }

// --- WBCoef

WBCoef WBCoef::Truncated(double red, double green1, double green2, double blue) {
  return WBCoef(TruncateTo4Decimals(red), TruncateTo4Decimals(green1), TruncateTo4Decimals(green2),
                TruncateTo4Decimals(blue));
}

int WBCoef::Temperature(const CameraWb& cam) const { return TemperatureOf(cam.model, c_[0], c_[3]); }

bool WBCoef::Equals(const CWB& other) const {
  const auto* o = dynamic_cast<const WBCoef*>(&other);
  if (!o) return false;
  for (int i = 0; i < 4; ++i)
    if (static_cast<long long>(c_[i] * 10000) != static_cast<long long>(o->c_[i] * 10000)) return false;
  return true;
}

std::string WBCoef::FileLine(const std::string& presetName) const {
  char buf[160];
  std::snprintf(buf, sizeof buf, "%.4f; %.4f; %.4f; %.4f\n", c_[0], c_[1], c_[2], c_[3]);
  return presetName + " = " + buf;
}

std::string WBCoef::SettingsText() const {
  return "WB = Coef\n" + CoefficientLines(c_, "CoefR = ", "CoefG1= ", "CoefG2= ", "CoefB = ");
}

// --- WBTemp

namespace {

// Fixed points of the temperature model: the tungsten preset sits at 2800 K, daylight at 5500 K.
constexpr double kTungstenK = 2800, kDaylightK = 5500;
constexpr double kBlueCorrection = 1.06024096;
constexpr double kDaylightCorrection = 1.0341614874394314;

// The model needs both blue gains; without them (no file, no RIF block, a zero gain) there is
// no temperature to speak of, and neither is a temperature of 0 K or below.
bool TempUsable(const CameraWb& cam, int kelvin) {
  return kelvin > 0 && cam.tungstenGainBlue > 0 && cam.daylightGainBlue > 0;
}

double TempBlue(const CameraWb& cam, int kelvin, int cc) {
  const double k = (kTungstenK * kDaylightK / (kDaylightK - kTungstenK)) *
                   std::log(kBlueCorrection * kDaylightCorrection * cam.tungstenGainBlue / cam.daylightGainBlue);
  return cam.tungstenBlue * kBlueCorrection * std::exp(k / kelvin - k / kTungstenK) / (1 + cc / 100.0);
}

}  // namespace

double WBTemp::CoefBlue(const CameraWb& cam) const {
  if (!TempUsable(cam, kelvin_)) return 1;
  return TempBlue(cam, kelvin_, cc_);
}

double WBTemp::CoefRed(const CameraWb& cam) const {
  if (!TempUsable(cam, kelvin_)) return 1;
  return TempBlue(cam, kelvin_, cc_) * std::exp(cam.model.e / kelvin_ - cam.model.d) / (1 + cc_ / 100.0);
}

bool WBTemp::Equals(const CWB& other) const {
  const auto* o = dynamic_cast<const WBTemp*>(&other);
  return o && o->kelvin_ == kelvin_ && o->cc_ == cc_;
}

std::string WBTemp::ListName(const CameraWb&) const { return "Custom Temp " + std::to_string(kelvin_); }
std::string WBTemp::SuggestedName(const CameraWb&) const { return "Temp " + std::to_string(kelvin_); }

std::string WBTemp::FileLine(const std::string& presetName) const {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%d; %d\n", kelvin_, cc_);
  return presetName + " = " + buf;
}

std::string WBTemp::SettingsText() const {
  return "WB = Temp\nTemp = " + std::to_string(kelvin_) + "\nCCIndex = " + std::to_string(cc_) + "\n";
}

}  // namespace tessaro
