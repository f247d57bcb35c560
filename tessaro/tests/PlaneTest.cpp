// Unpacking, limiting and turning the raw sensor plane.

#include <gtest/gtest.h>

#include "TestFiles.h"
#include "tessaro/RawPlane.h"

namespace tessaro::testing {
namespace {

// Where the sample of the upright plane (x, y) comes from in the stored plane of w x h,
// written from the orientation's meaning rather than from the turn code.
std::size_t SourceIndex(int orientation, std::uint32_t x, std::uint32_t y, std::uint32_t w, std::uint32_t h) {
  switch (orientation) {
    case 3: return std::size_t{h - 1 - y} * w + (w - 1 - x);
    case 6: return std::size_t{h - 1 - x} * w + y;   // the top row is the stored left column, read upwards
    case 8: return std::size_t{x} * w + (w - 1 - y);  // the top row is the stored right column, read downwards
    default: return std::size_t{y} * w + x;
  }
}

TEST(Plane, UnpacksPackedGroups) {
  const std::uint8_t row[] = {0xAB, 0xCD, 0xEF, 0x00, 0x0F, 0xFF, 0x12};
  std::uint16_t out[5] = {9, 9, 9, 9, 9};
  UnpackPacked12(row, 4, out);
  EXPECT_EQ(out[0], 0xABC);
  EXPECT_EQ(out[1], 0xDEF);
  EXPECT_EQ(out[2], 0x000);
  EXPECT_EQ(out[3], 0xFFF);
  EXPECT_EQ(out[4], 9);  // nothing written past the row
  UnpackPacked12(row, 5, out);
  EXPECT_EQ(out[4], 0);  // the odd last sample has no bytes of its own
}

// Every row width, so that the wide steps, the two-sample steps and the odd end all meet the
// formula; nothing may be written past the row.
TEST(Plane, UnpacksRowsOfEveryWidth) {
  std::vector<std::uint8_t> bytes(200);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 37 + 11);
  for (std::uint32_t width = 1; width <= 120; ++width) {
    std::vector<std::uint16_t> out(width + 8, 0xBEEF);
    UnpackPacked12(bytes.data(), width, out.data());
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::size_t g = x / 2 * 3;
      const unsigned expected = x == width - 1 && (width & 1)  ? 0
                                : x % 2 == 0                   ? bytes[g] * 16u + (bytes[g + 1] >> 4)
                                                               : (bytes[g + 1] & 15u) * 256u + bytes[g + 2];
      ASSERT_EQ(out[x], expected) << "width " << width << " x " << x;
    }
    for (std::uint32_t x = width; x < out.size(); ++x) ASSERT_EQ(out[x], 0xBEEF) << "width " << width;
  }
}

TEST(Plane, Limits16BitValues) {
  const std::uint8_t row[] = {0x0F, 0xFF, 0x10, 0x00, 0xFF, 0xFF, 0x00, 0x01};
  std::uint16_t out[4];
  Unpack16(row, 4, out);
  EXPECT_EQ(out[0], 4095);
  EXPECT_EQ(out[1], 4095);  // 4096
  EXPECT_EQ(out[2], 4095);  // 65535
  EXPECT_EQ(out[3], 1);
}

TEST(Plane, CfaPhaseOfTheCorner) {
  EXPECT_EQ(CfaPhase(0, 0, 0), 0);  // red
  EXPECT_EQ(CfaPhase(1, 0, 0), 2);  // green beside red
  EXPECT_EQ(CfaPhase(0, 1, 0), 1);  // green beside blue
  EXPECT_EQ(CfaPhase(1, 1, 0), 3);  // blue
  EXPECT_EQ(CfaPhase(0, 0, 1), 1);  // a row that begins with green
  EXPECT_EQ(CfaPhase(1, 0, 1), 3);
  EXPECT_EQ(CfaPhase(3, 5, 2), CfaPhase(1, 1, 2));
}

// Red, green or blue: a quarter turn makes the greens beside red the greens beside blue.
int Colour(int phase) { return phase == 2 ? 1 : phase; }

