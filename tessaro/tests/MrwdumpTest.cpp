// End to end: mrwdump run on writer-made files, its PGM and PPM output read back.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "MrwdumpRun.h"
#include "TestFiles.h"

namespace tessaro::testing {
namespace {

// Reads a binary PGM of maxval 4095 (two big-endian bytes a sample).
bool ReadPgm(const std::string& path, std::uint32_t& w, std::uint32_t& h, std::vector<std::uint16_t>& px) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  unsigned maxval = 0;
  in >> magic >> w >> h >> maxval;
  if (magic != "P5" || maxval != 4095 || in.get() != '\n') return false;
  px.resize(std::size_t{w} * h);
  for (auto& v : px) {
    const int hi = in.get(), lo = in.get();
    if (lo < 0) return false;
    v = static_cast<std::uint16_t>((hi << 8) | lo);
  }
  return in.peek() == EOF;
}

struct DumpCase {
  bool packed;
  std::uint16_t pattern;
  int orientation;
};

class MrwdumpRaw : public ::testing::TestWithParam<DumpCase> {};

TEST_P(MrwdumpRaw, WritesTheExactUprightPlane) {
  const DumpCase c = GetParam();
  MrwLayout s;
  s.width = 12;
  s.height = 8;
  s.packed = c.packed;
  s.bayerPattern = c.pattern;
  s.orientation = static_cast<std::uint16_t>(c.orientation);
  s.bigEndian = c.pattern == 4;
  s.samples = TestSamples(s.width, s.height, 11, c.packed ? 4095 : 65535);
  const std::string mrw = Temp("dump.mrw"), pgm = Temp("dump.pgm");
  ASSERT_TRUE(WriteFile(mrw, WriteMrw(s).bytes));
  std::remove(pgm.c_str());
  const RunResult r = Mrwdump("raw '" + mrw + "' -o '" + pgm + "'");
  ASSERT_EQ(r.status, 0) << r.err;

  // The reference: the stored samples, limited, moved by the meaning of each orientation.
  const auto stored = ExpectedPlane(s);
  const std::uint32_t W = s.width, H = s.height;
  const bool quarter = c.orientation == 6 || c.orientation == 8;
  std::uint32_t w = 0, h = 0;
  std::vector<std::uint16_t> px;
  ASSERT_TRUE(ReadPgm(pgm, w, h, px));
  ASSERT_EQ(w, quarter ? H : W);
  ASSERT_EQ(h, quarter ? W : H);
  for (std::uint32_t y = 0; y < h; ++y)
    for (std::uint32_t x = 0; x < w; ++x) {
      std::uint32_t sx = x, sy = y;
      if (c.orientation == 3) sx = W - 1 - x, sy = H - 1 - y;
      if (c.orientation == 6) sx = y, sy = H - 1 - x;
      if (c.orientation == 8) sx = W - 1 - y, sy = x;
      ASSERT_EQ(px[std::size_t{y} * w + x], stored[std::size_t{sy} * W + sx]) << x << "," << y;
    }
}

std::vector<DumpCase> DumpCases() {
  std::vector<DumpCase> v;
  for (bool packed : {true, false})
    for (const std::uint16_t pattern : {std::uint16_t{1}, std::uint16_t{4}})
      for (int o : {1, 3, 6, 8}) v.push_back({packed, pattern, o});
  return v;
}

INSTANTIATE_TEST_SUITE_P(All, MrwdumpRaw, ::testing::ValuesIn(DumpCases()), [](const auto& p) {
  return std::string(p.param.packed ? "Packed" : "Bits16") + "_Pattern" + std::to_string(p.param.pattern) +
         "_Orient" + std::to_string(p.param.orientation);
});

TEST(Mrwdump, InfoListsTheFile) {
  MrwLayout s = SampleLayout();
  s.orientation = 6;
  const std::string mrw = Temp("info.mrw");
  ASSERT_TRUE(WriteFile(mrw, WriteMrw(s).bytes));
  const RunResult r = Mrwdump("info '" + mrw + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* line : {"model code: 6\n", "colour group: 3 (DiMAGE A1)\n", "sensor size: 64x48\n",
                           "image size: 64x48\n", "bayer order: 0\n", "orientation: 6\n", "wb preset 0: 2 1 1 1.5\n",
                           "subject area: 32 24 16 12\n", "thumbnail size: 24x32\n", "model: DiMAGE A1\n",
                           "software: Ver1.00\n", "camera settings: 57\n"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "in:\n" << r.out;
  int presets = 0;
  for (std::size_t at = 0; (at = r.out.find("wb preset ", at)) != std::string::npos; ++at) ++presets;
  EXPECT_EQ(presets, 7);
}

TEST(Mrwdump, ThumbWritesAnUprightPpm) {
  MrwLayout s = SampleLayout();
  s.orientation = 8;
  const std::string mrw = Temp("thumb.mrw"), ppm = Temp("thumb.ppm");
  ASSERT_TRUE(WriteFile(mrw, WriteMrw(s).bytes));
  const RunResult r = Mrwdump("thumb '" + mrw + "' -o '" + ppm + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string data = Slurp(ppm);
  const std::string header = "P6\n24 32\n255\n";
  ASSERT_EQ(data.substr(0, header.size()), header);
  ASSERT_EQ(data.size(), header.size() + 24 * 32 * 3);
  // Turned counter-clockwise, the red top-left quadrant is now bottom-left.
  const auto* p = reinterpret_cast<const unsigned char*>(data.data() + header.size()) + (24 * 28 + 4) * 3;
  EXPECT_GT(p[0], 200);
  EXPECT_LT(p[1], 60);
  EXPECT_LT(p[2], 60);
}

TEST(Mrwdump, DamagedFilesGiveOneLineAndAFailure) {
  MrwLayout s;
  s.rawBytesDelta = -3;
  const std::string cut = Temp("cut.mrw"), bad = Temp("bad.mrw"), out = Temp("never.pgm");
  ASSERT_TRUE(WriteFile(cut, WriteMrw(s).bytes));
  ASSERT_TRUE(WriteFile(bad, {0, 'M', 'R', 'X', 0, 0, 0, 0}));
  const RunResult cases[] = {Mrwdump("raw '" + cut + "' -o '" + out + "'"), Mrwdump("info '" + bad + "'"),
                       Mrwdump("thumb '" + cut + "' -o '" + out + "'"), Mrwdump("info '" + Temp("missing.mrw") + "'")};
  for (const RunResult& r : cases) {
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(r.err.empty());
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
  }
  EXPECT_NE(cases[0].err.find("short"), std::string::npos) << cases[0].err;
  EXPECT_NE(cases[1].err.find("not an MRW file"), std::string::npos) << cases[1].err;
  EXPECT_EQ(Mrwdump("raw").status, 2);
}

// The committed sample must be what the writer makes of SampleLayout.
TEST(Mrwdump, BundledSampleMatchesTheWriter) {
  const MrwLayout s = SampleLayout();
  const RunResult r = Mrwdump("raw '" SAMPLE_MRW "' -o '" + Temp("sample.pgm") + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  std::uint32_t w = 0, h = 0;
  std::vector<std::uint16_t> px;
  ASSERT_TRUE(ReadPgm(Temp("sample.pgm"), w, h, px));
  EXPECT_EQ(w, 64u);
  EXPECT_EQ(h, 48u);
  EXPECT_EQ(px, ExpectedPlane(s));
  const RunResult info = Mrwdump("info '" SAMPLE_MRW "'");
  EXPECT_NE(info.out.find("thumbnail size: 32x24"), std::string::npos) << info.out;
}

}  // namespace
}  // namespace tessaro::testing
