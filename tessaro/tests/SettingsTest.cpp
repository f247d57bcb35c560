// The conversion settings record: defaults, copies, the log record and the scripting keys.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tessaro/ConversionSettings.h"

namespace tessaro {
namespace {

TEST(Settings, ResetGivesTheBuiltInDefaults) {
  ConversionSettings s;
  s.Interpolation = 3;
  s.PreciseGamma = 1;
  s.HighlightsFix = false;
  s.ColorDepth = kDepth48;
  s.SetWB(WBTemp(5000, 3));
  s.name = "x";
  s.Reset();
  EXPECT_EQ(s.name, "Unnamed");
  EXPECT_EQ(s.GetWB().GetKind(), CWB::kCamera);
  EXPECT_EQ(s.GetWB().CameraPreset(), 0);
  EXPECT_EQ(s.Exposure, 0);
  EXPECT_EQ(s.Saturation, 0);
  EXPECT_EQ(s.Contrast, kTonePrecise);
  EXPECT_EQ(s.DIVUContrast, 0);
  EXPECT_EQ(s.PreciseContrast, 50);
  EXPECT_EQ(s.PreciseGamma, 2.64);
  EXPECT_EQ(s.Shadows, 0);
  EXPECT_EQ(s.Highlights, 100);
  EXPECT_EQ(s.Interpolation, 12);
  EXPECT_FALSE(s.Is48Bit());
  EXPECT_EQ(s.ColorSpace, kSpaceCamera);
  EXPECT_FALSE(s.ExtraSize);
  EXPECT_FALSE(s.ClipValues);
  EXPECT_TRUE(s.HighlightsFix);
  EXPECT_FALSE(s.ConvertToMonitor);
}

TEST(Settings, CopyFromAPresetClonesTheWhiteBalance) {
  ConversionSettings preset;
  preset.name = "default";
  preset.SetWB(WBCoef(1.5, 1, 1, 2));
  preset.Exposure = 0.5;
  preset.Interpolation = 7;
  preset.ConvertToMonitor = true;
  ConversionSettings s;
  s.CopyFrom(preset);
  EXPECT_EQ(s.name, "default");
  EXPECT_EQ(s.Exposure, 0.5);
  EXPECT_EQ(s.Interpolation, 7);
  EXPECT_TRUE(s.ConvertToMonitor);
  ASSERT_NE(s.WB.get(), preset.WB.get());
  EXPECT_TRUE(s.GetWB() == preset.GetWB());
  preset.SetWB(WBTemp(3000, 0));
  EXPECT_EQ(s.GetWB().GetKind(), CWB::kCoef);

  ConversionSettings t = s;  // copies deep as well
  s.SetWB(WBCamera(2));
  EXPECT_EQ(t.GetWB().GetKind(), CWB::kCoef);
  // A record whose white balance was moved away still answers.
  ConversionSettings moved = std::move(t);
  EXPECT_EQ(t.GetWB().GetKind(), CWB::kCamera);
}

TEST(Settings, LogRecordListsTheFieldsInOrder) {
  ConversionSettings s;
  s.ConvertToMonitor = true;
  EXPECT_EQ(s.LogText(),
            "Exposure = 0\nSaturation = 0\nContrast = Precise\nPreciseContrast = 50\nPreciseGamma = 2.64\n"
            "Shadows = 0\nHighlights = 100\nDIVUContrast = 0\nInterpolation = Color Correction I\n"
            "ColorDepth = 24 bits\nColorSpace = Based on camera\nExtraSize = off\nClipValues = off\n"
            "HighlightsFix = on\nConvertToMonitorColorSpace = on\n");
  s.Interpolation = 40;
  s.ColorSpace = 9;
  s.Contrast = 7;
  const std::string t = s.LogText();
  EXPECT_NE(t.find("Interpolation = Unknown value !!!\n"), std::string::npos);
  EXPECT_NE(t.find("ColorSpace = Unknown value !!!\n"), std::string::npos);
  EXPECT_NE(t.find("Contrast = Unknown value !!!\n"), std::string::npos);
}

TEST(Settings, NamesOfModesSpacesAndDepths) {
  EXPECT_STREQ(ToneModeName(1), "DIVU \xB1" "3");
  EXPECT_STREQ(ToneModeName(2), "DIVU \xB1" "5");
  EXPECT_EQ(ToneModeName(3), nullptr);
  EXPECT_STREQ(DepthName(1), "48 bits");
  EXPECT_STREQ(DepthName(0), "24 bits");
  EXPECT_STREQ(DepthName(2), "24 bits");
  EXPECT_STREQ(ColorSpaceName(3), "7i / 7Hi");
  EXPECT_STREQ(ColorSpaceLogName(1), "none");
  EXPECT_STREQ(ColorSpaceLogName(7), "DiMAGE 7D");
  EXPECT_EQ(ColorSpaceName(8), nullptr);
  EXPECT_STREQ(MethodName(15), "Variable Number of Gradients (T.Vandro)");
}

std::uint32_t Code(const char* c) {
  return (std::uint32_t(std::uint8_t(c[0])) << 24) | (std::uint32_t(std::uint8_t(c[1])) << 16) |
         (std::uint32_t(std::uint8_t(c[2])) << 8) | std::uint8_t(c[3]);
}

std::set<std::uint32_t> WrittenKeys(const ConversionSettings& s) {
  std::set<std::uint32_t> keys;
  for (const ScriptKey& k : ScriptKeys())
    if (IsWritten(k, s)) keys.insert(k.key);
  return keys;
}

TEST(Scripting, KeysWrittenFollowTheModes) {
  ConversionSettings s;
  s.SetWB(WBTemp(5000, 2));
  auto k = WrittenKeys(s);
  EXPECT_TRUE(k.count(FourCC("temp")) && k.count(FourCC("ccin")));
  EXPECT_FALSE(k.count(FourCC("wbr1")) || k.count(FourCC("wbg1")) || k.count(FourCC("wbg2")) ||
               k.count(FourCC("wbb1")) || k.count(FourCC("wbca")));
  EXPECT_TRUE(k.count(FourCC("prco")) && k.count(FourCC("high")));
  EXPECT_FALSE(k.count(FourCC("dico")) || k.count(FourCC("d5co")));

  s.SetWB(WBCoef(1, 1, 1, 1));
  s.Contrast = kToneDivu5;
  k = WrittenKeys(s);
  EXPECT_TRUE(k.count(FourCC("wbr1")) && k.count(FourCC("wbb1")));
  EXPECT_FALSE(k.count(FourCC("temp")));
  EXPECT_TRUE(k.count(FourCC("d5co")));
  EXPECT_FALSE(k.count(FourCC("dico")) || k.count(FourCC("shad")));

  s.SetWB(WBCamera(3));
  s.Contrast = kToneDivu3;
  k = WrittenKeys(s);
  EXPECT_TRUE(k.count(FourCC("wbca")) && k.count(FourCC("dico")));
  for (const char* always : {"wbal", "expo", "satu", "cont", "inte", "exsi", "code", "cosp", "clip", "hifx", "como",
                             "atpr"})
    EXPECT_TRUE(k.count(Code(always))) << always;
}

TEST(Scripting, TableIsCompleteAndOrdered) {
  const auto keys = ScriptKeys();
  ASSERT_EQ(keys.size(), 25u);
  EXPECT_EQ(keys.front().key, FourCC("wbal"));
  EXPECT_EQ(keys.back().key, FourCC("atpr"));
  std::set<std::uint32_t> seen;
  for (const ScriptKey& k : keys) {
    EXPECT_TRUE(seen.insert(k.key).second);
    if (k.type == ScriptType::kEnumerated) {
      EXPECT_NE(FindScriptEnum(k.enumType), nullptr) << k.name;
    }
  }
  EXPECT_STREQ(FindScriptKey(FourCC("clip"))->name, "Clip Values > 3965");
  EXPECT_EQ(FindScriptKey(FourCC("zzzz")), nullptr);
}

TEST(Scripting, EnumerationsAndTheirFallbacks) {
  EXPECT_EQ(ScriptEnumCode(FourCC("enin"), 12), FourCC("icc1"));
  EXPECT_EQ(ScriptEnumCode(FourCC("enin"), 17), FourCC("inon"));
  EXPECT_EQ(ScriptEnumCode(FourCC("encs"), 6), FourCC("eSA0"));
  EXPECT_EQ(ScriptEnumCode(FourCC("encs"), -1), FourCC("eSde"));
  EXPECT_EQ(ScriptEnumCode(FourCC("enwc"), -1), FourCC("eWBn"));
  EXPECT_EQ(ScriptEnumCode(FourCC("enwc"), 9), FourCC("eWB0"));
  EXPECT_EQ(ScriptEnumCode(FourCC("enco"), 5), FourCC("eCPr"));
  EXPECT_EQ(ScriptEnumCode(FourCC("encd"), 0), FourCC("eD24"));
  EXPECT_EQ(ScriptEnumCode(FourCC("encd"), 3), FourCC("eD24"));
  EXPECT_EQ(ScriptEnumCode(FourCC("enwb"), 7), FourCC("eWBc"));
  EXPECT_EQ(ScriptEnumFieldValue(FourCC("enwb"), FourCC("eWBt")), CWB::kTemp);
  EXPECT_EQ(ScriptEnumFieldValue(FourCC("encd"), FourCC("eD48")), kDepth48);
  EXPECT_FALSE(ScriptEnumFieldValue(FourCC("enin"), FourCC("ixxx")).has_value());
  for (int m = 0; m < kMethodCount; ++m)
    EXPECT_EQ(ScriptEnumFieldValue(FourCC("enin"), ScriptEnumCode(FourCC("enin"), m)), m);
}

}  // namespace
}  // namespace tessaro