// On an even plane every turn must keep each photosite's colour; a half turn keeps its phase.
TEST(Plane, TurnsKeepTheColoursOfEvenPlanes) {
  const std::uint32_t w0 = 6, h0 = 4;
  for (const Turn turn : {Turn::QuarterCcw, Turn::Half, Turn::QuarterCw}) {
    for (BayerOrder order = 0; order < 4; ++order) {
      std::unique_ptr<std::uint32_t[]> px(new std::uint32_t[w0 * h0]);
      for (std::uint32_t y = 0; y < h0; ++y)
        for (std::uint32_t x = 0; x < w0; ++x) px[y * w0 + x] = (y << 16) | x;
      std::uint32_t w = w0, h = h0;
      ASSERT_TRUE(TurnPixels(px, w, h, turn));
      EXPECT_EQ(w, turn == Turn::Half ? w0 : h0);
      const BayerOrder turned = TurnedBayerOrder(order, turn);
      for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x) {
          const std::uint32_t sx = px[y * w + x] & 0xFFFF, sy = px[y * w + x] >> 16;
          ASSERT_EQ(Colour(CfaPhase(x, y, turned)), Colour(CfaPhase(sx, sy, order))) << int(turn) << " order " << order;
          if (turn == Turn::Half) {
            ASSERT_EQ(CfaPhase(x, y, turned), CfaPhase(sx, sy, order));
          }
        }
    }
  }
  EXPECT_EQ(TurnedBayerOrder(0, Turn::Half), 3);
  EXPECT_EQ(TurnedBayerOrder(0, Turn::QuarterCcw), 1);
  EXPECT_EQ(TurnedBayerOrder(0, Turn::QuarterCw), 2);
}

TEST(Plane, OppositeQuarterTurnsUndoEachOther) {
  const std::uint32_t w0 = 5, h0 = 3;
  std::unique_ptr<std::uint16_t[]> px(new std::uint16_t[w0 * h0]);
  for (std::uint16_t i = 0; i < w0 * h0; ++i) px[i] = i;
  std::uint32_t w = w0, h = h0;
  ASSERT_TRUE(TurnPixels(px, w, h, Turn::QuarterCw));
  EXPECT_EQ(px[0], 10);  // the bottom-left sample comes to the top-left
  ASSERT_TRUE(TurnPixels(px, w, h, Turn::QuarterCcw));
  ASSERT_EQ(w, w0);
  for (std::uint16_t i = 0; i < w0 * h0; ++i) ASSERT_EQ(px[i], i);
}

struct PlaneCase {
  bool packed;
  std::uint16_t pattern;
  int orientation;
  bool bigEndian;
};

class PlaneLoad : public ::testing::TestWithParam<PlaneCase> {};

TEST_P(PlaneLoad, MatchesTheReferenceTurn) {
  const PlaneCase c = GetParam();
  MrwLayout s;
  s.width = 10;
  s.height = 6;
  s.imageWidth = 8;
  s.imageHeight = 4;
  s.packed = c.packed;
  s.bayerPattern = c.pattern;
  s.orientation = static_cast<std::uint16_t>(c.orientation);
  s.bigEndian = c.bigEndian;
  s.samples = TestSamples(s.width, s.height, 3, c.packed ? 4095 : 65535);
  const std::vector<std::uint16_t> stored = ExpectedPlane(s);
  auto f = FromLayout(s);
  ASSERT_TRUE(f->Open()) << f->Error();
  ASSERT_TRUE(f->LoadPlane()) << f->Error();

  const bool quarter = c.orientation == 6 || c.orientation == 8;
  const std::uint32_t w = quarter ? s.height : s.width, h = quarter ? s.width : s.height;
  ASSERT_EQ(f->PlaneWidth(), w);
  ASSERT_EQ(f->PlaneHeight(), h);
  EXPECT_EQ(f->SensorWidth(), w);
  EXPECT_EQ(f->ImageWidth(), quarter ? 4u : 8u);
  for (std::uint32_t y = 0; y < h; ++y)
    for (std::uint32_t x = 0; x < w; ++x)
      ASSERT_EQ(f->Plane()[std::size_t{y} * w + x], stored[SourceIndex(c.orientation, x, y, s.width, s.height)])
          << x << "," << y;

  // The Bayer order must keep the colour of the stored top-left photosite.
  const BayerOrder fileOrder = c.pattern == 4 ? 1 : 0;
  for (std::uint32_t y = 0; y < h; ++y)
    for (std::uint32_t x = 0; x < w; ++x) {
      const std::size_t src = SourceIndex(c.orientation, x, y, s.width, s.height);
      const auto sx = static_cast<std::uint32_t>(src % s.width), sy = static_cast<std::uint32_t>(src / s.width);
      ASSERT_EQ(Colour(CfaPhase(x, y, f->GetBayerOrder())), Colour(CfaPhase(sx, sy, fileOrder)));
    }
}

