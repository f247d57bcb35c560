#include "tessaro/ConversionDialogModel.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tessaro {
namespace {

SettingsFile File() {
  SettingsFile f;
  f.Parse("[GeneralSettings]\nExposureIncrementSmall = 0.1\n\n[WhiteBalancePresets]\nStudio = 3200; 5\n"
          "Window = 1.9; 1; 1; 1.4\n\n[Portrait]\nWB = Camera\nCamera = Daylight\nExposure = 0.5\n"
          "Saturation = -10\nContrast = 0\nPreciseContrast = 40\nPreciseGamma = 2.2\nShadows = 1\n"
          "Highlights = 99\nInterpolation = 7\nColorDepth = 1\nColorSpace = 3\nExtraSize = 1\n"
          "ClipValues = 0\nHighlightsFix = 1\nConvertToMonitor = 0\n");
  return f;
}

int IndexOf(const std::vector<std::string>& names, const std::string& name) {
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i] == name) return static_cast<int>(i);
  return -1;
}

TEST(ConversionDialogModel, StepsComeFromTheSettingsFileAndStayInBounds) {
  ConversionSettings s;
  ConversionDialogModel m(s, File(), CameraWb(), true);
  m.Step(DialogValue::kExposure, StepKind::kSmall, +1);
  m.Step(DialogValue::kExposure, StepKind::kSmall, +1);
  m.Step(DialogValue::kExposure, StepKind::kSmall, +1);
  EXPECT_EQ(m.Working().Exposure, 0.3);  // no drift from repeated tenths
  m.Step(DialogValue::kExposure, StepKind::kLarge, -1);
  EXPECT_EQ(m.Working().Exposure, 0.05);
  for (int i = 0; i < 100; ++i) m.Step(DialogValue::kExposure, StepKind::kLarge, +1);
  EXPECT_EQ(m.Working().Exposure, 4);
  EXPECT_TRUE(m.SetValue(DialogValue::kSaturation, -250));
  EXPECT_EQ(m.Working().Saturation, -70);
  EXPECT_TRUE(m.SetValue(DialogValue::kSaturation, 12.6));
  EXPECT_EQ(m.Working().Saturation, 13);  // whole numbers stay whole
  EXPECT_FALSE(m.SetValue(DialogValue::kGamma, std::nan("")));
  EXPECT_EQ(m.StepSize(DialogValue::kTemperature, StepKind::kLarge), 500);
  EXPECT_EQ(m.StepSize(DialogValue::kPreciseContrast, StepKind::kEdit), 5);
  // DIVU contrast follows the tone mode's range.
  m.SetToneMode(kToneDivu5);
  m.SetValue(DialogValue::kDivuContrast, 5);
  m.SetToneMode(kToneDivu3);
  EXPECT_EQ(m.Working().DIVUContrast, 3);
  m.SetMethod(40);
  EXPECT_EQ(m.Working().Interpolation, kMethodCount - 1);
}

TEST(ConversionDialogModel, FortyEightBitsOnlyForAHostThatTakesThem) {
  ConversionSettings s;
  s.ColorDepth = kDepth48;
  ConversionDialogModel narrow(s, File(), CameraWb(), false);
  EXPECT_FALSE(narrow.Working().Is48Bit());
  EXPECT_FALSE(narrow.SetDepth48(true));
  // The preset was saved with 48 bits; applied here it still gives what the host takes.
  ASSERT_TRUE(narrow.ApplyPreset(IndexOf(narrow.PresetNames(), "Portrait")));
  EXPECT_FALSE(narrow.Working().Is48Bit());
  ConversionDialogModel wide(s, File(), CameraWb(), true);
  EXPECT_TRUE(wide.Working().Is48Bit());
  EXPECT_TRUE(wide.SetDepth48(false));
  EXPECT_TRUE(wide.SetDepth48(true));
}

