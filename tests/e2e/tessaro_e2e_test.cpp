// Opens MRW files through plughost and Tessaro as a user would, natively or (with QM_WINE set)
// the Windows builds under Wine, and reads what comes out with libtiff.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "MrwWriter.h"
#include "PlughostRun.h"

namespace fs = std::filesystem;
using e2e::Env;
using e2e::Quote;
using e2e::Result;
using e2e::Slurp;

namespace {

const std::string kWine = Env("QM_WINE", "");
const std::string kPlughost = Env("QM_PLUGHOST", QM_NATIVE_PLUGHOST);
const std::string kTessaro = Env("QM_TESSARO", QM_NATIVE_TESSARO);
const std::string kNativePlughost = QM_NATIVE_PLUGHOST;
const std::string kNativeTessaro = QM_NATIVE_TESSARO;
const std::string kMrwdump = QM_NATIVE_MRWDUMP;
const fs::path kSample = QM_SAMPLE_MRW;

// A folder of its own with a copy of the plug-in, so its settings file is this test's alone.
class Workdir {
public:
  explicit Workdir(bool wine = !kWine.empty()) : wine_(wine) {
    dir_ = fs::temp_directory_path() / ("qm_tessaro_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
    fs::create_directories(dir_);
    const std::string& src = wine ? kTessaro : kNativeTessaro;
    plugin_ = dir_ / fs::path(src).filename();
    fs::copy_file(src, plugin_);
  }
  ~Workdir() { fs::remove_all(dir_); }
  fs::path operator/(const std::string& name) const { return dir_ / name; }
  fs::path Plugin() const { return plugin_; }
  fs::path Ini() const { return dir_ / "Tessaro.ini"; }
  void WriteIni(const std::string& text) const { std::ofstream(Ini()) << text; }

  std::string HostPath(const fs::path& p) const { return wine_ ? e2e::WinePath(p) : p.string(); }

  // plughost ARGS: natively, or the Windows build under Wine.
  Result Plughost(const std::vector<std::string>& args) const {
    return (wine_ ? e2e::PlughostRun(kPlughost).Wine(kWine) : e2e::PlughostRun(kNativePlughost)).In(dir_, args);
  }
  Result Open(const std::vector<std::string>& files, const std::string& out, std::vector<std::string> options = {}) const {
    std::vector<std::string> args{"open", HostPath(plugin_)};
    for (const auto& f : files) args.push_back(HostPath(f));
    args.insert(args.end(), {"-o", HostPath(out)});
    args.insert(args.end(), options.begin(), options.end());
    return Plughost(args);
  }
  // Any other command line.
  Result Run(std::string cmd) const { return e2e::RunIn(dir_, std::move(cmd)); }

private:
  bool wine_;
  fs::path dir_, plugin_;
  static inline int counter_ = 0;
};

struct Tiff {
  uint32_t width = 0, height = 0;
  uint16_t bits = 0, samples = 0;
  std::vector<uint8_t> pixels;
  std::string model, make;
  std::vector<uint8_t> icc;
  std::string exifDateTime;
  bool hasExif = false;
};

Tiff ReadTiff(const fs::path& p) {
  Tiff t;
  TIFF* tif = TIFFOpen(p.c_str(), "r");
  if (!tif) return t;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &t.width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &t.height);
  TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &t.bits);
  TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &t.samples);
  char* text = nullptr;
  if (TIFFGetField(tif, TIFFTAG_MODEL, &text)) t.model = text;
  if (TIFFGetField(tif, TIFFTAG_MAKE, &text)) t.make = text;
  uint32_t n = 0;
  void* data = nullptr;
  if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &n, &data)) t.icc.assign(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + n);
  const tmsize_t line = TIFFScanlineSize(tif);
  t.pixels.resize(static_cast<size_t>(line) * t.height);
  for (uint32_t y = 0; y < t.height; ++y) TIFFReadScanline(tif, t.pixels.data() + static_cast<size_t>(line) * y, y);
  toff_t exif = 0;
  if (TIFFGetField(tif, TIFFTAG_EXIFIFD, &exif) && TIFFReadEXIFDirectory(tif, exif)) {
    t.hasExif = true;
    if (TIFFGetField(tif, EXIFTAG_DATETIMEDIGITIZED, &text)) t.exifDateTime = text;
  }
  TIFFClose(tif);
  return t;
}