std::vector<PlaneCase> AllPlaneCases() {
  std::vector<PlaneCase> v;
  for (bool packed : {true, false})
    for (const std::uint16_t pattern : {std::uint16_t{1}, std::uint16_t{4}})
      for (int o : {1, 3, 6, 8}) v.push_back({packed, pattern, o, (o & 2) != 0});
  return v;
}

INSTANTIATE_TEST_SUITE_P(All, PlaneLoad, ::testing::ValuesIn(AllPlaneCases()), [](const auto& p) {
  const PlaneCase& c = p.param;
  return std::string(c.packed ? "Packed" : "Bits16") + "_Pattern" + std::to_string(c.pattern) + "_Orient" +
         std::to_string(c.orientation);
});

TEST(Plane, HalfTurnOfAnEvenPlaneKeepsColours) {
  MrwLayout s;
  s.orientation = 3;
  auto f = FromLayout(s);
  ASSERT_TRUE(f->Open());
  ASSERT_TRUE(f->LoadPlane());
  EXPECT_EQ(f->GetBayerOrder(), 3);
  EXPECT_EQ(CfaPhase(f->PlaneWidth() - 1, f->PlaneHeight() - 1, 3), 0);  // the old top-left red
}

TEST(Plane, TurnPlaneFollowsTheHostsRotation) {
  MrwLayout s;
  s.width = 8;
  s.height = 4;
  s.imageWidth = 6;
  s.imageHeight = 2;
  auto f = FromLayout(s);
  EXPECT_FALSE(f->TurnPlane(Turn::Half));  // nothing loaded yet
  ASSERT_TRUE(f->Open());
  ASSERT_TRUE(f->LoadPlane());
  const std::vector<std::uint16_t> before(f->Plane(), f->Plane() + 32);
  ASSERT_TRUE(f->TurnPlane(Turn::QuarterCcw));
  EXPECT_EQ(f->PlaneWidth(), 4u);
  EXPECT_EQ(f->SensorWidth(), 4u);
  EXPECT_EQ(f->SensorHeight(), 8u);
  EXPECT_EQ(f->ImageWidth(), 2u);
  EXPECT_EQ(f->ImageHeight(), 6u);
  EXPECT_EQ(f->GetBayerOrder(), 1);
  EXPECT_EQ(f->Plane()[0], before[7]);  // the top-right sample comes to the top-left
  ASSERT_TRUE(f->TurnPlane(Turn::QuarterCw));
  EXPECT_EQ(f->GetBayerOrder(), 0);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), f->Plane()));
}

TEST(Plane, OddPackedWidthLeavesTheLastSampleZero) {
  MrwLayout s;
  s.width = 5;
  s.height = 3;
  auto f = FromLayout(s);
  ASSERT_TRUE(f->Open());
  ASSERT_TRUE(f->LoadPlane());
  const auto expected = ExpectedPlane(s);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), f->Plane()));
  EXPECT_EQ(f->Plane()[4], 0);
}

TEST(Plane, ShortOrOversizedRawDataFailsWithoutAPlane) {
  for (const bool packed : {true, false}) {
    MrwLayout s;
    s.packed = packed;
    s.rawBytesDelta = -1;
    auto f = FromLayout(s);
    ASSERT_TRUE(f->Open());
    EXPECT_FALSE(f->LoadPlane());
    EXPECT_FALSE(f->HasPlane());
    EXPECT_NE(f->Error().find("short"), std::string::npos);
  }
  // A sensor the file is far too small to hold must be refused before any allocation.
  auto bytes = WriteMrw(MrwLayout{}).bytes;
  for (const std::size_t at : {24u, 25u, 26u, 27u}) bytes[at] = 0xFF;  // PRD sensor height and width
  auto g = FromBytes(bytes);
  ASSERT_TRUE(g->Open());
  EXPECT_EQ(g->SensorWidth(), 65535u);
  EXPECT_FALSE(g->LoadPlane());
  EXPECT_FALSE(g->HasPlane());

  MrwLayout extra;  // bytes after the raw data are fine
  extra.rawBytesDelta = 5;
  auto h = FromLayout(extra);
  ASSERT_TRUE(h->Open());
  EXPECT_TRUE(h->LoadPlane());
}

TEST(Plane, EmptySensorIsRefused) {
  MrwLayout s;
  s.width = 0;
  auto f = FromLayout(s);
  EXPECT_FALSE(f->Open());
  EXPECT_FALSE(f->LoadPlane());
}

}  // namespace
}  // namespace tessaro::testing