TEST(ConversionDialogModel, WhiteBalancePresetsAddRenameAndDeleteOnlyTheUsersOwn) {
  ConversionSettings s;
  ConversionDialogModel m(s, File(), CameraWb(), true);
  const auto names = m.WbListNames();
  ASSERT_GE(names.size(), 10u);
  EXPECT_EQ(names[0], "Camera Setting");
  EXPECT_EQ(names[1], "Custom");
  EXPECT_EQ(m.SelectedWb(), 0);
  const int studio = IndexOf(names, "Studio");
  ASSERT_GE(studio, 0);
  m.PickWb(studio);
  EXPECT_EQ(m.SelectedWb(), studio);
  EXPECT_EQ(m.Value(DialogValue::kTemperature), 3200);
  EXPECT_EQ(m.Value(DialogValue::kCCIndex), 5);
  // Camera presets and "Custom" stay.
  EXPECT_FALSE(m.DeleteWbPreset(0));
  EXPECT_FALSE(m.DeleteWbPreset(1));
  EXPECT_FALSE(m.RenameWbPreset(1, "Mine"));
  EXPECT_FALSE(m.RenameWbPreset(studio, "window"));  // taken, in any case
  EXPECT_TRUE(m.RenameWbPreset(studio, " Tungsten lamp "));
  EXPECT_EQ(m.WbListNames()[studio], "Tungsten lamp");
  // Edited coefficients are cut to four decimals and match no preset until added.
  m.SetCoefficients(1.23456789, 1, 1, 0.98765);
  EXPECT_EQ(m.SelectedWb(), -1);
  EXPECT_EQ(m.Working().GetWB().CoefRed(CameraWb()), 1.2345);
  EXPECT_FALSE(m.AddWbPreset("  "));
  EXPECT_TRUE(m.AddWbPreset("Sunset"));
  EXPECT_FALSE(m.AddWbPreset("sunset"));
  EXPECT_EQ(m.SelectedWb(), static_cast<int>(m.WbListNames().size()) - 1);
  m.PickWb(0);
  EXPECT_FALSE(m.AddWbPreset("Camera copy"));  // a camera preset needs no copy
  EXPECT_TRUE(m.DeleteWbPreset(studio));
  // Moving the temperature makes a temperature white balance.
  m.Step(DialogValue::kTemperature, StepKind::kLarge, +1);
  EXPECT_EQ(m.Working().GetWB().GetKind(), CWB::kTemp);
}

TEST(ConversionDialogModel, ConversionPresetsAndResetAndOnlyOkHandsBack) {
  ConversionSettings s;
  s.Exposure = 1.5;
  SettingsFile file = File();
  const std::string before = file.Text();
  {
    ConversionDialogModel m(s, file, CameraWb(), true);
    ASSERT_TRUE(m.ApplyPreset(IndexOf(m.PresetNames(), "Portrait")));
    EXPECT_EQ(m.Working().Exposure, 0.5);
    EXPECT_EQ(m.Working().Interpolation, 7);
    m.SetValue(DialogValue::kExposure, 1);
    EXPECT_TRUE(m.SavePresetAs("portrait"));  // replaces, any case
    EXPECT_EQ(m.PresetNames().size(), 1u);
    EXPECT_FALSE(m.SavePresetAs("[bad]"));
    EXPECT_TRUE(m.SavePresetAs("Night"));
    m.AddWbPreset("x");
    m.ResetToDefaults();
    EXPECT_EQ(m.Working().Exposure, 0);
    EXPECT_EQ(m.Working().Interpolation, kDefaultMethod);
    // Cancel: nothing handed back.
  }
  EXPECT_EQ(s.Exposure, 1.5);
  EXPECT_EQ(file.Text(), before);

  ConversionDialogModel m(s, file, CameraWb(), true);
  m.SetValue(DialogValue::kExposure, -0.25);
  m.SavePresetAs("Night");
  m.Places().dialogPositionX = 40;
  ASSERT_TRUE(m.DeletePreset(IndexOf(m.PresetNames(), "Portrait")));
  m.Accept(s, file);
  EXPECT_EQ(s.Exposure, -0.25);
  ASSERT_EQ(file.presets.size(), 1u);
  EXPECT_EQ(file.presets[0].name, "Night");
  EXPECT_EQ(file.general.dialogPositionX, 40);
  // What the user saved reads back from the file as it was.
  SettingsFile again;
  again.Parse(file.Text());
  EXPECT_EQ(again.Text(), file.Text());
}

}  // namespace
}  // namespace tessaro