fs::path WriteMrwFile(const Workdir& wd, const std::string& name, const tessaro::testing::MrwLayout& l) {
  const fs::path p = wd / name;
  tessaro::testing::WriteFile(p.string(), tessaro::testing::WriteMrw(l).bytes);
  return p;
}

TEST(TessaroE2e, InfoShowsTheFormatAndItsTerminology) {
  // The native host reads Windows DLLs too: QM_TESSARO alone names one of them.
  Workdir wd;
  Result r = wd.Plughost({"info", wd.HostPath(kTessaro)});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("kind: 8BIF"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("entry: PluginMain"), std::string::npos);
  EXPECT_NE(r.out.find("RdEx: \"MRW\""), std::string::npos);
  EXPECT_NE(r.out.find("RdTy: \"MRW \""), std::string::npos);
  EXPECT_NE(r.out.find("mxsz: 32767 rows x 32767 columns"), std::string::npos);
  EXPECT_NE(r.out.find("'inte' enin \"Interpolation\" enumerated"), std::string::npos);
  EXPECT_NE(r.out.find("'ivnq' \"Variable Number of Gradients (QV)\""), std::string::npos);
  EXPECT_NE(r.out.find("'atpr' bool \"Attach ICC profile\""), std::string::npos);
}

TEST(TessaroE2e, OpensTheSampleToATiffWithItsExifAndTheAcceptedSettingsFile) {
  Workdir wd;
  Result r = wd.Open({kSample.string()}, (wd / "out.tif").string(), {"--answer", "1"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("plughost: dialog \"Tessaro\""), std::string::npos) << r.err;
  const Tiff t = ReadTiff(wd / "out.tif");
  EXPECT_GT(t.width, 0u);
  EXPECT_EQ(t.samples, 3);
  EXPECT_EQ(t.bits, 8);
  EXPECT_EQ(t.model, "DiMAGE A1");
  EXPECT_TRUE(t.hasExif);
  EXPECT_EQ(t.exifDateTime.size(), 19u) << "the time of the conversion";
  EXPECT_TRUE(fs::exists(wd.Ini())) << "accepting the dialog writes the settings file";

  // PNG keeps the whole EXIF block.
  r = wd.Open({kSample.string()}, (wd / "out.png").string());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(Slurp(wd / "out.png").find("eXIf"), std::string::npos);
}

TEST(TessaroE2e, SixteenBitsFromTheDefaultPresetAndEightForAHostWithout) {
  Workdir wd;
  wd.WriteIni("[GeneralSettings]\nDisplayUI = 0\n[default]\nWB = Camera\nCamera = CameraSetting\nColorDepth = 1\n"
              "Interpolation = 7\nExtraSize = 1\nContrast = 0\nPreciseGamma = 2.64\nHighlights = 100\nHighlightsFix = 1\n");
  Result r = wd.Open({kSample.string()}, (wd / "deep.tif").string());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("dialog"), std::string::npos) << "DisplayUI off";
  const Tiff deep = ReadTiff(wd / "deep.tif");
  EXPECT_EQ(deep.bits, 16);
  EXPECT_EQ(deep.width, 62u);
  EXPECT_EQ(deep.height, 46u);
  r = wd.Open({kSample.string()}, (wd / "flat.tif").string(), {"--no-16bit"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadTiff(wd / "flat.tif").bits, 8);
}

// The description an ICC profile carries in its 'desc' tag; empty when there is none.
std::string IccDescription(const std::vector<uint8_t>& icc) {
  const auto be32 = [&](size_t at) {
    return at + 4 > icc.size() ? 0u
                               : (uint32_t{icc[at]} << 24) | (uint32_t{icc[at + 1]} << 16) | (uint32_t{icc[at + 2]} << 8) | icc[at + 3];
  };
  const uint32_t n = be32(128);
  for (uint32_t i = 0; i < n && 132 + 12 * (i + 1) <= icc.size(); ++i) {
    const size_t entry = 132 + 12 * size_t{i};
    if (std::string(icc.begin() + static_cast<long>(entry), icc.begin() + static_cast<long>(entry) + 4) != "desc")
      continue;
    const size_t at = be32(entry + 4), count = be32(at + 8);
    if (count == 0 || at + 12 + count > icc.size()) return "";
    return std::string(icc.begin() + static_cast<long>(at) + 12, icc.begin() + static_cast<long>(at + 12 + count - 1));
  }
  return "";
}

TEST(TessaroE2e, TheEmbeddedProfileDescribesTheChosenColourSpace) {
  Workdir wd;
  wd.WriteIni("[GeneralSettings]\nDisplayUI = 0\n");
  // The sample is a DiMAGE A1: its own colour group.
  ASSERT_EQ(wd.Open({kSample.string()}, (wd / "cam.tif").string()).status, 0);
  EXPECT_EQ(IccDescription(ReadTiff(wd / "cam.tif").icc), "Dimage A1Mod (RAW g2200)");
  const struct {
    const char* descriptor;
    const char* description;
  } cases[] = {{"cosp enum encs eS7D\n", "Dynax 7D (RAW g2200)"},
               {"cosp enum encs eS57\n", "Minolta DiMAGE 7"},
               {"cosp enum encs eSA2\ncomo bool true\n", "Standard Monitor (KONICA MINOLTA CAMERA 2003)"},
               {"cosp enum encs eSNo\ncomo bool true\n", "Dimage A1Mod (RAW g2200)"}};
  for (const auto& c : cases) {
    std::ofstream(wd / "cs.desc") << c.descriptor;
    const Result r = wd.Open({kSample.string()}, (wd / "cs.tif").string(), {"--descriptor", wd.HostPath(wd / "cs.desc")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(IccDescription(ReadTiff(wd / "cs.tif").icc), c.description) << c.descriptor;
  }
  // A host that takes no profile gets none.
  ASSERT_EQ(wd.Open({kSample.string()}, (wd / "none.tif").string(), {"--no-icc"}).status, 0);
  EXPECT_TRUE(ReadTiff(wd / "none.tif").icc.empty());
}

// Reads a binary PPM's samples (8-bit, or 16-bit big-endian) into 16-bit values.
std::vector<uint16_t> PpmSamples(const fs::path& p, uint32_t& w, uint32_t& h, unsigned& maxval) {
  std::ifstream in(p, std::ios::binary);
  std::string magic;
  in >> magic >> w >> h >> maxval;
  in.get();
  std::vector<uint16_t> v(size_t{w} * h * 3);
  for (auto& x : v) x = static_cast<uint16_t>(maxval > 255 ? (in.get() << 8) | in.get() : in.get());
  return v;
}

TEST(TessaroE2e, ThePlugInGivesWhatMrwdumpConvertGives) {
  if (!kWine.empty()) GTEST_SKIP() << "mrwdump is native";
  Workdir wd;
  wd.WriteIni("[GeneralSettings]\nDisplayUI = 0\n");
  for (const bool deep : {false, true}) {
    std::ofstream(wd / "d.desc") << (deep ? "code enum encd eD48\ninte enum enin ivng\n" : "satu long 30\n");
    ASSERT_EQ(wd.Open({kSample.string()}, (wd / "p.tif").string(), {"--descriptor", (wd / "d.desc").string()}).status, 0);
    const std::string sets = deep ? " --set ColorDepth=1 --set Interpolation=14" : " --set Saturation=30";
    const Result m = wd.Run(Quote(kMrwdump) + " convert " + Quote(kSample.string()) + " -o " + Quote((wd / "m.ppm").string()) + sets);
    ASSERT_EQ(m.status, 0) << m.err;
    const Tiff t = ReadTiff(wd / "p.tif");
    uint32_t w = 0, h = 0;
    unsigned maxval = 0;
    const std::vector<uint16_t> ref = PpmSamples(wd / "m.ppm", w, h, maxval);
    ASSERT_EQ(t.width, w);
    ASSERT_EQ(t.height, h);
    ASSERT_EQ(t.bits, deep ? 16 : 8);
    std::vector<uint16_t> got(ref.size());
    for (size_t i = 0; i < got.size(); ++i) {
      if (deep) std::memcpy(&got[i], t.pixels.data() + 2 * i, 2);
      else got[i] = t.pixels[i];
    }
    EXPECT_EQ(got, ref) << (deep ? "48 bits" : "24 bits");
  }
}

// The bundled sample shows its four quadrants, in the camera's own colour space and in another.
TEST(TessaroE2e, TheSampleOpensToItsQuadrantsNotOneFlatColour) {
  Workdir wd;
  wd.WriteIni("[GeneralSettings]\nDisplayUI = 0\n");
  for (const std::string desc : {"", "cosp enum encs eSA1\ncode enum encd eD48\n"}) {
    std::vector<std::string> options;
    if (!desc.empty()) {
      std::ofstream(wd / "s.desc") << desc;
      options = {"--descriptor", wd.HostPath(wd / "s.desc")};
    }
    const Result r = wd.Open({kSample.string()}, (wd / "q.tif").string(), options);
    ASSERT_EQ(r.status, 0) << r.err;
    const Tiff t = ReadTiff(wd / "q.tif");
    ASSERT_EQ(t.samples, 3);
    std::vector<uint16_t> rgb(size_t{t.width} * t.height * 3);
    for (size_t i = 0; i < rgb.size(); ++i) {
      if (t.bits == 16) std::memcpy(&rgb[i], t.pixels.data() + 2 * i, 2);
      else rgb[i] = t.pixels[i];
    }
    // The default method cuts four pixels on each side of the 64 x 48 frame.
    const auto q = tessaro::testing::QuadrantMeans(rgb, t.width, t.height, 4, 4, 64, 48, t.bits == 16 ? 65535.0 : 255.0);
    const auto text = [&](size_t i) { return std::to_string(q[i][0]) + " " + std::to_string(q[i][1]) + " " + std::to_string(q[i][2]); };
    EXPECT_GT(q[0][0], 2 * std::max(q[0][1], q[0][2]) + 0.1) << "red top left: " << text(0) << " " << desc;
    EXPECT_GT(q[1][1], 2 * std::max(q[1][0], q[1][2]) + 0.1) << "green top right: " << text(1) << " " << desc;
    EXPECT_GT(q[3][2], 2 * std::max(q[3][0], q[3][1]) + 0.1) << "blue bottom right: " << text(3) << " " << desc;
    const auto [lo, hi] = std::minmax({q[2][0], q[2][1], q[2][2]});
    EXPECT_GT(lo, 0.8) << "white bottom left: " << text(2) << " " << desc;
    EXPECT_LT(hi - lo, 0.03) << "white bottom left: " << text(2) << " " << desc;
  }
}

TEST(TessaroE2e, PreviewGivesTheThumbnailOrTheEighth) {
  Workdir wd;
  Result r = wd.Open({kSample.string()}, (wd / "thumb.tif").string(), {"--preview"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("dialog"), std::string::npos) << "a preview asks nothing";
  wd.WriteIni("[GeneralSettings]\nUseInternalThumbnails = 0\n");
  r = wd.Open({kSample.string()}, (wd / "eighth.tif").string(), {"--preview"});
  ASSERT_EQ(r.status, 0) << r.err;
  const Tiff e = ReadTiff(wd / "eighth.tif");
  EXPECT_EQ(e.width, 64u / 8);
  EXPECT_EQ(e.height, 48u / 8);
  if (kWine.empty()) {
    // The same reduction mrwdump preview makes at its default scale.
    const Result m = wd.Run(Quote(kMrwdump) + " preview " + Quote(kSample.string()) + " -o " + Quote((wd / "e.ppm").string()));
    ASSERT_EQ(m.status, 0) << m.err;
    uint32_t w = 0, h = 0;
    unsigned maxval = 0;
    const std::vector<uint16_t> ref = PpmSamples(wd / "e.ppm", w, h, maxval);
    ASSERT_EQ(e.pixels.size(), ref.size());
    EXPECT_TRUE(std::equal(ref.begin(), ref.end(), e.pixels.begin()));
  }
}

TEST(TessaroE2e, BadFilesFailCleanlyWithTheirOwnStatus) {
  Workdir wd;
  std::ofstream(wd / "not.mrw") << "this is not a raw file";
  Result r = wd.Open({(wd / "not.mrw").string()}, (wd / "x.tif").string());
  EXPECT_EQ(r.status, 8) << r.err;
  EXPECT_NE(r.err.find("not a file this plug-in reads"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(wd / "x.tif"));

  tessaro::testing::MrwLayout cut;
  cut.rawBytesDelta = -100;
  r = wd.Open({WriteMrwFile(wd, "cut.mrw", cut).string()}, (wd / "x.tif").string(), {"--answer", "1"});
  EXPECT_EQ(r.status, 8) << r.err;
  EXPECT_NE(r.err.find("-30501"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("left"), std::string::npos) << "nothing held: " << r.err;
  EXPECT_FALSE(fs::exists(wd / "x.tif"));

  r = wd.Open({(wd / "missing.mrw").string()}, (wd / "x.tif").string());
  EXPECT_EQ(r.status, 8) << r.err;
}

TEST(TessaroE2e, AHostWithoutTheBufferSuiteGetsTheWarningBox) {
  Workdir wd;
  Result r = wd.Open({kSample.string()}, (wd / "x.tif").string(), {"--no-buffer-suite"});
  EXPECT_EQ(r.status, 4) << r.err;
  EXPECT_NE(r.err.find("This plug-in requires Adobe Photoshop\xAE 2.5 or later functionality."), std::string::npos)
      << r.err;
  r = wd.Open({kSample.string()}, (wd / "x.tif").string(), {"--no-advance-state"});
  EXPECT_EQ(r.status, 4) << r.err;
  EXPECT_NE(r.err.find("Photoshop\xAE 3 or later"), std::string::npos) << r.err;
}

TEST(TessaroE2e, EveryRefusedHandleOrBufferGivesOutOfMemoryWithNothingHeld) {
  Workdir wd;
  Result r = wd.Open({kSample.string()}, (wd / "x.tif").string(), {"--count-alloc"});
  ASSERT_EQ(r.status, 0) << r.err;
  int total = 0;
  ASSERT_EQ(std::sscanf(r.err.c_str() + r.err.find("asked for "), "asked for %d", &total), 1) << r.err;
  ASSERT_GT(total, 3);
  for (int n = 1; n <= total; ++n) {
    r = wd.Open({kSample.string()}, (wd / "x.tif").string(), {"--fail-alloc", std::to_string(n)});
    EXPECT_EQ(r.status, 5) << n << ": " << r.err;
    EXPECT_EQ(r.err.find("left"), std::string::npos) << n << ": " << r.err;
  }
}

TEST(TessaroE2e, RotationAndTheDialogsAnswers) {
  Workdir wd;
  wd.WriteIni("[GeneralSettings]\nDisplayUI = 0\n");
  ASSERT_EQ(wd.Open({kSample.string()}, (wd / "r0.tif").string()).status, 0);
  ASSERT_EQ(wd.Open({kSample.string()}, (wd / "r1.tif").string(), {"--rotate", "1"}).status, 0);
  const Tiff a = ReadTiff(wd / "r0.tif"), b = ReadTiff(wd / "r1.tif");
  EXPECT_EQ(a.width, b.height);
  EXPECT_EQ(a.height, b.width);
  wd.WriteIni("");
  EXPECT_EQ(wd.Open({kSample.string()}, (wd / "c.tif").string(), {"--answer", "2"}).status, 4);
  EXPECT_EQ(wd.Open({kSample.string()}, (wd / "c.tif").string(), {"--answer", "9"}).status, 9);
  EXPECT_FALSE(fs::exists(wd / "c.tif"));
}

TEST(TessaroE2e, ARecordedDescriptorReplaysToTheSameImage) {
  Workdir wd;
  std::ofstream(wd / "step.desc") << "code enum encd eD48\ninte enum enin ibil\nexsi bool true\nexpo doub 0.5\n";
  Result r = wd.Open({kSample.string()}, (wd / "a.tif").string(),
                     {"--descriptor", wd.HostPath(wd / "step.desc"), "--record", wd.HostPath(wd / "rec.desc")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("dialog"), std::string::npos) << "played back: no dialog";
  const std::string recorded = Slurp(wd / "rec.desc");
  EXPECT_NE(recorded.find("expo doub 0.5"), std::string::npos) << recorded;
  EXPECT_NE(recorded.find("code enum encd eD48"), std::string::npos) << recorded;
  EXPECT_EQ(recorded.find("wbr1"), std::string::npos) << "camera white balance writes no coefficients";
  r = wd.Open({kSample.string()}, (wd / "b.tif").string(), {"--descriptor", wd.HostPath(wd / "rec.desc")});
  ASSERT_EQ(r.status, 0) << r.err;
  const Tiff a = ReadTiff(wd / "a.tif"), b = ReadTiff(wd / "b.tif");
  EXPECT_EQ(a.bits, 16);
  EXPECT_EQ(a.width, 62u);
  EXPECT_EQ(a.pixels, b.pixels);
  // With --show-dialog the played-back step asks; without the suites the dialog is shown too.
  r = wd.Open({kSample.string()}, (wd / "c.tif").string(),
              {"--descriptor", wd.HostPath(wd / "rec.desc"), "--show-dialog"});
  EXPECT_NE(r.err.find("dialog \"Tessaro\""), std::string::npos) << r.err;
  r = wd.Open({kSample.string()}, (wd / "d.tif").string(), {"--no-scripting"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("dialog \"Tessaro\""), std::string::npos) << r.err;
}

TEST(TessaroE2e, WorkersGiveWhatSingleReadsGive) {
  if (!kWine.empty()) GTEST_SKIP() << "covered natively";
  Workdir wd;
  wd.WriteIni("[GeneralSettings]\nDisplayUI = 0\n");
  tessaro::testing::MrwLayout other = tessaro::testing::SampleLayout();
  other.bayerPattern = 4;
  const fs::path second = WriteMrwFile(wd, "second.mrw", other);
  fs::create_directories(wd / "batch");
  Result r = wd.Open({kSample.string(), second.string(), (wd / "none.mrw").string()}, (wd / "batch").string(),
                     {"-j", "2"});
  EXPECT_EQ(r.status, 8) << "the missing file's status: " << r.err;
  EXPECT_NE(r.err.find("1 of 3 files could not be opened"), std::string::npos) << r.err;
  ASSERT_EQ(wd.Open({kSample.string()}, (wd / "one.tif").string()).status, 0);
  ASSERT_EQ(wd.Open({second.string()}, (wd / "two.tif").string()).status, 0);
  EXPECT_EQ(ReadTiff(wd / "batch/sample.tif").pixels, ReadTiff(wd / "one.tif").pixels);
  EXPECT_EQ(ReadTiff(wd / "batch/second.tif").pixels, ReadTiff(wd / "two.tif").pixels);
}

TEST(TessaroE2e, TheWindowsBuildGivesTheNativePixels) {
  if (kWine.empty()) GTEST_SKIP() << "needs QM_WINE";
  Workdir win(true), native(false);
  win.WriteIni("[GeneralSettings]\nDisplayUI = 0\n[default]\nColorDepth = 1\nInterpolation = 12\nWB = Camera\n"
               "Contrast = 0\nPreciseContrast = 50\nPreciseGamma = 2.64\nHighlights = 100\nHighlightsFix = 1\n");
  native.WriteIni(Slurp(win.Ini()));
  Result w = win.Open({kSample.string()}, (win / "w.tif").string());
  ASSERT_EQ(w.status, 0) << w.err;
  Result n = native.Open({kSample.string()}, (native / "n.tif").string());
  ASSERT_EQ(n.status, 0) << n.err;
  const Tiff a = ReadTiff(win / "w.tif"), b = ReadTiff(native / "n.tif");
  EXPECT_EQ(a.bits, 16);
  EXPECT_EQ(a.width, b.width);
  EXPECT_EQ(a.pixels, b.pixels);
  EXPECT_EQ(a.icc, b.icc);
}

}  // namespace
