// The embedded JPEG thumbnail: decoding, turning and the gains of the first cameras.

#include <gtest/gtest.h>

#include <cstdlib>

#include "TestFiles.h"

namespace tessaro::testing {
namespace {

// The colour at the centre of the quadrant that holds (fx, fy) in fractions of the size.
std::array<int, 3> At(const Thumbnail& t, double fx, double fy) {
  const auto x = static_cast<std::uint32_t>(fx * t.width), y = static_cast<std::uint32_t>(fy * t.height);
  const std::uint8_t* p = t.rgb.data() + (std::size_t{y} * t.width + x) * 3;
  return {p[0], p[1], p[2]};
}

bool Near(std::array<int, 3> a, std::array<int, 3> b, int tolerance = 24) {
  for (int i = 0; i < 3; ++i)
    if (std::abs(a[i] - b[i]) > tolerance) return false;
  return true;
}

const std::array<int, 3> kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255};

TEST(Thumbnail, DecodesInBothPlaces) {
  for (const bool undefinedTag : {true, false}) {
    MrwLayout s;
    s.thumbnailJpeg = EncodeJpeg(QuadrantImage(32, 16));
    s.thumbnailAsUndefined = undefinedTag;
    auto f = FromLayout(s);
    ASSERT_TRUE(f->Open()) << f->Error();
    ASSERT_TRUE(f->HasThumbnail());
    const Thumbnail* t = f->GetThumbnail();
    ASSERT_NE(t, nullptr) << f->Error();
    EXPECT_EQ(t->width, 32u);
    EXPECT_EQ(t->height, 16u);
    EXPECT_TRUE(Near(At(*t, 0.25, 0.25), kRed));
    EXPECT_TRUE(Near(At(*t, 0.75, 0.25), kGreen));
    EXPECT_TRUE(Near(At(*t, 0.75, 0.75), kBlue));
    EXPECT_TRUE(Near(At(*t, 0.25, 0.75), kWhite));
    EXPECT_EQ(f->GetThumbnail(), t);  // decoded once
  }
}

TEST(Thumbnail, TurnedToTheCameraOrientation) {
  // Where the red top-left quadrant of the stored picture ends up, and the new size.
  const struct {
    int orientation;
    double rx, ry;
    std::uint32_t w, h;
  } rows[] = {{1, 0.25, 0.25, 32, 16}, {3, 0.75, 0.75, 32, 16}, {6, 0.75, 0.25, 16, 32}, {8, 0.25, 0.75, 16, 32}};
  for (const auto& r : rows) {
    MrwLayout s;
    s.orientation = static_cast<std::uint16_t>(r.orientation);
    s.thumbnailJpeg = EncodeJpeg(QuadrantImage(32, 16));
    auto f = FromLayout(s);
    ASSERT_TRUE(f->Open());
    const Thumbnail* t = f->GetThumbnail();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->width, r.w) << r.orientation;
    EXPECT_EQ(t->height, r.h) << r.orientation;
    EXPECT_TRUE(Near(At(*t, r.rx, r.ry), kRed)) << r.orientation;
    EXPECT_TRUE(Near(At(*t, 1 - r.rx, 1 - r.ry), kBlue)) << r.orientation;
  }
}

TEST(Thumbnail, FirstCamerasScaleByTheirSettings) {
  RgbImage grey{16, 16, std::vector<std::uint8_t>(16 * 16 * 3, 100)};
  for (const char* version : {"27730001", "27660001", "27790001"}) {
    MrwLayout s;
    s.version = version;
    s.cameraSettings.assign(31, 0);
    s.cameraSettings[28] = 512;  // x2
    s.cameraSettings[29] = 128;  // x0.5
    s.cameraSettings[30] = 1024; // x4, limited to 255
    s.thumbnailJpeg = EncodeJpeg(grey);
    auto f = FromLayout(s);
    ASSERT_TRUE(f->Open());
    const Thumbnail* t = f->GetThumbnail();
    ASSERT_NE(t, nullptr);
    const bool scaled = f->GetModelCode() == 1 || f->GetModelCode() == 2;
    EXPECT_TRUE(Near(At(*t, 0.5, 0.5), scaled ? std::array<int, 3>{200, 50, 255} : std::array<int, 3>{100, 100, 100}, 4))
        << version;
  }
}

