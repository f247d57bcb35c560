#pragma once
// How a raw file is converted: white balance, exposure, tone, demosaic method, output colour
// space and depth, and four switches. Also the names shown and logged for its values, and the
// scripting keys under which the plug-in exchanges it with the host.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "tessaro/WhiteBalance.h"

namespace tessaro {

// Tone modes (ConversionSettings::Contrast).
enum ToneMode : std::int16_t { kTonePrecise = 0, kToneDivu3 = 1, kToneDivu5 = 2 };
// Colour spaces (ConversionSettings::ColorSpace).
enum ColorSpaceId : std::int16_t {
  kSpaceCamera = 0,
  kSpaceNone = 1,
  kSpace57 = 2,
  kSpace7i = 3,
  kSpaceA1 = 4,
  kSpaceA2 = 5,
  kSpaceA200 = 6,
  kSpace7D = 7
};
inline constexpr int kColorSpaceCount = 8;
inline constexpr std::int16_t kDepth48 = 1;  // ColorDepth: 1 is 48 bits, anything else 24
inline constexpr int kMethodCount = 17;
inline constexpr std::int16_t kDefaultMethod = 12;

struct ConversionSettings {
  std::unique_ptr<CWB> WB;
  std::string name;
  double Exposure;
  std::int32_t Saturation;
  std::int16_t Contrast;
  std::int32_t DIVUContrast;
  double PreciseContrast;
  double PreciseGamma;
  double Shadows;
  double Highlights;
  std::int16_t Interpolation;
  std::int16_t ColorDepth;
  std::int16_t ColorSpace;
  bool ExtraSize;
  bool ClipValues;
  bool HighlightsFix;
  bool ConvertToMonitor;

  // Built-in defaults.
  ConversionSettings();
  ConversionSettings(const ConversionSettings& other);
  ConversionSettings& operator=(const ConversionSettings& other);
  ConversionSettings(ConversionSettings&&) noexcept = default;
  ConversionSettings& operator=(ConversionSettings&&) noexcept = default;

  // Back to the built-in defaults (a new WBCamera with preset 0).
  void Reset();
  // Name and every field of a preset, its white balance cloned.
  void CopyFrom(const ConversionSettings& preset);

  bool Is48Bit() const { return ColorDepth == kDepth48; }
  // The white balance, never null (a settings record whose WB was taken reads as camera 0).
  const CWB& GetWB() const;
  void SetWB(const CWB& wb) { WB = wb.Clone(); }

  // The conversion record the log file gets: one "Key = value" line per field.
  std::string LogText() const;
};

// Names as shown and logged; null or "Unknown value !!!" where the value has none.
inline constexpr const char* kUnknownValue = "Unknown value !!!";
const char* ToneModeName(int contrast);      // "Precise", "DIVU ±3", "DIVU ±5" (ANSI ±)
const char* DepthName(int colorDepth);       // "48 bits" / "24 bits"
const char* ColorSpaceName(int colorSpace);  // "Based on camera", "None", "5 / 7", ...
const char* ColorSpaceLogName(int colorSpace);  // "DiMAGE 5 / 7", ..., "none"
const char* MethodName(int method);          // "None", ..., "Variable Number of Gradients (QV)"

// --- Scripting parameters

constexpr std::uint32_t FourCC(const char (&code)[5]) {
  return (std::uint32_t(std::uint8_t(code[0])) << 24) | (std::uint32_t(std::uint8_t(code[1])) << 16) |
         (std::uint32_t(std::uint8_t(code[2])) << 8) | std::uint32_t(std::uint8_t(code[3]));
}

enum class ScriptType { kEnumerated, kDouble, kInteger, kBoolean };

// When read finish writes a key.
enum class WrittenWhen { kAlways, kWbCoefficients, kWbTemperature, kWbCamera, kToneDivu3, kToneDivu5, kTonePrecise };

// The field a key carries.
enum class ScriptField {
  kWbMode, kCoefRed, kCoefGreen1, kCoefGreen2, kCoefBlue, kTemperature, kCCIndex, kCameraPreset,
  kExposure, kSaturation, kContrast, kDivu3Contrast, kDivu5Contrast, kPreciseContrast, kPreciseGamma,
  kShadows, kHighlights, kInterpolation, kExtraSize, kColorDepth, kColorSpace, kClipValues,
  kHighlightsFix, kConvertToMonitor, kAttachIccProfile
};

struct ScriptEnumValue {
  std::uint32_t code;
  int value;  // the field's value (for the white-balance mode: CWB::Kind)
};

struct ScriptEnum {
  std::uint32_t type;  // enumeration type, e.g. 'enwb'
  std::span<const ScriptEnumValue> values;
  std::uint32_t fallback;  // written for a value outside the list
};

struct ScriptKey {
  std::uint32_t key;
  const char* name;  // as in the terminology
  ScriptType type;
  std::uint32_t enumType;  // 0 unless kEnumerated
  WrittenWhen when;
  ScriptField field;
};

// Every key in the order read finish writes them.
std::span<const ScriptKey> ScriptKeys();
const ScriptKey* FindScriptKey(std::uint32_t key);
const ScriptEnum* FindScriptEnum(std::uint32_t type);
// The code written for a field value: the enumeration's fallback when the value has none.
std::uint32_t ScriptEnumCode(std::uint32_t type, int value);
// The field value of a code; empty for a code the enumeration does not know.
std::optional<int> ScriptEnumFieldValue(std::uint32_t type, std::uint32_t code);
// Whether read finish writes this key for these settings.
bool IsWritten(const ScriptKey& key, const ConversionSettings& s);

}  // namespace tessaro
