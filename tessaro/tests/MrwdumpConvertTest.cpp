// End to end: mrwdump convert and preview on writer-made files, their output read back.

#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "MrwdumpRun.h"
#include "TestFiles.h"
#include "tessaro/Colour.h"
#include "tessaro/Conversion.h"

namespace tessaro::testing {
namespace {

bool Exists(const std::string& path) { return std::ifstream(path).good(); }

// A binary PPM: 8-bit, or 16-bit big-endian.
bool ReadPpm(const std::string& path, std::uint32_t& w, std::uint32_t& h, unsigned& maxval,
             std::vector<std::uint16_t>& px) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  in >> magic >> w >> h >> maxval;
  if (magic != "P6" || in.get() != '\n') return false;
  px.resize(std::size_t{w} * h * 3);
  for (auto& v : px) {
    const int hi = in.get();
    const int lo = maxval > 255 ? in.get() : 0;
    if (lo < 0 || hi < 0) return false;
    v = static_cast<std::uint16_t>(maxval > 255 ? (hi << 8) | lo : hi);
  }
  return in.peek() == EOF;
}

const char* const kIdentity =
    " --set WB=Coef --set CoefR=1 --set CoefG1=1 --set CoefG2=1 --set CoefB=1 --set Exposure=0 --set Contrast=0"
    " --set PreciseContrast=0 --set PreciseGamma=1 --set Shadows=0 --set Highlights=100 --set ClipValues=0"
    " --set HighlightsFix=0 --set ColorSpace=1 --set ColorDepth=1 --set ExtraSize=1";

// Bayer order 0..3 from the pattern (0 or 1 at load) and a half turn (0 <-> 3, 1 <-> 2).
MrwLayout LayoutForOrder(int order) {
  MrwLayout l;
  l.width = 26;
  l.height = 20;
  l.bayerPattern = (order == 1 || order == 2) ? 4 : 1;
  l.orientation = std::uint16_t(order >= 2 ? 3 : 1);
  l.samples = TestSamples(l.width, l.height, static_cast<std::uint32_t>(order + 3));
  return l;
}

// With identity tables every method's output is its rule on the raw plane, scaled to 16 bits.
TEST(MrwdumpConvert, IdentityTablesGiveTheMethodOnTheRawPlane) {
  for (int order = 0; order < 4; ++order) {
    const MrwLayout l = LayoutForOrder(order);
    const std::string mrw = Temp("id.mrw"), ppm = Temp("id.ppm");
    ASSERT_TRUE(WriteFile(mrw, WriteMrw(l).bytes));
    auto f = FromLayout(l);
    ASSERT_TRUE(f->Open());
    ASSERT_TRUE(f->LoadPlane());
    ASSERT_EQ(f->GetBayerOrder(), order);
    for (int method = 0; method < kMethodCount; ++method) {
      const RunResult r = Mrwdump("convert '" + mrw + "' -o '" + ppm + "'" + kIdentity + " --set Interpolation=" +
                                  std::to_string(method));
      ASSERT_EQ(r.status, 0) << r.err;
      Demosaicer d;
      ASSERT_TRUE(d.Start(f->Plane(), f->PlaneWidth(), f->PlaneHeight(), order, method, true));
      std::uint32_t w = 0, h = 0;
      unsigned maxval = 0;
      std::vector<std::uint16_t> px;
      ASSERT_TRUE(ReadPpm(ppm, w, h, maxval, px));
      EXPECT_EQ(maxval, 65535u);
      ASSERT_EQ(int(w), d.Window().width);
      ASSERT_EQ(int(h), d.Window().height);
      std::vector<std::uint16_t> row(std::size_t{w} * 3);
      std::size_t at = 0, wrong = 0;
      while (d.NextRow(row.data()))
        for (std::uint16_t v : row) wrong += px[at++] != v * 65535u / 4095u;
      EXPECT_EQ(wrong, 0u) << "method " << method << " order " << order;
    }
  }
}

TEST(MrwdumpConvert, ProfilesTravelWithTiffAndPng) {
  const std::string mrw = Temp("p.mrw"), tif = Temp("p.tif"), png = Temp("p.png");
  MrwLayout l = SampleLayout();
  ASSERT_TRUE(WriteFile(mrw, WriteMrw(l).bytes));
  ASSERT_EQ(Mrwdump("convert '" + mrw + "' -o '" + tif + "' --set ColorSpace=7 --set ColorDepth=1").status, 0);
  TIFF* t = TIFFOpen(tif.c_str(), "r");
  ASSERT_NE(t, nullptr);
  std::uint32_t w = 0, n = 0;
  std::uint16_t bits = 0;
  void* icc = nullptr;
  TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(t, TIFFTAG_BITSPERSAMPLE, &bits);
  ASSERT_EQ(TIFFGetField(t, TIFFTAG_ICCPROFILE, &n, &icc), 1);
  const auto want = ProfileBytes(6);
  EXPECT_EQ(n, want.size());
  EXPECT_EQ(std::memcmp(icc, want.data(), want.size()), 0);
  EXPECT_EQ(bits, 16);
  EXPECT_EQ(w, 56u);  // default method, ExtraSize off: 4 cut on each side
  TIFFClose(t);

  // The PNG's profile is the monitor's when converting to it; libpng accepts the chunk.
  ASSERT_EQ(Mrwdump("convert '" + mrw + "' -o '" + png + "' --set ConvertToMonitor=1").status, 0);
  std::FILE* fp = std::fopen(png.c_str(), "rb");
  ASSERT_NE(fp, nullptr);
  png_structp p = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(p);
  png_init_io(p, fp);
  png_read_info(p, info);
  png_charp name = nullptr;
  int compression = 0;
  png_bytep profile = nullptr;
  png_uint_32 length = 0;
  ASSERT_NE(png_get_iCCP(p, info, &name, &compression, &profile, &length), 0u);
  EXPECT_EQ(length, ProfileBytes(kProfileMonitor).size());
  EXPECT_EQ(png_get_bit_depth(p, info), 8);
  png_destroy_read_struct(&p, &info, nullptr);
  std::fclose(fp);
}

TEST(MrwdumpConvert, BadInputGivesOneLineAStatusAndNoFile) {
  const std::string mrw = Temp("b.mrw"), out = Temp("never.ppm"), cut = Temp("cut.mrw");
  ASSERT_TRUE(WriteFile(mrw, WriteMrw(SampleLayout()).bytes));
  MrwLayout c = SampleLayout();
  c.rawBytesDelta = -100;
  ASSERT_TRUE(WriteFile(cut, WriteMrw(c).bytes));
  std::remove(out.c_str());
  struct Case {
    std::string args;
    int status;
  } cases[] = {
      {"convert '" + mrw + "' -o '" + out + "' --set Sharpness=3", 2},
      {"convert '" + mrw + "' -o '" + out + "' --set Interpolation=17", 2},
      {"convert '" + mrw + "' -o '" + out + "' --set Exposure=abc", 2},
      {"convert '" + mrw + "' -o '" + out + "' --set ExtraSize=2", 2},
      {"convert '" + mrw + "' -o '" + out + "' --set ColorSpace", 2},
      {"convert '" + mrw + "' -o '" + out + "' --set WB=Auto", 2},
      {"convert '" + mrw + "' -o '" + out + "' --set Camera=Moonlight", 2},
      {"convert '" + mrw + "' -o '" + Temp("x.jpg") + "'", 2},
      {"convert '" + mrw + "'", 2},
      {"preview '" + mrw + "' -o '" + out + "' --scale 5", 2},
      {"preview '" + mrw + "' -o '" + Temp("x.png") + "'", 2},
      {"convert '" + cut + "' -o '" + out + "'", 1},
      {"convert '" + Temp("missing.mrw") + "' -o '" + out + "'", 1},
      {"convert '" + mrw + "' -o '" + Temp("no/such/dir.ppm") + "'", 4},
  };
  for (const Case& k : cases) {
    const RunResult r = Mrwdump(k.args);
    EXPECT_EQ(r.status, k.status) << k.args << "\n" << r.err;
    EXPECT_FALSE(r.err.empty()) << k.args;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_FALSE(Exists(out)) << k.args;
    EXPECT_FALSE(Exists(out + ".part")) << k.args;
  }
}

TEST(MrwdumpPreview, EighthIsTheBrowserImageAndScalesGiveTheirSizes) {
  MrwLayout l;
  l.width = 96;
  l.height = 72;
  const std::string mrw = Temp("pv.mrw"), ppm = Temp("pv.ppm");
  ASSERT_TRUE(WriteFile(mrw, WriteMrw(l).bytes));
  ASSERT_EQ(Mrwdump("preview '" + mrw + "' -o '" + ppm + "'").status, 0);
  std::uint32_t w = 0, h = 0;
  unsigned maxval = 0;
  std::vector<std::uint16_t> px;
  ASSERT_TRUE(ReadPpm(ppm, w, h, maxval, px));
  auto f = FromLayout(l);
  ASSERT_TRUE(f->Open());
  ASSERT_TRUE(f->LoadPlane());
  ChannelLuts luts;
  BrowserImage img;
  ASSERT_TRUE(MakeBrowserImage(*f, luts, img));
  ASSERT_EQ(w, img.width);
  ASSERT_EQ(h, img.height);
  EXPECT_EQ(maxval, 255u);
  EXPECT_TRUE(std::equal(px.begin(), px.end(), img.rgb.begin()));
  const int scales[] = {2, 3, 4, 6, 12, 16};
  for (int s : scales) {
    ASSERT_EQ(Mrwdump("preview '" + mrw + "' -o '" + ppm + "' --scale " + std::to_string(s)).status, 0) << s;
    ASSERT_TRUE(ReadPpm(ppm, w, h, maxval, px));
    EXPECT_EQ(w, 96u / unsigned(s)) << s;
    EXPECT_EQ(h, 72u / unsigned(s)) << s;
  }
}

}  // namespace
}  // namespace tessaro::testing
