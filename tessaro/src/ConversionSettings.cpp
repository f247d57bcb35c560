#include "tessaro/ConversionSettings.h"

#include <array>

#include "TextFormat.h"
#include "tessaro/Interpolation.h"

namespace tessaro {

ConversionSettings::ConversionSettings() { Reset(); }

ConversionSettings::ConversionSettings(const ConversionSettings& other) { CopyFrom(other); }

ConversionSettings& ConversionSettings::operator=(const ConversionSettings& other) {
  if (this != &other) CopyFrom(other);
  return *this;
}

void ConversionSettings::Reset() {
  WB = std::make_unique<WBCamera>(0);
  name = "Unnamed";
  Exposure = 0;
  Saturation = 0;
  Contrast = kTonePrecise;
  DIVUContrast = 0;
  PreciseContrast = 50;
  PreciseGamma = 2.64;
  Shadows = 0;
  Highlights = 100;
  Interpolation = kDefaultMethod;
  ColorDepth = 0;
  ColorSpace = kSpaceCamera;
  ExtraSize = false;
  ClipValues = false;
  HighlightsFix = true;
  ConvertToMonitor = false;
}

void ConversionSettings::CopyFrom(const ConversionSettings& p) {
  WB = p.WB ? p.WB->Clone() : std::make_unique<WBCamera>(0);
  name = p.name;
  Exposure = p.Exposure;
  Saturation = p.Saturation;
  Contrast = p.Contrast;
  DIVUContrast = p.DIVUContrast;
  PreciseContrast = p.PreciseContrast;
  PreciseGamma = p.PreciseGamma;
  Shadows = p.Shadows;
  Highlights = p.Highlights;
  Interpolation = p.Interpolation;
  ColorDepth = p.ColorDepth;
  ColorSpace = p.ColorSpace;
  ExtraSize = p.ExtraSize;
  ClipValues = p.ClipValues;
  HighlightsFix = p.HighlightsFix;
  ConvertToMonitor = p.ConvertToMonitor;
}

const CWB& ConversionSettings::GetWB() const {
  static const WBCamera kCamera0(0);
  if (WB) return *WB;
  return kCamera0;
}

namespace {

const char* OrUnknown(const char* s) { return s ? s : kUnknownValue; }
const char* OnOff(bool b) { return b ? "on" : "off"; }

}  // namespace

std::string ConversionSettings::LogText() const {
  std::string t;
  const auto line = [&t](const char* key, const std::string& value) { t += std::string(key) + " = " + value + "\n"; };
  line("Exposure", FormatReal(Exposure));
  line("Saturation", std::to_string(Saturation));
  line("Contrast", OrUnknown(ToneModeName(Contrast)));
  line("PreciseContrast", FormatReal(PreciseContrast));
  line("PreciseGamma", FormatReal(PreciseGamma));
  line("Shadows", FormatReal(Shadows));
  line("Highlights", FormatReal(Highlights));
  line("DIVUContrast", std::to_string(DIVUContrast));
  line("Interpolation", OrUnknown(MethodName(Interpolation)));
  line("ColorDepth", DepthName(ColorDepth));
  line("ColorSpace", OrUnknown(ColorSpaceLogName(ColorSpace)));
  line("ExtraSize", OnOff(ExtraSize));
  line("ClipValues", OnOff(ClipValues));
  line("HighlightsFix", OnOff(HighlightsFix));
  line("ConvertToMonitorColorSpace", OnOff(ConvertToMonitor));
  return t;
}

const char* ToneModeName(int contrast) {
  switch (contrast) {
    case kTonePrecise: return "Precise";
    case kToneDivu3: return "DIVU \xB1" "3";
    case kToneDivu5: return "DIVU \xB1" "5";
    default: return nullptr;
  }
}

const char* DepthName(int colorDepth) { return colorDepth == kDepth48 ? "48 bits" : "24 bits"; }

const char* ColorSpaceName(int colorSpace) {
  static constexpr const char* kNames[kColorSpaceCount] = {"Based on camera", "None", "5 / 7", "7i / 7Hi",
                                                           "A1",              "A2",   "A200",  "7D"};
  return colorSpace >= 0 && colorSpace < kColorSpaceCount ? kNames[colorSpace] : nullptr;
}

const char* ColorSpaceLogName(int colorSpace) {
  static constexpr const char* kNames[kColorSpaceCount] = {
      "Based on camera", "none", "DiMAGE 5 / 7", "DiMAGE 7i / 7Hi", "DiMAGE A1", "DiMAGE A2", "DiMAGE A200",
      "DiMAGE 7D"};
  return colorSpace >= 0 && colorSpace < kColorSpaceCount ? kNames[colorSpace] : nullptr;
}

const char* MethodName(int method) {
  const CInterpolation* m = InterpolationFor(method);
  return m ? m->Name() : nullptr;
}

// --- Scripting

namespace {

constexpr ScriptEnumValue kWbModes[] = {
    {FourCC("eWBc"), CWB::kCamera}, {FourCC("eWBf"), CWB::kCoef}, {FourCC("eWBt"), CWB::kTemp}};
constexpr ScriptEnumValue kCameraPresets[] = {
    {FourCC("eWB0"), 0}, {FourCC("eWB1"), 1}, {FourCC("eWB2"), 2}, {FourCC("eWB3"), 3},
    {FourCC("eWB4"), 4}, {FourCC("eWB5"), 5}, {FourCC("eWB6"), 6}, {FourCC("eWBn"), -1}};
constexpr ScriptEnumValue kToneModes[] = {
    {FourCC("eCDi"), kToneDivu3}, {FourCC("eCD5"), kToneDivu5}, {FourCC("eCPr"), kTonePrecise}};
constexpr ScriptEnumValue kMethods[] = {
    {FourCC("inon"), 0},  {FourCC("igra"), 1},  {FourCC("ihal"), 2},  {FourCC("innw"), 3},  {FourCC("inne"), 4},
    {FourCC("insw"), 5},  {FourCC("inse"), 6},  {FourCC("ibil"), 7},  {FourCC("isht"), 8},  {FourCC("ishl"), 9},
    {FourCC("ies1"), 10}, {FourCC("ies2"), 11}, {FourCC("icc1"), 12}, {FourCC("ipix"), 13}, {FourCC("ivng"), 14},
    {FourCC("ivnt"), 15}, {FourCC("ivnq"), 16}};
constexpr ScriptEnumValue kDepths[] = {{FourCC("eD48"), kDepth48}, {FourCC("eD24"), 0}};
constexpr ScriptEnumValue kSpaces[] = {
    {FourCC("eSde"), kSpaceCamera}, {FourCC("eSNo"), kSpaceNone}, {FourCC("eS57"), kSpace57},
    {FourCC("eSHi"), kSpace7i},     {FourCC("eSA1"), kSpaceA1},   {FourCC("eSA2"), kSpaceA2},
    {FourCC("eSA0"), kSpaceA200},   {FourCC("eS7D"), kSpace7D}};

constexpr std::uint32_t kEnwb = FourCC("enwb"), kEnwc = FourCC("enwc"), kEnco = FourCC("enco"),
                        kEnin = FourCC("enin"), kEncd = FourCC("encd"), kEncs = FourCC("encs");

const ScriptEnum kEnums[] = {
    {kEnwb, kWbModes, FourCC("eWBc")}, {kEnwc, kCameraPresets, FourCC("eWB0")},
    {kEnco, kToneModes, FourCC("eCPr")}, {kEnin, kMethods, FourCC("inon")},
    {kEncd, kDepths, FourCC("eD24")},  {kEncs, kSpaces, FourCC("eSde")}};

using T = ScriptType;
using W = WrittenWhen;
using F = ScriptField;
constexpr ScriptKey kKeys[] = {
    {FourCC("wbal"), "White Balance Mode", T::kEnumerated, kEnwb, W::kAlways, F::kWbMode},
    {FourCC("wbr1"), "White Balance Coef Red", T::kDouble, 0, W::kWbCoefficients, F::kCoefRed},
    {FourCC("wbg1"), "White Balance Coef Green1", T::kDouble, 0, W::kWbCoefficients, F::kCoefGreen1},
    {FourCC("wbg2"), "White Balance Coef Green2", T::kDouble, 0, W::kWbCoefficients, F::kCoefGreen2},
    {FourCC("wbb1"), "White Balance Coef Blue", T::kDouble, 0, W::kWbCoefficients, F::kCoefBlue},
    {FourCC("temp"), "Temperature", T::kInteger, 0, W::kWbTemperature, F::kTemperature},
    {FourCC("ccin"), "CCIndex", T::kInteger, 0, W::kWbTemperature, F::kCCIndex},
    {FourCC("wbca"), "White Balance Camera", T::kEnumerated, kEnwc, W::kWbCamera, F::kCameraPreset},
    {FourCC("expo"), "Exposure", T::kDouble, 0, W::kAlways, F::kExposure},
    {FourCC("satu"), "Saturation", T::kInteger, 0, W::kAlways, F::kSaturation},
    {FourCC("cont"), "Contrast & Gamma", T::kEnumerated, kEnco, W::kAlways, F::kContrast},
    {FourCC("dico"), "DIVUContrast", T::kInteger, 0, W::kToneDivu3, F::kDivu3Contrast},
    {FourCC("d5co"), "DIVUContrast", T::kInteger, 0, W::kToneDivu5, F::kDivu5Contrast},
    {FourCC("prco"), "Contrast", T::kDouble, 0, W::kTonePrecise, F::kPreciseContrast},
    {FourCC("prga"), "Gamma", T::kDouble, 0, W::kTonePrecise, F::kPreciseGamma},
    {FourCC("shad"), "Shadows", T::kDouble, 0, W::kTonePrecise, F::kShadows},
    {FourCC("high"), "Highlights", T::kDouble, 0, W::kTonePrecise, F::kHighlights},
    {FourCC("inte"), "Interpolation", T::kEnumerated, kEnin, W::kAlways, F::kInterpolation},
    {FourCC("exsi"), "Extra Size", T::kBoolean, 0, W::kAlways, F::kExtraSize},
    {FourCC("code"), "Color Depth", T::kEnumerated, kEncd, W::kAlways, F::kColorDepth},
    {FourCC("cosp"), "Color Space", T::kEnumerated, kEncs, W::kAlways, F::kColorSpace},
    {FourCC("clip"), "Clip Values > 3965", T::kBoolean, 0, W::kAlways, F::kClipValues},
    {FourCC("hifx"), "Highlights fix", T::kBoolean, 0, W::kAlways, F::kHighlightsFix},
    {FourCC("como"), "Convert to monitor color space", T::kBoolean, 0, W::kAlways, F::kConvertToMonitor},
    {FourCC("atpr"), "Attach ICC profile", T::kBoolean, 0, W::kAlways, F::kAttachIccProfile},
};

}  // namespace

std::span<const ScriptKey> ScriptKeys() { return kKeys; }

const ScriptKey* FindScriptKey(std::uint32_t key) {
  for (const ScriptKey& k : kKeys)
    if (k.key == key) return &k;
  return nullptr;
}

const ScriptEnum* FindScriptEnum(std::uint32_t type) {
  for (const ScriptEnum& e : kEnums)
    if (e.type == type) return &e;
  return nullptr;
}

std::uint32_t ScriptEnumCode(std::uint32_t type, int value) {
  const ScriptEnum* e = FindScriptEnum(type);
  if (!e) return 0;
  for (const ScriptEnumValue& v : e->values)
    if (v.value == value) return v.code;
  return e->fallback;
}

std::optional<int> ScriptEnumFieldValue(std::uint32_t type, std::uint32_t code) {
  const ScriptEnum* e = FindScriptEnum(type);
  if (!e) return std::nullopt;
  for (const ScriptEnumValue& v : e->values)
    if (v.code == code) return v.value;
  return std::nullopt;
}

bool IsWritten(const ScriptKey& key, const ConversionSettings& s) {
  const int kind = s.GetWB().GetKind();
  switch (key.when) {
    case W::kAlways: return true;
    case W::kWbCoefficients: return kind == CWB::kCoef;
    case W::kWbTemperature: return kind == CWB::kTemp;
    case W::kWbCamera: return kind == CWB::kCamera;
    case W::kToneDivu3: return s.Contrast == kToneDivu3;
    case W::kToneDivu5: return s.Contrast == kToneDivu5;
    // A tone mode without a name is written as precise, so its precise values go with it.
    case W::kTonePrecise: return s.Contrast != kToneDivu3 && s.Contrast != kToneDivu5;
  }
  return false;
}

}  // namespace tessaro
