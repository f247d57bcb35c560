// White-balance objects: coefficients from the file, the temperature model, equality, texts.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "TestFiles.h"
#include "tessaro/WhiteBalance.h"

namespace tessaro::testing {
namespace {

CameraWb CamFrom(const MrwLayout& layout) {
  auto f = FromLayout(layout);
  EXPECT_TRUE(f->Open()) << f->Error();
  return CameraWb::FromFile(*f);
}

TEST(WhiteBalance, CameraPresetsComeFromTheFile) {
  MrwLayout s;
  s.wbgScale = {1, 0, 0, 2};
  s.wbgGain = {256, 64, 128, 512};
  const CameraWb cam = CamFrom(s);
  EXPECT_EQ(WBCamera(0).Coefficients(cam), (std::array<double, 4>{2, 1, 2, 2}));
  // Presets take the shot's red and blue scales; greens are 1.
  EXPECT_DOUBLE_EQ(WBCamera(2).CoefRed(cam), s.rifValues[2] / 128.0);
  EXPECT_DOUBLE_EQ(WBCamera(2).CoefBlue(cam), s.rifValues[3] / 256.0);
  EXPECT_EQ(WBCamera(2).CoefGreen1(cam), 1);
  for (int p : {-1, 7, 100}) EXPECT_EQ(WBCamera(p).Coefficients(cam), (std::array<double, 4>{1, 1, 1, 1})) << p;
  const CameraWb none;
  EXPECT_EQ(WBCamera(0).Coefficients(none), (std::array<double, 4>{1, 1, 1, 1}));
  EXPECT_EQ(WBCamera(3).Coefficients(none), (std::array<double, 4>{1, 1, 1, 1}));
}

TEST(WhiteBalance, TemperatureModelAnchorsAndRoundTrip) {
  MrwLayout s;
  s.rifValues[0] = 100;  // tungsten red, blue
  s.rifValues[1] = 300;
  s.rifValues[2] = 200;  // daylight red, blue
  s.rifValues[3] = 150;
  const CameraWb cam = CamFrom(s);
  // At the tungsten anchor the blue coefficient is the tungsten preset's, corrected.
  EXPECT_NEAR(WBTemp(2800, 0).CoefBlue(cam), (300 / 64.0) * 1.06024096, 1e-12);
  EXPECT_EQ(WBTemp(2800, 0).CoefGreen1(cam), 1);
  // The temperature of the coefficients a WBTemp yields is that temperature again.
  for (int t : {2500, 3200, 4000, 5500, 7500, 12000}) {
    const WBTemp wb(t, 0);
    const int back = WBCoef(wb.CoefRed(cam), 1, 1, wb.CoefBlue(cam)).Temperature(cam);
    EXPECT_NEAR(back, t, 1) << t;
  }
  // The CC index divides red twice and blue once.
  EXPECT_NEAR(WBTemp(4000, 10).CoefBlue(cam) * 1.1, WBTemp(4000, 0).CoefBlue(cam), 1e-12);
  EXPECT_NEAR(WBTemp(4000, 10).CoefRed(cam) * 1.21, WBTemp(4000, 0).CoefRed(cam), 1e-12);
}

TEST(WhiteBalance, TemperatureNeverDividesByZero) {
  // A set lying on the model's pole (d + ln(red / blue) = 0) has temperature 0.
  TemperatureModel m;
  m.d = 0;
  m.e = 5000;
  EXPECT_EQ(TemperatureOf(m, 1.5, 1.5), 0);
  EXPECT_EQ(TemperatureOf(m, 0, 1.5), 0);
  EXPECT_EQ(TemperatureOf(m, 1.5, 0), 0);
  // No model (no RIF block): every temperature 0 and a temperature preset stays neutral.
  MrwLayout s;
  s.rif = false;
  const CameraWb cam = CamFrom(s);
  EXPECT_EQ(WBCamera(0).Temperature(cam), 0);
  EXPECT_EQ(WBTemp(5000, 0).Coefficients(cam), (std::array<double, 4>{1, 1, 1, 1}));
  // Nor does a temperature of 0 K or below reach the model.
  const CameraWb withRif = CamFrom(MrwLayout{});
  for (int t : {0, -100}) {
    const auto c = WBTemp(t, 0).Coefficients(withRif);
    for (double v : c) EXPECT_TRUE(std::isfinite(v)) << t;
  }
}

TEST(WhiteBalance, EqualityByKindAndFourDecimals) {
  EXPECT_TRUE(WBCoef(1.23456, 1, 1, 2) == WBCoef(1.23459, 1, 1, 2));
  EXPECT_FALSE(WBCoef(1.2345, 1, 1, 2) == WBCoef(1.2346, 1, 1, 2));
  EXPECT_TRUE(WBTemp(5000, 1) == WBTemp(5000, 1));
  EXPECT_TRUE(WBTemp(5000, 1).NotEquals(WBTemp(5000, 2)));
  EXPECT_TRUE(WBCamera(2) == WBCamera(2));
  EXPECT_FALSE(WBCamera(2) == WBCamera(3));
  // Different kinds never match, even when their numbers would.
  EXPECT_FALSE(WBCamera(0) == WBCoef(1, 1, 1, 1));
  EXPECT_FALSE(WBCoef(1, 1, 1, 1) == WBCamera(0));
  EXPECT_FALSE(WBTemp(0, 0) == WBCamera(0));
  const auto clone = WBTemp(3100, 4).Clone();
  EXPECT_TRUE(*clone == WBTemp(3100, 4));
  EXPECT_EQ(WBCoef::Truncated(1.99999, 0.12345, 1, 2.5).Values(), (std::array<double, 4>{1.9999, 0.1234, 1, 2.5}));
}

TEST(WhiteBalance, FourDecimalsAsWrittenAreKeptThroughEveryRead) {
  // Each coefficient a preset line can hold, read back from its own text, keeps its digits:
  // 1.0029 is a hair below 1.0029 in binary, and a plain floor made it 1.0028.
  int changed = 0;
  for (int k = 0; k <= 80000; ++k) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", k / 10000.0);
    const double v = std::strtod(text, nullptr);
    const std::string line = WBCoef::Truncated(v, 1, 1, 1).FileLine("p");
    if (line.compare(4, std::strlen(text), text) != 0) ++changed;
  }
  EXPECT_EQ(changed, 0);
  EXPECT_EQ(WBCoef::Truncated(1.00289999, 1, 1, 1).Values()[0], 1.0028) << "a value truly below is still cut";
}

TEST(WhiteBalance, Texts) {
  const CameraWb none;
  const WBTemp t(5000, 0);
  EXPECT_EQ(t.ListName(none), "Custom Temp 5000");
  EXPECT_EQ(t.SuggestedName(none), "Temp 5000");
  EXPECT_EQ(t.FileLine("Evening"), "Evening = 5000; 0\n");
  EXPECT_EQ(t.SettingsText(), "WB = Temp\nTemp = 5000\nCCIndex = 0\n");
  EXPECT_EQ(WBCoef(1.9, 1, 1, 1.4).FileLine("Lamp"), "Lamp = 1.9000; 1.0000; 1.0000; 1.4000\n");
  EXPECT_EQ(WBCoef(1.9, 1, 1, 1.4).SettingsText(), "WB = Coef\nCoefR = 1.9\nCoefG1= 1\nCoefG2= 1\nCoefB = 1.4\n");
  EXPECT_EQ(WBCamera::FromName("DAYLIGHT").CameraPreset(), 2);
  EXPECT_EQ(WBCamera::FromName("CameraSetting").CameraPreset(), 0);
  EXPECT_EQ(WBCamera::FromName("flash").CameraPreset(), 5);
  EXPECT_EQ(WBCamera(4).ListName(none), "Fluorescent (raw)");
  EXPECT_EQ(WBCamera(9).ListName(none), "Unnamed (raw)");
  EXPECT_EQ(WBCamera(0).ListName(none), "Camera Setting");
  EXPECT_EQ(WBCamera(6).SettingsText(), "WB = Camera\nCamera = Unknown\n");
  EXPECT_EQ(WBCamera(1).FileLine("x"), "");
  EXPECT_EQ(WBCamera(1).InfoText(none),
            "WB = Camera\nCamera = Tungsten\nCoef R = 1\nCoef G1= 1\nCoef G2= 1\nCoef B = 1\n");
  EXPECT_FALSE(WBCamera(1).IsUserDefined());
  EXPECT_TRUE(t.IsUserDefined());
}

// The shot's white balance as the camera names it, from either settings table, in the camera
// setting's list name and suggestion.
TEST(WhiteBalance, TheCamerasOwnNameForTheShot) {
  MrwLayout s;
  s.cameraSettings.assign(57, 0);
  for (const auto& [value, name] : std::vector<std::pair<std::uint32_t, std::string>>{
           {0, "auto"}, {1, "daylight"}, {2, "cloudy"}, {3, "tungsten"}, {5, "custom 1"}, {7, "fluorescent"},
           {8, "fluorescent 2"}, {11, "custom 2"}, {12, "custom 3"}, {4, "unknown"}, {99, "unknown"}}) {
    s.cameraSettings[3] = value;
    const CameraWb cam = CamFrom(s);
    EXPECT_EQ(cam.shotSettingName, name) << value;
    EXPECT_EQ(WBCamera(0).ListName(cam), "Camera Setting (" + name + ")");
    EXPECT_EQ(WBCamera(0).SuggestedName(cam), name);
  }
  // The older tag and the short table (widened after value 51) keep value 3 where it was.
  s.settingsTag = 1;
  s.cameraSettings.assign(56, 0);
  s.cameraSettings[3] = 2;
  EXPECT_EQ(CamFrom(s).shotSettingName, "cloudy");

  // The 7D's newer table has its own numbering; other models do not read it.
  MrwLayout d7;
  d7.version = "21810002";
  for (const auto& [value, name] : std::vector<std::pair<std::uint16_t, std::string>>{
           {0, "auto"}, {1, "daylight"}, {2, "shade"}, {3, "cloudy"}, {4, "tungsten"}, {5, "fluorescent"},
           {0x100, "unknown"}}) {
    d7.newSettingsWb = value;
    EXPECT_EQ(CamFrom(d7).shotSettingName, name) << value;
  }
  MrwLayout a1;
  a1.newSettingsWb = 2;
  const CameraWb noTable = CamFrom(a1);
  EXPECT_EQ(noTable.shotSettingName, "error");  // the maker note lacks the table
  EXPECT_EQ(WBCamera(0).ListName(noTable), "Camera Setting (error)");
  EXPECT_EQ(WBCamera(0).ListName(CameraWb{}), "Camera Setting");
}

}  // namespace
}  // namespace tessaro::testing
