#include "tessaro/ConversionDialogModel.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace tessaro {
namespace {

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string Trimmed(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return std::string();
  return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

// Repeated steps of 0.1 must not drift into 0.30000000000000004.
double Tidy(double v) { return std::round(v * 1e6) / 1e6; }

bool IsInteger(DialogValue v) {
  return v == DialogValue::kSaturation || v == DialogValue::kDivuContrast || v == DialogValue::kTemperature ||
         v == DialogValue::kCCIndex;
}

}  // namespace

ConversionDialogModel::ConversionDialogModel(const ConversionSettings& settings, const SettingsFile& file,
                                             CameraWb camera, bool host16Bit)
    : work_(settings), file_(file), camera_(std::move(camera)), host16Bit_(host16Bit) {
  KeepDepthPossible();
}

void ConversionDialogModel::KeepDepthPossible() {
  if (!host16Bit_ && work_.Is48Bit()) work_.ColorDepth = 0;
}

// ---------------------------------------------------------------------------------------
// White balance

std::vector<std::string> ConversionDialogModel::WbListNames() const {
  std::vector<std::string> names;
  for (const auto& p : file_.wbPresets)
    names.push_back(p.wb && p.wb->IsUserDefined() ? p.name : p.wb ? p.wb->ListName(camera_) : p.name);
  return names;
}

int ConversionDialogModel::SelectedWb() const {
  const CWB& wb = work_.GetWB();
  for (size_t i = 0; i < file_.wbPresets.size(); ++i)
    if (file_.wbPresets[i].wb && *file_.wbPresets[i].wb == wb) return static_cast<int>(i);
  return -1;
}

void ConversionDialogModel::PickWb(int index) {
  if (index < 0 || index >= static_cast<int>(file_.wbPresets.size()) || !file_.wbPresets[index].wb) return;
  work_.SetWB(*file_.wbPresets[index].wb);
}

void ConversionDialogModel::SetCoefficients(double red, double green1, double green2, double blue) {
  auto c = [](double v) { return std::isfinite(v) ? std::clamp(v, 0.0, 16.0) : 1.0; };
  work_.SetWB(WBCoef::Truncated(c(red), c(green1), c(green2), c(blue)));
}

void ConversionDialogModel::SetTemperature(int kelvin, int ccIndex) {
  const ValueRange k = Range(DialogValue::kTemperature, 0), cc = Range(DialogValue::kCCIndex, 0);
  work_.SetWB(WBTemp(static_cast<int>(std::clamp<double>(kelvin, k.low, k.high)),
                     static_cast<int>(std::clamp<double>(ccIndex, cc.low, cc.high))));
}

bool ConversionDialogModel::IsUserWbPreset(int index) const {
  if (index < 0 || index >= static_cast<int>(file_.wbPresets.size())) return false;
  const WbPreset& p = file_.wbPresets[index];
  return p.wb && p.wb->IsUserDefined() && p.name != "Custom";
}

bool ConversionDialogModel::AddWbPreset(const std::string& rawName) {
  const std::string name = Trimmed(rawName);
  const CWB& wb = work_.GetWB();
  if (name.empty() || !wb.IsUserDefined()) return false;
  for (const auto& p : file_.wbPresets)
    if (SameName(p.name, name)) return false;
  file_.wbPresets.emplace_back(name, wb.Clone());
  return true;
}

bool ConversionDialogModel::RenameWbPreset(int index, const std::string& rawName) {
  const std::string name = Trimmed(rawName);
  if (!IsUserWbPreset(index) || name.empty() || SameName(name, "Custom")) return false;
  for (size_t i = 0; i < file_.wbPresets.size(); ++i)
    if (static_cast<int>(i) != index && SameName(file_.wbPresets[i].name, name)) return false;
  file_.wbPresets[index].name = name;
  return true;
}

bool ConversionDialogModel::DeleteWbPreset(int index) {
  if (!IsUserWbPreset(index)) return false;
  file_.wbPresets.erase(file_.wbPresets.begin() + index);
  return true;
}

// ---------------------------------------------------------------------------------------
// Numeric controls

ValueRange ConversionDialogModel::Range(DialogValue v, int toneMode) {
  switch (v) {
    case DialogValue::kExposure: return {-4, 4};
    case DialogValue::kSaturation: return {-70, 100};  // -70 is grey already
    case DialogValue::kDivuContrast: return toneMode == kToneDivu3 ? ValueRange{-3, 3} : ValueRange{-5, 5};
    case DialogValue::kPreciseContrast: return {0, 100};
    case DialogValue::kGamma: return {1, 4};
    case DialogValue::kShadows: return {0, 50};
    case DialogValue::kHighlights: return {50, 100};
    case DialogValue::kTemperature: return {2000, 15000};
    case DialogValue::kCCIndex: return {-100, 100};
  }
  return {0, 0};
}

double ConversionDialogModel::Value(DialogValue v) const {
  switch (v) {
    case DialogValue::kExposure: return work_.Exposure;
    case DialogValue::kSaturation: return work_.Saturation;
    case DialogValue::kDivuContrast: return work_.DIVUContrast;
    case DialogValue::kPreciseContrast: return work_.PreciseContrast;
    case DialogValue::kGamma: return work_.PreciseGamma;
    case DialogValue::kShadows: return work_.Shadows;
    case DialogValue::kHighlights: return work_.Highlights;
    case DialogValue::kTemperature: return work_.GetWB().Temperature(camera_);
    case DialogValue::kCCIndex: return work_.GetWB().CCIndex();
  }
  return 0;
}

bool ConversionDialogModel::SetValue(DialogValue v, double value) {
  if (!std::isfinite(value)) return false;
  const ValueRange r = Range(v, work_.Contrast);
  value = std::clamp(Tidy(value), r.low, r.high);
  if (IsInteger(v)) value = std::round(value);
  switch (v) {
    case DialogValue::kExposure: work_.Exposure = value; break;
    case DialogValue::kSaturation: work_.Saturation = static_cast<int32_t>(value); break;
    case DialogValue::kDivuContrast: work_.DIVUContrast = static_cast<int32_t>(value); break;
    case DialogValue::kPreciseContrast: work_.PreciseContrast = value; break;
    case DialogValue::kGamma: work_.PreciseGamma = value; break;
    case DialogValue::kShadows: work_.Shadows = value; break;
    case DialogValue::kHighlights: work_.Highlights = value; break;
    case DialogValue::kTemperature: {
      // Moving the temperature makes the white balance a temperature one, keeping its index.
      const int cc = work_.GetWB().GetKind() == CWB::kTemp ? work_.GetWB().CCIndex() : 0;
      SetTemperature(static_cast<int>(value), cc);
      break;
    }
    case DialogValue::kCCIndex: {
      int kelvin = work_.GetWB().Temperature(camera_);
      if (kelvin <= 0) kelvin = 5000;
      SetTemperature(kelvin, static_cast<int>(value));
      break;
    }
  }
  return true;
}

double ConversionDialogModel::StepSize(DialogValue v, StepKind kind) const {
  const GeneralSettings& g = file_.general;
  auto pick = [kind](const auto& steps) {
    return static_cast<double>(kind == StepKind::kSmall ? steps.small : kind == StepKind::kLarge ? steps.large : steps.edit);
  };
  switch (v) {
    case DialogValue::kExposure: return pick(g.exposureIncrement);
    case DialogValue::kSaturation: return pick(g.saturationIncrement);
    case DialogValue::kDivuContrast: return pick(g.divuContrastIncrement);
    case DialogValue::kPreciseContrast: return pick(g.preciseContrastIncrement);
    case DialogValue::kGamma: return pick(g.gammaIncrement);
    case DialogValue::kShadows:  // the file has one step pair for both ends of the tone range
    case DialogValue::kHighlights: return pick(g.highlightsIncrement);
    case DialogValue::kTemperature: return pick(g.tempIncrement);
    case DialogValue::kCCIndex: return pick(g.ccIndexIncrement);
  }
  return 0;
}

void ConversionDialogModel::Step(DialogValue v, StepKind kind, int direction) {
  const double step = StepSize(v, kind);
  if (!std::isfinite(step) || step <= 0 || direction == 0) return;
  SetValue(v, Value(v) + (direction > 0 ? step : -step));
}

// ---------------------------------------------------------------------------------------
// Choices and presets

void ConversionDialogModel::SetToneMode(int mode) {
  work_.Contrast = static_cast<int16_t>(std::clamp(mode, 0, 2));
  SetValue(DialogValue::kDivuContrast, work_.DIVUContrast);  // into the new mode's range
}

void ConversionDialogModel::SetMethod(int method) {
  work_.Interpolation = static_cast<int16_t>(std::clamp(method, 0, kMethodCount - 1));
}

void ConversionDialogModel::SetColorSpace(int space) {
  work_.ColorSpace = static_cast<int16_t>(std::clamp(space, 0, kColorSpaceCount - 1));
}

bool ConversionDialogModel::SetDepth48(bool on) {
  if (on && !host16Bit_) return false;
  work_.ColorDepth = on ? kDepth48 : 0;
  return true;
}

std::vector<std::string> ConversionDialogModel::PresetNames() const {
  std::vector<std::string> names;
  for (const auto& p : file_.presets) names.push_back(p.name);
  return names;
}

bool ConversionDialogModel::ApplyPreset(int index) {
  if (index < 0 || index >= static_cast<int>(file_.presets.size())) return false;
  work_.CopyFrom(file_.presets[index]);
  KeepDepthPossible();
  return true;
}

bool ConversionDialogModel::SavePresetAs(const std::string& rawName) {
  const std::string name = Trimmed(rawName);
  if (name.empty() || name.find_first_of("[]\r\n") != std::string::npos) return false;  // a section header
  ConversionSettings copy(work_);
  copy.name = name;
  for (auto& p : file_.presets)
    if (SameName(p.name, name)) {
      p = copy;
      return true;
    }
  file_.presets.push_back(std::move(copy));
  return true;
}

bool ConversionDialogModel::DeletePreset(int index) {
  if (index < 0 || index >= static_cast<int>(file_.presets.size())) return false;
  file_.presets.erase(file_.presets.begin() + index);
  return true;
}

void ConversionDialogModel::ResetToDefaults() {
  work_.Reset();
  KeepDepthPossible();
}

void ConversionDialogModel::Accept(ConversionSettings& settings, SettingsFile& file) const {
  settings = work_;
  file.general = file_.general;
  file.wbPresets = file_.wbPresets;
  file.presets = file_.presets;
}

}  // namespace tessaro
