// The block container and the TIFF stream of the TTW block.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "TestFiles.h"

namespace tessaro::testing {
namespace {

void PutBe32At(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

TEST(Container, ReadsPrdGeometryAndModel) {
  MrwLayout s;
  s.width = 20;
  s.height = 10;
  s.imageWidth = 18;
  s.imageHeight = 8;
  auto f = FromLayout(s);
  ASSERT_TRUE(f->Open()) << f->Error();
  EXPECT_EQ(f->SensorWidth(), 20u);
  EXPECT_EQ(f->SensorHeight(), 10u);
  EXPECT_EQ(f->ImageWidth(), 18u);
  EXPECT_EQ(f->ImageHeight(), 8u);
  EXPECT_TRUE(f->IsPacked());
  EXPECT_EQ(f->GetModelCode(), 6);
  EXPECT_EQ(f->GetColorGroup(), 3);
  EXPECT_EQ(f->Version(), "27820001");
}

TEST(Container, ModelTableAndUnknownVersion) {
  const struct {
    const char* version;
    int code, group;
  } rows[] = {{"27730001", 1, 1}, {"27660001", 2, 1}, {"27790001", 4, 2}, {"27780001", 5, 2}, {"27820001", 6, 3},
              {"27200001", 7, 4}, {"27470002", 9, 5}, {"21810002", 8, 6}, {"27820002", 0, 0}, {"00000000", 0, 0}};
  for (const auto& r : rows) {
    MrwLayout s;
    s.version = r.version;
    auto f = FromLayout(s);
    ASSERT_TRUE(f->Open()) << r.version;
    EXPECT_EQ(f->GetModelCode(), r.code) << r.version;
    EXPECT_EQ(f->GetColorGroup(), r.group) << r.version;
  }
}

TEST(Container, Model2BecomesModel3WithALongSettingsTable) {
  for (const std::size_t n : {39u, 40u}) {
    MrwLayout s;
    s.version = "27660001";
    s.cameraSettings.assign(n, 1);
    auto f = FromLayout(s);
    ASSERT_TRUE(f->Open());
    EXPECT_EQ(f->GetModelCode(), n > 39 ? 3 : 2) << n;
    EXPECT_EQ(f->GetColorGroup(), 1);
  }
}

TEST(Container, AFailedOpenStaysFailed) {
  MrwLayout s;
  s.prdLength = 23;
  auto f = FromLayout(s);
  EXPECT_FALSE(f->Open());
  EXPECT_FALSE(f->Open());
  EXPECT_FALSE(f->IsOpen());
  EXPECT_FALSE(f->LoadPlane());
  EXPECT_EQ(f->GetThumbnail(), nullptr);
}

TEST(Container, RefusesBadSignaturesAndShortBlocks) {
  auto bytes = WriteMrw(MrwLayout{}).bytes;
  for (std::size_t i = 0; i < 4; ++i) {
    auto b = bytes;
    b[i] ^= 0x20;
    auto f = FromBytes(b);
    EXPECT_FALSE(f->Open());
    EXPECT_FALSE(f->Error().empty());
  }
  MrwLayout s;
  s.prdLength = 23;
  auto f = FromLayout(s);
  EXPECT_FALSE(f->Open());
  EXPECT_NE(f->Error().find("PRD"), std::string::npos);

  auto b = bytes;
  b[8] = 1;  // the first block header must begin with a zero byte
  EXPECT_FALSE(FromBytes(b)->Open());
}

TEST(Container, BlockLengthsAreCheckedAgainstTheBlockAreaAndFile) {
  const MrwFile file = WriteMrw(MrwLayout{});
  // TTW's length field is the four bytes before its data.
  for (const std::uint32_t n : {0xFFFFFFF0u, static_cast<std::uint32_t>(file.bytes.size()), 7u}) {
    auto b = file.bytes;
    PutBe32At(b, file.ttwData - 4, n);
    auto f = FromBytes(b);
    EXPECT_FALSE(f->Open()) << n;
  }
  auto b = file.bytes;
  PutBe32At(b, 4, 0xFFFFFFF0u);  // a block area longer than the file
  EXPECT_FALSE(FromBytes(b)->Open());
}

TEST(Container, SkipsUnknownBlocksByTheirLength) {
  MrwLayout s;
  s.wbgGain = {256, 64, 64, 128};
  s.extraBlocks.push_back({"ZZZ", std::vector<std::uint8_t>(13, 0xFF)});
  s.extraBlocks.push_back({"QQQ", {}});
  // The writer puts them right after PRD: TTW, WBG and RIF must still be found after them.
  auto f = FromLayout(s);
  ASSERT_TRUE(f->Open()) << f->Error();
  EXPECT_TRUE(f->HasWbg());
  EXPECT_DOUBLE_EQ(f->WbCoefficient(0, kWbRed), 4.0);
  EXPECT_TRUE(f->HasRif());
  EXPECT_EQ(f->Model(), "DiMAGE A1");
}

TEST(Container, WhiteBalancePresets) {
  MrwLayout s;
  s.wbgScale = {1, 0, 0, 2};
  s.wbgGain = {256, 64, 96, 512};
  auto f = FromLayout(s);
  for (int c = 0; c < 4; ++c) EXPECT_EQ(f->WbCoefficient(0, c), 1.0) << "before parse";
  ASSERT_TRUE(f->Open());
  EXPECT_DOUBLE_EQ(f->WbCoefficient(0, kWbRed), 256.0 / 128);
  EXPECT_DOUBLE_EQ(f->WbCoefficient(0, kWbGreen1), 1.0);
  EXPECT_DOUBLE_EQ(f->WbCoefficient(0, kWbGreen2), 1.5);
  EXPECT_DOUBLE_EQ(f->WbCoefficient(0, kWbBlue), 2.0);
  for (int p = 1; p <= 6; ++p) {
    EXPECT_DOUBLE_EQ(f->WbCoefficient(p, kWbRed), s.rifValues[2 * (p - 1)] / 128.0) << p;
    EXPECT_DOUBLE_EQ(f->WbCoefficient(p, kWbBlue), s.rifValues[2 * (p - 1) + 1] / 256.0) << p;
    EXPECT_EQ(f->WbCoefficient(p, kWbGreen1), 1.0);
    EXPECT_EQ(f->WbCoefficient(p, kWbGreen2), 1.0);
  }
  EXPECT_EQ(f->WbCoefficient(7, kWbRed), 1.0);
  EXPECT_EQ(f->WbCoefficient(-1, kWbBlue), 1.0);
  for (int i = 0; i < 12; ++i) EXPECT_DOUBLE_EQ(f->RifValue(i), s.rifValues[12 + i] / 256.0);
}

TEST(Container, FurtherRifValuesAreSigned) {
  // Colour-difference coefficients are stored as signed 16-bit numbers: -0.171875 as -44.
  MrwLayout s;
  s.rifValues[12 + 2] = 0xFFD4;
  s.rifValues[12 + 5] = 0x8000;
  s.rifValues[12 + 6] = 0x7FFF;
  auto f = FromLayout(s);
  ASSERT_TRUE(f->Open()) << f->Error();
  EXPECT_DOUBLE_EQ(f->RifValue(2), -0.171875);
  EXPECT_DOUBLE_EQ(f->RifValue(5), -128.0);
  EXPECT_DOUBLE_EQ(f->RifValue(6), 32767 / 256.0);
  // The preset gains before them stay unsigned.
  s.rifValues[0] = 0xFFD4;
  auto g = FromLayout(s);
  ASSERT_TRUE(g->Open());
  EXPECT_DOUBLE_EQ(g->WbCoefficient(1, kWbRed), 0xFFD4 / 64.0);
}

TEST(Container, WhiteBalanceWithoutBlocksAndWithHugeScales) {
  MrwLayout s;
  s.wbg = s.rif = false;
  auto f = FromLayout(s);
  ASSERT_TRUE(f->Open());
  for (int p = 0; p < 7; ++p)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(f->WbCoefficient(p, c), 1.0);
  EXPECT_EQ(f->RifValue(0), 0.0);

  // Only the low five bits of a scale count, and a shift of 31 must not overflow.
  MrwLayout h;
  h.wbgScale = {31, 32 + 1, 255, 0};
  h.wbgGain = {1, 128, 65535, 64};
  auto g = FromLayout(h);
  ASSERT_TRUE(g->Open());
  EXPECT_DOUBLE_EQ(g->WbCoefficient(0, kWbRed), 1.0 / (64.0 * 2147483648.0));
  EXPECT_DOUBLE_EQ(g->WbCoefficient(0, kWbGreen1), 1.0);
  EXPECT_DOUBLE_EQ(g->WbCoefficient(0, kWbGreen2), 65535.0 / (64.0 * 2147483648.0));
}

TEST(Container, Pattern4ExchangesWbgEntriesAtPlaneLoad) {
  MrwLayout s;
  s.bayerPattern = 4;
  s.wbgScale = {1, 0, 0, 0};
  s.wbgGain = {64, 128, 256, 512};
  auto f = FromLayout(s);
  ASSERT_TRUE(f->Open());
  EXPECT_EQ(f->GetBayerOrder(), 1);
  // File order before the load.
  EXPECT_DOUBLE_EQ(f->WbCoefficient(0, kWbRed), 0.5);
  EXPECT_DOUBLE_EQ(f->WbCoefficient(0, kWbGreen1), 2.0);
  EXPECT_DOUBLE_EQ(f->WbCoefficient(0, kWbGreen2), 4.0);
  EXPECT_DOUBLE_EQ(f->WbCoefficient(0, kWbBlue), 8.0);
  EXPECT_DOUBLE_EQ(f->WbCoefficient(1, kWbRed), s.rifValues[0] / 128.0);
  ASSERT_TRUE(f->LoadPlane());
  ASSERT_TRUE(f->LoadPlane());  // a second request must not exchange again
  EXPECT_DOUBLE_EQ(f->WbCoefficient(0, kWbRed), 4.0);
  EXPECT_DOUBLE_EQ(f->WbCoefficient(0, kWbGreen1), 8.0);
  EXPECT_DOUBLE_EQ(f->WbCoefficient(0, kWbGreen2), 0.5);
  EXPECT_DOUBLE_EQ(f->WbCoefficient(0, kWbBlue), 2.0);
  EXPECT_DOUBLE_EQ(f->WbCoefficient(1, kWbRed), s.rifValues[0] / 64.0);  // with the exchanged scale
  EXPECT_EQ(f->GetBayerOrder(), 1);

  s.bayerPattern = 1;  // other patterns keep the file order
  auto g = FromLayout(s);
  ASSERT_TRUE(g->Open());
  ASSERT_TRUE(g->LoadPlane());
  EXPECT_EQ(g->GetBayerOrder(), 0);
  EXPECT_DOUBLE_EQ(g->WbCoefficient(0, kWbRed), 0.5);
}

// The model is anchored so that the tungsten preset reads as 2800 K and daylight as 5500 K.
TEST(Container, TemperatureModelMeetsItsAnchors) {
  MrwLayout s;
  s.wbgScale = {2, 0, 0, 2};
  auto f = FromLayout(s);
  ASSERT_TRUE(f->Open());
  const TemperatureModel t = f->GetTemperatureModel();
  const auto kelvin = [&](int preset) {
    return t.e / (t.d + std::log(f->WbCoefficient(preset, kWbRed) / f->WbCoefficient(preset, kWbBlue)));
  };
  EXPECT_NEAR(kelvin(1), 2800, 1e-6);
  EXPECT_NEAR(kelvin(2), 5500, 1e-6);

  s.rifValues[3] = 0;  // a missing gain gives no model
  auto z = FromLayout(s);
  ASSERT_TRUE(z->Open());
  EXPECT_EQ(z->GetTemperatureModel().d, 0.0);
  EXPECT_EQ(z->GetTemperatureModel().e, 0.0);
}

class ByteOrder : public ::testing::TestWithParam<bool> {};

TEST_P(ByteOrder, ReadsTheTiffTags) {
  MrwLayout s;
  s.bigEndian = GetParam();
  s.orientation = 8;
  s.model = "DiMAGE A1";
  s.software = "Ver1.02u";
  s.subjectArea = std::array<std::uint16_t, 4>{10, 20, 300, 400};
  s.userComment = {'h', 'i', 0, 7, 8};
  s.cameraSettings = {0x01020304u, 5u, 0xFFFFFFFFu};
  auto f = FromLayout(s);
  ASSERT_TRUE(f->Open()) << f->Error();
  EXPECT_EQ(f->Orientation(), 8);
  EXPECT_EQ(f->Model(), "DiMAGE A1");
  EXPECT_EQ(f->Software(), "Ver1.02u");
  ASSERT_TRUE(f->GetSubjectArea());
  EXPECT_EQ(*f->GetSubjectArea(), (SubjectArea{10, 20, 300, 400}));
  EXPECT_EQ(f->UserComment(), s.userComment);
  EXPECT_EQ(f->CameraSettings(), s.cameraSettings);
  ASSERT_TRUE(f->DateTimeDigitisedOffset());
  EXPECT_EQ(std::memcmp(f->TtwBlock().data() + *f->DateTimeDigitisedOffset(), "2004:05:06 07:08:09", 20), 0);
}

TEST_P(ByteOrder, SetOrientationWritesIntoTheBlock) {
  MrwLayout s;
  s.bigEndian = GetParam();
  s.orientation = 1;
  const MrwFile file = WriteMrw(s);
  auto f = FromBytes(file.bytes);
  ASSERT_TRUE(f->Open());
  ASSERT_TRUE(f->SetOrientation(6));
  EXPECT_FALSE(f->SetOrientation(0));
  EXPECT_FALSE(f->SetOrientation(9));
  EXPECT_EQ(f->Orientation(), 6);

  // Parsing the changed block again must find the new value.
  auto b = file.bytes;
  std::copy(f->TtwBlock().begin(), f->TtwBlock().end(), b.begin() + static_cast<std::ptrdiff_t>(file.ttwData));
  auto g = FromBytes(b);
  ASSERT_TRUE(g->Open());
  EXPECT_EQ(g->Orientation(), 6);
  // Only the two bytes of the value changed.
  int changed = 0;
  for (std::size_t i = 0; i < b.size(); ++i) changed += b[i] != file.bytes[i];
  EXPECT_EQ(changed, 1);
}

INSTANTIATE_TEST_SUITE_P(Tiff, ByteOrder, ::testing::Values(true, false),
                         [](const auto& p) { return p.param ? "MM" : "II"; });

TEST(Container, DateTimeDigitisedIsOverwrittenInPlace) {
  auto f = FromLayout(MrwLayout{});
  ASSERT_TRUE(f->Open());
  const std::size_t at = *f->DateTimeDigitisedOffset();
  ASSERT_TRUE(f->SetDateTimeDigitised("2024:01:02 03:04:05 and more"));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(f->TtwBlock().data() + at)), "2024:01:02 03:04:05");
  MrwLayout none;
  none.dateTime.clear();
  auto g = FromLayout(none);
  ASSERT_TRUE(g->Open());
  EXPECT_FALSE(g->DateTimeDigitisedOffset());
  EXPECT_FALSE(g->SetDateTimeDigitised("2024:01:02 03:04:05"));
}

TEST(Container, NoTtwBlockStillOpens) {
  MrwLayout s;
  s.ttw = false;
  auto f = FromLayout(s);
  ASSERT_TRUE(f->Open()) << f->Error();
  EXPECT_EQ(f->Orientation(), 1);
  EXPECT_TRUE(f->TtwBlock().empty());
  EXPECT_FALSE(f->SetDateTimeDigitised("x"));
  EXPECT_TRUE(f->SetOrientation(3));
}

TEST(Container, SettingsTableWidening) {
  MrwLayout s;
  s.cameraSettings.resize(56);
  for (std::uint32_t i = 0; i < 56; ++i) s.cameraSettings[i] = 1000 + i;
  for (const std::uint16_t tag : {std::uint16_t{1}, std::uint16_t{3}}) {
    s.settingsTag = tag;
    auto f = FromLayout(s);
    ASSERT_TRUE(f->Open());
    const auto& v = f->CameraSettings();
    ASSERT_EQ(v.size(), 57u);
    EXPECT_EQ(v[50], 1050u);
    EXPECT_EQ(v[51], 0u);
    EXPECT_EQ(v[52], 1051u);
    EXPECT_EQ(v[56], 1055u);
  }
  s.cameraSettings.resize(57);
  auto g = FromLayout(s);
  ASSERT_TRUE(g->Open());
  EXPECT_EQ(g->CameraSettings()[51], 1051u);
}

TEST(Container, NewerSettingsSetTheOrientationOnlyWhenStillUpright) {
  const struct {
    std::optional<std::uint16_t> exif;
    std::uint16_t sensor;
    int expected;
  } rows[] = {{1, 76, 6}, {1, 82, 8}, {std::nullopt, 76, 6}, {1, 77, 1}, {3, 76, 3}};
  for (const auto& r : rows) {
    MrwLayout s;
    s.orientation = r.exif;
    s.newSettingsRotation = r.sensor;
    auto f = FromLayout(s);
    ASSERT_TRUE(f->Open());
    EXPECT_EQ(f->Orientation(), r.expected) << r.sensor;
  }
}

TEST(Container, SubjectAreaFromTheFocusSettings) {
  const struct {
    const char* version;
    std::uint32_t m, s, f;
    std::optional<SubjectArea> expected;
  } rows[] = {
      {"27820001", 0, 0, 1, SubjectArea{960, 576, 320, 192}},
      {"27200001", 0, 9, 11, SubjectArea{1280, 1344, 320, 192}},
      {"27820001", 0, 0, 12, SubjectArea{1280, 960, 2560, 1920}},
      {"27820001", 1, 0, 0, SubjectArea{1280, 960, 2560, 1920}},
      {"27200001", 1, 0, 0, SubjectArea{1632, 1224, 3264, 2448}},
      {"27200001", 1, 1, 0, SubjectArea{1, 2, 3, 4}},   // no row: the EXIF value stays
      {"27790001", 0, 0, 1, SubjectArea{1, 2, 3, 4}},   // other cameras: the EXIF value stays
  };
  for (const auto& r : rows) {
    MrwLayout s;
    s.version = r.version;
    s.subjectArea = std::array<std::uint16_t, 4>{1, 2, 3, 4};
    s.cameraSettings.assign(57, 0);
    s.cameraSettings[47] = r.f;
    s.cameraSettings[48] = r.s;
    s.cameraSettings[49] = r.m;
    auto f = FromLayout(s);
    ASSERT_TRUE(f->Open());
    EXPECT_EQ(f->GetSubjectArea(), r.expected) << r.version << " m" << r.m << " s" << r.s << " f" << r.f;
  }
  MrwLayout few;  // too short a table to hold the focus values
  few.cameraSettings.assign(49, 0);
  auto f = FromLayout(few);
  ASSERT_TRUE(f->Open());
  EXPECT_FALSE(f->GetSubjectArea());
}

TEST(Container, LoopingIfdChainEnds) {
  MrwLayout s;
  s.chainLoop = true;
  s.orientation = 3;
  auto f = FromLayout(s);
  ASSERT_TRUE(f->Open()) << f->Error();
  EXPECT_EQ(f->Orientation(), 3);
  EXPECT_TRUE(f->DateTimeDigitisedOffset());  // the EXIF IFD is still read after the loop
}

TEST(Container, BadTiffStreams) {
  const MrwFile file = WriteMrw(MrwLayout{});
  const std::size_t t = file.ttwData;
  auto reject = [&](std::size_t at, std::uint8_t value) {
    auto b = file.bytes;
    b[at] = value;
    auto f = FromBytes(b);
    EXPECT_FALSE(f->Open()) << "byte " << at << " = " << int(value);
    EXPECT_FALSE(f->Error().empty());
  };
  reject(t, 'X');          // neither II nor MM
  reject(t + 3, 43);       // not 42
  reject(t + 4, 0x7F);     // IFD0 past the block
  reject(t + 8, 0x7F);     // IFD0 claims thousands of entries
  // A value offset past the block: the Model tag's (first entry of IFD0, ASCII > 4 bytes).
  reject(t + 10 + 8, 0x7F);
}

TEST(Container, IgnoresTagsOfAnotherTypeOrCount) {
  const MrwFile file = WriteMrw(MrwLayout{});
  auto b = file.bytes;
  // IFD0's second entry is the orientation SHORT; make it a LONG.
  const std::size_t entry = file.ttwData + 10 + 12;
  ASSERT_EQ(b[entry + 1], 274 & 0xFF);
  b[entry + 3] = 4;
  auto f = FromBytes(b);
  ASSERT_TRUE(f->Open());
  EXPECT_EQ(f->Orientation(), 1);
  EXPECT_TRUE(f->SetOrientation(6));  // with no place in the block, nothing is written
  EXPECT_TRUE(std::equal(f->TtwBlock().begin(), f->TtwBlock().end(), b.begin() + static_cast<std::ptrdiff_t>(file.ttwData)));
}

// Every prefix of a file fails cleanly: either at the open or at the plane load.
TEST(Container, TruncatedFilesFailCleanly) {
  MrwLayout s;
  s.cameraSettings.assign(57, 3);
  s.thumbnailJpeg = EncodeJpeg(QuadrantImage(16, 16), 80);
  const MrwFile file = WriteMrw(s);
  for (std::size_t cut = 0; cut < file.bytes.size(); ++cut) {
    auto f = FromBytes(std::vector<std::uint8_t>(file.bytes.begin(), file.bytes.begin() + static_cast<std::ptrdiff_t>(cut)));
    const bool opened = f->Open();
    EXPECT_EQ(opened, cut >= file.rawData) << cut;
    if (opened) {
      EXPECT_FALSE(f->LoadPlane()) << cut;
      EXPECT_FALSE(f->HasPlane());
      EXPECT_NE(f->GetThumbnail(), nullptr);
    }
    EXPECT_FALSE(f->Error().empty()) << cut;
  }
}

// Damaged bytes anywhere must never crash; the sanitizer builds check the memory side.
TEST(Container, GarbledFilesNeverCrash) {
  MrwLayout s;
  s.bigEndian = false;
  s.cameraSettings.assign(57, 3);
  s.newSettingsRotation = 76;
  s.thumbnailJpeg = EncodeJpeg(QuadrantImage(16, 16), 80);
  const MrwFile file = WriteMrw(s);
  std::uint32_t state = 12345;
  auto next = [&] { return state = state * 1664525u + 1013904223u; };
  for (int round = 0; round < 3000; ++round) {
    auto b = file.bytes;
    const int flips = 1 + static_cast<int>(next() % 4);
    for (int i = 0; i < flips; ++i) b[(next() >> 4) % file.rawData] = static_cast<std::uint8_t>(next() >> 24);
    auto f = FromBytes(b);
    if (!f->Open()) {
      EXPECT_FALSE(f->Error().empty());
      continue;
    }
    (void)f->GetThumbnail();
    (void)f->LoadPlane();
    f->SetOrientation(8);
  }
}

}  // namespace
}  // namespace tessaro::testing
