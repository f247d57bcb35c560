// The bundled sample converted through the core: whatever the colour space, depth or method,
// the picture is the four quadrants it was made of, not one flat colour.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "MrwWriter.h"
#include "tessaro/ByteSource.h"
#include "tessaro/Conversion.h"

namespace tessaro {
namespace {

struct Case {
  int space;
  int depth;
  bool monitor;
  int method;
};

std::string Name(const Case& c) {
  return "space" + std::to_string(c.space) + "_" + std::to_string(c.depth) + "bit" + (c.monitor ? "_monitor" : "") +
         "_method" + std::to_string(c.method);
}

class BundledSample : public ::testing::TestWithParam<Case> {};

TEST_P(BundledSample, ConvertsToItsFourQuadrants) {
  const Case k = GetParam();
  RawFile f(std::make_unique<FileSource>(SAMPLE_MRW));
  ASSERT_TRUE(f.Open());
  ConversionSettings s;  // the built-in defaults but for the case's choices
  s.ColorSpace = static_cast<std::int16_t>(k.space);
  s.ConvertToMonitor = k.monitor;
  s.Interpolation = static_cast<std::int16_t>(k.method);
  Conversion c;
  std::string error;
  ASSERT_TRUE(c.Start(f, s, k.depth, &error)) << error;
  const ReadWindow w = c.Window();
  std::vector<std::uint8_t> row(c.RowBytes());
  std::vector<std::uint16_t> rgb;
  while (c.NextRow(row.data())) {
    for (std::size_t i = 0; i < row.size() / (k.depth / 8); ++i) {
      std::uint16_t v = row[i];
      if (k.depth == 16) std::memcpy(&v, row.data() + 2 * i, 2);
      rgb.push_back(v);
    }
  }
  ASSERT_EQ(rgb.size(), std::size_t(w.width) * std::size_t(w.height) * 3);
  const auto q = testing::QuadrantMeans(rgb, std::uint32_t(w.width), std::uint32_t(w.height), std::uint32_t(w.left),
                                        std::uint32_t(w.top), f.SensorWidth(), f.SensorHeight(),
                                        k.depth == 16 ? 65535.0 : 255.0);
  // Red top left, green top right, blue bottom right: the quadrant's own channel well above
  // the other two.
  for (const auto& [quadrant, channel] : {std::pair{0, 0}, std::pair{1, 1}, std::pair{3, 2}}) {
    const auto& m = q[std::size_t(quadrant)];
    for (int other = 0; other < 3; ++other) {
      if (other == channel) continue;
      EXPECT_GT(m[std::size_t(channel)], 2 * m[std::size_t(other)] + 0.1)
          << "quadrant " << quadrant << ": " << m[0] << " " << m[1] << " " << m[2];
    }
  }
  // White bottom left: bright and grey.
  const auto& white = q[2];
  const auto [lo, hi] = std::minmax({white[0], white[1], white[2]});
  EXPECT_GT(lo, 0.8) << white[0] << " " << white[1] << " " << white[2];
  EXPECT_LT(hi - lo, 0.03) << white[0] << " " << white[1] << " " << white[2];
}

INSTANTIATE_TEST_SUITE_P(Settings, BundledSample,
                         ::testing::Values(Case{kSpaceCamera, 8, false, 12}, Case{kSpaceCamera, 16, false, 12},
                                           Case{kSpaceCamera, 8, true, 12}, Case{kSpaceCamera, 8, false, 7},
                                           Case{kSpaceCamera, 16, false, 14}, Case{kSpaceNone, 8, false, 12},
                                           Case{kSpace57, 16, false, 12}, Case{kSpaceA1, 8, false, 12}),
                         [](const auto& p) { return Name(p.param); });

}  // namespace
}  // namespace tessaro
