#pragma once
// What the conversion dialog does, without a window: it edits a working copy of the
// conversion settings, of the preset lists and of the window places, and hands them back only
// when the user accepts. Every control's rule (steps, bounds, what is offered) lives here so
// that tests and scripted sessions drive it directly.

#include <string>
#include <vector>

#include "tessaro/ConversionSettings.h"
#include "tessaro/GeneralSettings.h"
#include "tessaro/SettingsFile.h"
#include "tessaro/WhiteBalance.h"

namespace tessaro {

// The numeric controls, each with its bounds and the three steps of the settings file.
enum class DialogValue {
  kExposure, kSaturation, kDivuContrast, kPreciseContrast, kGamma, kShadows, kHighlights,
  kTemperature, kCCIndex
};
enum class StepKind { kSmall, kLarge, kEdit };

struct ValueRange {
  double low, high;
};

class ConversionDialogModel {
public:
  ConversionDialogModel(const ConversionSettings& settings, const SettingsFile& file, CameraWb camera,
                        bool host16Bit);

  const ConversionSettings& Working() const { return work_; }
  const SettingsFile& WorkingFile() const { return file_; }
  bool Host16Bit() const { return host16Bit_; }

  // --- White balance: the preset list, and the values of the coefficient and temperature modes.
  std::vector<std::string> WbListNames() const;
  // The preset the working white balance is, or -1 when it is none of them (edited values).
  int SelectedWb() const;
  void PickWb(int index);
  // Cut to four decimals, as the settings file keeps them.
  void SetCoefficients(double red, double green1, double green2, double blue);
  // The white balance becomes a temperature preset at these values (clamped).
  void SetTemperature(int kelvin, int ccIndex);
  // Adds the working white balance (coefficients or temperature) under `name`; false for an
  // empty or taken name or a camera preset, which needs no copy.
  bool AddWbPreset(const std::string& name);
  // Only the user's own presets, never "Custom": false otherwise or for a taken name.
  bool RenameWbPreset(int index, const std::string& name);
  bool DeleteWbPreset(int index);
  bool IsUserWbPreset(int index) const;

  // --- Numeric controls.
  static ValueRange Range(DialogValue v, int toneMode);
  double Value(DialogValue v) const;
  // Typed values are clamped into the range; false for a value that is not a number.
  bool SetValue(DialogValue v, double value);
  void Step(DialogValue v, StepKind kind, int direction);
  double StepSize(DialogValue v, StepKind kind) const;

  // --- Choices.
  void SetToneMode(int mode);      // 0 precise, 1 DIVU ±3, 2 DIVU ±5
  void SetMethod(int method);      // 0..16
  void SetColorSpace(int space);   // 0..7
  // 48 bits only for a host that takes 16-bit RGB; false when refused.
  bool SetDepth48(bool on);
  void SetExtraSize(bool on) { work_.ExtraSize = on; }
  void SetClipValues(bool on) { work_.ClipValues = on; }
  void SetHighlightsFix(bool on) { work_.HighlightsFix = on; }
  void SetConvertToMonitor(bool on) { work_.ConvertToMonitor = on; }

  // --- Named conversion presets.
  std::vector<std::string> PresetNames() const;
  bool ApplyPreset(int index);
  // Saves the working settings under `name`, replacing a preset of that name (any case).
  bool SavePresetAs(const std::string& name);
  bool DeletePreset(int index);
  // The built-in defaults (the depth kept to what the host takes).
  void ResetToDefaults();

  // --- Window places, kept in the general options.
  GeneralSettings& Places() { return file_.general; }

  // OK: the settings, the preset lists and the places become the caller's.
  void Accept(ConversionSettings& settings, SettingsFile& file) const;

private:
  void KeepDepthPossible();

  ConversionSettings work_;
  SettingsFile file_;
  CameraWb camera_;
  bool host16Bit_;
};

}  // namespace tessaro
