// The settings file: what the reader accepts, what the writer emits, and that the two agree.
#include <gtest/gtest.h>

#include <string>

#include "tessaro/SettingsFile.h"

namespace tessaro {
namespace {

SettingsFile Parsed(const std::string& text) {
  SettingsFile f;
  f.Reset();
  f.Parse(text);
  return f;
}

TEST(SettingsFile, GeneralOptionsIgnoreCaseBlanksAndAnyValueButOne) {
  SettingsFile f = Parsed("[GeneralSettings]\nLivePreview = 0\n");
  EXPECT_FALSE(f.general.livePreview);
  GeneralSettings defaults;
  defaults.livePreview = false;
  EXPECT_EQ(f.general.Text(), defaults.Text());

  f = Parsed("[generalsettings]\nlivepreview=0\nColorManagement = 2\nFocusArea\t=\t0\nPreviewSize = 7.9\n"
             "Resolution = 240\nLabMode = 1\nNoSuchKey = 5\nHistogramColor =\n");
  EXPECT_FALSE(f.general.livePreview);
  EXPECT_FALSE(f.general.colorManagement) << "only 1 is true";
  EXPECT_FALSE(f.general.focusArea);
  EXPECT_EQ(f.general.previewSize, 7) << "integers are truncated";
  EXPECT_EQ(f.general.resolution, 240);
  EXPECT_TRUE(f.general.labMode);
  EXPECT_EQ(f.general.histogramColor, 0);

  // Before any section header the lines are general options too.
  EXPECT_FALSE(Parsed("LivePreview = 0\n").general.livePreview);
}

TEST(SettingsFile, WriterEmitsTheTableInOrderAndDisplayUiOnlyWhenOff) {
  GeneralSettings g;
  const std::string t = g.Text();
  EXPECT_EQ(t.rfind("LivePreview = 1\nHighlightsWarningPre = 0\n", 0), 0u);
  EXPECT_NE(t.find("ExposureIncrementSmall = 0.100\nExposureIncrementLarge = 0.250\nExposureIncrementEdit = 0.100\n"),
            std::string::npos);
  EXPECT_NE(t.find("TempIncrementSmall = 10\nTempIncrementLarge = 500\n"), std::string::npos);
  EXPECT_EQ(t.find("DisplayUI"), std::string::npos);
  EXPECT_EQ(t.find("LabMode"), std::string::npos) << "read, never written";
  EXPECT_EQ(t.find("InterpolationPreview"), std::string::npos) << "read, never written";
  // The zoomed view's switch and factor close the section.
  EXPECT_NE(t.find("CCIndexIncrementEdit = 10\nInterpolationZoom = 0\nInterpolationZoomFactor = 0\n"),
            std::string::npos) << t;
  g.displayUI = false;
  EXPECT_NE(g.Text().find("DontUseInternalThumbnailsForD5andD7 = 1\nDisplayUI = 0\nDialogOrientation = 1\n"),
            std::string::npos);
}

TEST(SettingsFile, WhiteBalancePresetsAndTheCompletedList) {
  SettingsFile f = Parsed(
      "[WhiteBalancePresets]\n"
      "Studio = 3200; 5\n"
      "\r  Window light\t= 1.9, 1, 1, 1.4\n"
      "\n"
      "Custom = 2.123456; 1; 1; 1.5\n"
      "Nothing =\n");
  // camera setting, Custom, six raw presets, then the user's presets in file order
  ASSERT_EQ(f.wbPresets.size(), 10u);
  EXPECT_EQ(f.wbPresets[0].wb->GetKind(), CWB::kCamera);
  EXPECT_EQ(f.wbPresets[0].wb->CameraPreset(), 0);
  EXPECT_EQ(f.wbPresets[1].name, "Custom");
  const auto* custom = dynamic_cast<const WBCoef*>(f.wbPresets[1].wb.get());
  ASSERT_NE(custom, nullptr);
  EXPECT_DOUBLE_EQ(custom->Values()[0], 2.1234) << "cut to four decimals";
  const int raw[] = {2, 3, 1, 4, 5, 6};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(f.wbPresets[2 + i].wb->CameraPreset(), raw[i]);
  EXPECT_EQ(f.wbPresets[8].name, "Studio");
  const auto* studio = dynamic_cast<const WBTemp*>(f.wbPresets[8].wb.get());
  ASSERT_NE(studio, nullptr);
  EXPECT_EQ(studio->Kelvin(), 3200);
  EXPECT_EQ(studio->CCIndex(), 5);
  EXPECT_EQ(f.wbPresets[9].name, "Window light");
  EXPECT_EQ(f.wbPresets[9].wb->GetKind(), CWB::kCoef);

  // No "Custom" of the user's: one of coefficients 1 is made; without raw presets none of them.
  f = Parsed("[GeneralSettings]\nIncludeRawWBPresets = 0\n");
  ASSERT_EQ(f.wbPresets.size(), 2u);
  EXPECT_EQ(f.wbPresets[1].name, "Custom");
  const auto* made = dynamic_cast<const WBCoef*>(f.wbPresets[1].wb.get());
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->Values(), (std::array<double, 4>{1, 1, 1, 1}));
}

TEST(SettingsFile, ConversionPresetsByModeAndByOldNumbers) {
  SettingsFile f = Parsed(
      "[ Day ]\nWB = Camera\nCamera = DAYLIGHT\nExposure = 0.5\nContrast = 1\nDIVUContrast = -2\n"
      "Interpolation = 7\nExtraSize = 1\n"
      "[Warm]\nWB = Temp\nTemp = 4500\nCCIndex = -3\nHighlightsFix = 1\n"
      "[Old]\nCamera = 7\nCoefR = 1.5\nCoefG1= 1\nCoefG2= 1\nCoefB = 2\n"
      "[Odd]\nWB = nonsense\nCamera = 9\n");
  ASSERT_EQ(f.presets.size(), 4u);
  const ConversionSettings* day = f.FindPreset("DAY");
  ASSERT_NE(day, nullptr);
  EXPECT_EQ(day->GetWB().CameraPreset(), 2);
  EXPECT_DOUBLE_EQ(day->Exposure, 0.5);
  EXPECT_EQ(day->DIVUContrast, -2);
  EXPECT_EQ(day->Interpolation, 7);
  EXPECT_TRUE(day->ExtraSize);
  EXPECT_FALSE(day->HighlightsFix) << "a preset starts from zero values";
  EXPECT_EQ(f.FindPreset("warm")->GetWB().Temperature(CameraWb()), 4500);
  EXPECT_EQ(f.FindPreset("warm")->GetWB().CCIndex(), -3);
  EXPECT_EQ(f.FindPreset("Old")->GetWB().GetKind(), CWB::kCoef);
  EXPECT_DOUBLE_EQ(f.FindPreset("Old")->GetWB().CoefBlue(CameraWb()), 2);
  EXPECT_EQ(f.FindPreset("Odd")->GetWB().GetKind(), CWB::kCamera);
  EXPECT_EQ(f.FindPreset("Odd")->GetWB().CameraPreset(), 0);
  EXPECT_EQ(f.FindPreset("none"), nullptr);
}

TEST(SettingsFile, PresetTextLeavesOutTheOtherToneMode) {
  ConversionSettings s;
  s.name = "P";
  const std::string precise = PresetSettingsText(s);
  EXPECT_EQ(precise.find("DIVUContrast"), std::string::npos);
  EXPECT_NE(precise.find("PreciseGamma = 2.64\nShadows = 0\nHighlights = 100\n"), std::string::npos);
  s.Contrast = kToneDivu5;
  const std::string divu = PresetSettingsText(s);
  EXPECT_NE(divu.find("Contrast = 2\nDIVUContrast = 0\nInterpolation = 12\n"), std::string::npos);
  EXPECT_EQ(divu.find("Shadows"), std::string::npos);
  EXPECT_EQ(divu.find("Highlights ="), std::string::npos);
}

TEST(SettingsFile, WrittenReadAndWrittenAgainGivesTheSameBytes) {
  SettingsFile f = Parsed(
      "[GeneralSettings]\nLivePreview = 0\nDisplayUI = 0\nExposureIncrementSmall = 0.3333\nDialogPositionX = -40\n"
      "interpolationzoom=1\nInterpolationZoomFactor = 2\n"
      "[WhiteBalancePresets]\nStudio = 3200; 5\nLamp = 1.23456, 1, 1, 0.5\n"
      "[default]\nWB = Coef\nCoefR = 1.7\nCoefG1= 1\nCoefG2= 1\nCoefB = 1.25\nExposure = -0.333333\n"
      "Saturation = 12\nContrast = 0\nPreciseContrast = 42.5\nPreciseGamma = 2.2\nShadows = 1\n"
      "Highlights = 99.5\nInterpolation = 14\nColorDepth = 1\nColorSpace = 3\nExtraSize = 1\nClipValues = 1\n"
      "HighlightsFix = 0\nConvertToMonitor = 1\n"
      "[Punchy]\nWB = Camera\nCamera = Cloudy\nContrast = 1\nDIVUContrast = 3\n");
  const std::string once = f.Text();
  SettingsFile again = Parsed(once);
  EXPECT_EQ(again.Text(), once);
  EXPECT_NE(once.find("\n[WhiteBalancePresets]\n"), std::string::npos);
  EXPECT_NE(once.find("\nInterpolationZoom = 1\nInterpolationZoomFactor = 2\n"), std::string::npos) << once;
  EXPECT_NE(once.find("Lamp = 1.2345; 1.0000; 1.0000; 0.5000\n"), std::string::npos);
  EXPECT_NE(once.find("\n[Punchy]\nWB = Camera\nCamera = Cloudy\n"), std::string::npos);

  // A real written in full however large, not cut to another number.
  SettingsFile huge = Parsed("[GeneralSettings]\nExposureIncrementLarge = 1e300\n");
  EXPECT_EQ(Parsed(huge.Text()).general.Text(), huge.general.Text());
  EXPECT_EQ(Parsed(huge.Text()).Text(), huge.Text());
}

TEST(SettingsFile, AFileWrittenWithWindowsLineEndsReadsAsWritten) {
  // The Windows build writes the file in text mode, so every line ends in "\r\n"; the white
  // balance of a conversion preset must not lose its kind or values to the carriage return.
  SettingsFile f = Parsed(
      "[GeneralSettings]\nLivePreview = 0\n[WhiteBalancePresets]\nStudio = 3200; 5\n"
      "[Day]\nWB = Camera\nCamera = Daylight\nExposure = 0.5\n"
      "[Lamp]\nWB = Coef\nCoefR = 1.7\nCoefG1= 1\nCoefG2= 1\nCoefB = 1.25\n"
      "[Warm]\nWB = Temp\nTemp = 4500\nCCIndex = -3\n");
  const std::string written = f.Text();
  std::string crlf;
  for (char c : written) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  const SettingsFile again = Parsed(crlf);
  EXPECT_EQ(again.Text(), written);
  ASSERT_NE(again.FindPreset("Day"), nullptr);
  EXPECT_EQ(again.FindPreset("Day")->GetWB().CameraPreset(), 2);
  ASSERT_NE(again.FindPreset("Lamp"), nullptr);
  EXPECT_EQ(again.FindPreset("Lamp")->GetWB().GetKind(), CWB::kCoef);
  EXPECT_DOUBLE_EQ(again.FindPreset("Lamp")->GetWB().CoefRed(CameraWb()), 1.7);
  ASSERT_NE(again.FindPreset("Warm"), nullptr);
  EXPECT_EQ(again.FindPreset("Warm")->GetWB().GetKind(), CWB::kTemp);
}

TEST(SettingsFile, LongAndOddLinesAreReadSafely) {
  // A line far past 511 characters is cut there: its tail must not be read as an option.
  std::string text = "[GeneralSettings]\nLivePreview = 1" + std::string(600, ' ') + "\nFocusArea = 0" +
                     std::string(2000, 'x') + " Logging = 1\n";
  text += "[" + std::string(3000, 'n') + "]\nExposure = 1\n";
  text += "[   ]\nResolution = 99\n[\n]\n";
  SettingsFile f = Parsed(text);
  EXPECT_TRUE(f.general.livePreview);
  EXPECT_FALSE(f.general.focusArea);
  EXPECT_FALSE(f.general.logging);
  // The cut header has lost its "]" and "[   ]" names nothing: neither starts a section.
  EXPECT_TRUE(f.presets.empty());
  EXPECT_EQ(f.general.resolution, 99);
  EXPECT_NO_THROW(Parsed(std::string("\0\0[\0]\n=\n==\n= 5\n", 16)));
}

TEST(SettingsFile, PathsBesideThePlugin) {
  EXPECT_EQ(SettingsPathFor("C:\\Plug-ins\\Tessaro.8bi"), "C:\\Plug-ins\\Tessaro.ini");
  EXPECT_EQ(SettingsPathFor("/opt/q/MyPlugin.8BI"), "/opt/q/MyPlugin.ini");
  EXPECT_EQ(SettingsPathFor("/opt/q/Tessaro.8bi.so"), "/opt/q/Tessaro.ini");
  EXPECT_EQ(SettingsPathFor("/opt/q/Tessaro.dll"), "") << "no settings file";
  EXPECT_EQ(SettingsPathFor(""), "");
  EXPECT_EQ(LogPathFor("/opt/q/Tessaro.8bi.so"), "/opt/q/Tessaro.log");
  EXPECT_EQ(LogPathFor("C:\\a.b\\Tessaro.8bi"), "C:\\a.b\\Tessaro.log");
}

}  // namespace
}  // namespace tessaro