TEST(Thumbnail, DamagedOrMisplacedThumbnails) {
  MrwLayout s;
  s.thumbnailJpeg = EncodeJpeg(QuadrantImage(32, 16));
  s.thumbnailAsUndefined = false;
  {  // garbage where the JPEG should be
    MrwLayout g = s;
    g.thumbnailJpeg.assign(200, 0x42);
    auto f = FromLayout(g);
    ASSERT_TRUE(f->Open());
    EXPECT_TRUE(f->HasThumbnail());
    EXPECT_EQ(f->GetThumbnail(), nullptr);
    EXPECT_FALSE(f->Error().empty());
    EXPECT_EQ(f->GetThumbnail(), nullptr);
  }
  {  // truncated JPEG data
    MrwLayout g = s;
    g.thumbnailJpeg.resize(g.thumbnailJpeg.size() - 20);
    auto f = FromLayout(g);
    ASSERT_TRUE(f->Open());
    EXPECT_EQ(f->GetThumbnail(), nullptr);
    EXPECT_NE(f->Error().find("ends early"), std::string::npos) << f->Error();
  }
  {  // a header that claims far more pixels than its bytes can hold
    MrwLayout g = s;
    auto& j = g.thumbnailJpeg;
    for (std::size_t i = 0; i + 8 < j.size(); ++i)
      if (j[i] == 0xFF && j[i + 1] == 0xC0) {  // SOF0: length, precision, height, width
        j[i + 5] = j[i + 6] = j[i + 7] = j[i + 8] = 0xFF;
        break;
      }
    auto f = FromLayout(g);
    ASSERT_TRUE(f->Open());
    EXPECT_EQ(f->GetThumbnail(), nullptr);
  }
  {  // no thumbnail at all
    MrwLayout g = s;
    g.thumbnailJpeg.clear();
    auto f = FromLayout(g);
    ASSERT_TRUE(f->Open());
    EXPECT_FALSE(f->HasThumbnail());
    EXPECT_EQ(f->GetThumbnail(), nullptr);
  }
}

TEST(Thumbnail, OffsetWithoutLengthOrPastTheBlockIsDropped) {
  MrwLayout s;
  s.thumbnailJpeg = EncodeJpeg(QuadrantImage(16, 16));
  s.thumbnailAsUndefined = false;
  const MrwFile file = WriteMrw(s);
  auto f = FromBytes(file.bytes);
  ASSERT_TRUE(f->Open());
  ASSERT_TRUE(f->HasThumbnail());
  // Find the length tag 137 (big-endian) in the TTW block and change its value.
  const auto& ttw = f->TtwBlock();
  std::size_t valueAt = 0;
  for (std::size_t i = 8; i + 12 <= ttw.size(); ++i)
    if (ttw[i] == 0 && ttw[i + 1] == 137 && ttw[i + 2] == 0 && ttw[i + 3] == 4) valueAt = file.ttwData + i + 8;
  ASSERT_NE(valueAt, 0u);
  for (const std::uint32_t length : {0u, 0x7FFFFFFFu, static_cast<std::uint32_t>(ttw.size())}) {
    auto b = file.bytes;
    for (int k = 0; k < 4; ++k) b[valueAt + k] = static_cast<std::uint8_t>(length >> (24 - 8 * k));
    auto g = FromBytes(b);
    ASSERT_TRUE(g->Open()) << length;
    EXPECT_FALSE(g->HasThumbnail()) << length;
    EXPECT_EQ(g->GetThumbnail(), nullptr);
  }
}

}  // namespace
}  // namespace tessaro::testing
