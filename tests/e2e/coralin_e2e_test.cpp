// Runs plughost on Coralin as a user would, natively or (with QM_WINE set) the Windows builds
// under Wine, and compares the JPEG files with what libjpeg writes for the same pixels and
// settings.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "JpegReference.h"
#include "plughost/image.h"

namespace fs = std::filesystem;
using plughost::Image;

namespace {

std::string Env(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return v && *v ? v : fallback;
}

const std::string kWine = Env("QM_WINE", "");
const std::string kPlughost = Env("QM_PLUGHOST", QM_NATIVE_PLUGHOST);
const std::string kCoralin = Env("QM_CORALIN", QM_NATIVE_CORALIN);
const fs::path kSamples = QM_SAMPLES;

std::string HostPath(const fs::path& p) {
  if (kWine.empty()) return p.string();
  std::string s = "Z:" + fs::absolute(p).string();
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void Spit(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << text;
}

struct Result {
  int status = -1;
  std::string out, err;
};

// Each test has its own folder and its own copy of plughost, since the preset file lives
// beside the host program and the registry store in the configuration folder.
class Workdir {
 public:
  Workdir() {
    dir_ = fs::temp_directory_path() / ("qm_cr_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
    fs::create_directories(dir_ / "config");
    host_ = dir_ / fs::path(kPlughost).filename();
    fs::copy_file(kPlughost, host_);
  }
  ~Workdir() { fs::remove_all(dir_); }
  fs::path operator/(const std::string& name) const { return dir_ / name; }

  Result Run(const std::vector<std::string>& args) const {
    std::string cmd = "XDG_CONFIG_HOME=" + Quote((dir_ / "config").string()) + " ";
    cmd += kWine.empty() ? Quote(host_.string()) : Quote(kWine) + " " + Quote(host_.string());
    for (const auto& a : args) cmd += " " + Quote(a);
    cmd += " >" + Quote((dir_ / "stdout").string()) + " 2>" + Quote((dir_ / "stderr").string());
    Result r;
    const int raw = std::system(cmd.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = Slurp(dir_ / "stdout");
    r.err = Slurp(dir_ / "stderr");
    return r;
  }
  // plughost filter Coralin IN with the options.
  Result Filter(const fs::path& in, std::vector<std::string> options) const {
    std::vector<std::string> args{"filter", HostPath(kCoralin), HostPath(in), "--progress", "quiet"};
    args.insert(args.end(), options.begin(), options.end());
    return Run(args);
  }

 private:
  fs::path dir_, host_;
  static inline int counter_ = 0;
};

// The layer as the filter sees it: cropped to its visible pixels (the box holds the centre
// point) and flattened over the matte.
struct Flat {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> rgb;
  bool grey = true;
};
Flat Flatten(const Image& img, const uint8_t matte[3]) {
  int32_t l = img.width / 2, t = img.height / 2, r = l, b = t;
  for (int32_t y = 0; y < img.height; ++y)
    for (int32_t x = 0; x < img.width; ++x)
      if (img.Pixel(x, y)[3]) {
        l = std::min(l, x);
        t = std::min(t, y);
        r = std::max(r, x + 1);
        b = std::max(b, y + 1);
      }
  Flat f;
  f.width = r - l;
  f.height = b - t;
  for (int32_t y = t; y < b; ++y)
    for (int32_t x = l; x < r; ++x) {
      const uint8_t* p = img.Pixel(x, y);
      uint8_t o[3];
      for (int c = 0; c < 3; ++c) o[c] = uint8_t((matte[c] * (255 - p[3]) + p[c] * p[3] + 127) / 255);
      f.grey = f.grey && o[0] == o[1] && o[1] == o[2];
      f.rgb.insert(f.rgb.end(), o, o + 3);
    }
  return f;
}

std::string Reference(const Flat& f, const CrSettings& s, int32_t dpi = 72) {
  std::vector<uint8_t> j;
  if (f.grey) {
    std::vector<uint8_t> g;
    for (size_t i = 0; i < f.rgb.size(); i += 3) g.push_back(f.rgb[i]);
    j = crtest::ReferenceJpeg(g.data(), f.width, f.height, f.width, true, s, dpi, dpi);
  } else {
    j = crtest::ReferenceJpeg(f.rgb.data(), f.width, f.height, f.width * 3, false, s, dpi, dpi);
  }
  return std::string(j.begin(), j.end());
}

const uint8_t kWhite[3] = {255, 255, 255};

bool Has(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

}  // namespace

TEST(CoralinEndToEnd, PlayedBackSettingsWriteWhatLibjpegWrites) {
  Workdir wd;
  const fs::path in = kSamples / "picture.png";
  const Flat flat = Flatten(plughost::ReadPng(in.string()), kWhite);
  struct Case {
    std::string descriptor;
    CrSettings settings;
    int32_t dpi;
  };
  CrSettings q85;
  q85.quality = 85;
  CrSettings all;
  all.quality = 35;
  all.smoothing = 0;
  all.progressive = 1;
  all.betterSampling = 1;
  all.optimize = 0;
  CrSettings clamped;
  clamped.quality = 100;
  clamped.smoothing = 0;
  const std::vector<Case> cases{
      {"crQu long 85\n", q85, 150},
      {"crQu long 35\ncrSm long 0\ncrPr bool true\ncrBS bool true\ncrHf bool false\n", all, 72},
      // Out-of-range numbers are clamped.
      {"crQu long 250\ncrSm long -5\n", clamped, 72},
  };
  for (const Case& c : cases) {
    Spit(wd / "step.desc", c.descriptor);
    const fs::path out = wd / "out.jpg";
    Result r = wd.Filter(in, {"--descriptor", HostPath(wd / "step.desc"), "--save-as", HostPath(out), "--resolution",
                              std::to_string(c.dpi)});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(Has(r.err, "dialog \"Coralin")) << "a played-back step shows no dialog: " << r.err;
    EXPECT_EQ(Slurp(out), Reference(flat, c.settings, c.dpi)) << c.descriptor;
  }
}

TEST(CoralinEndToEnd, RecordedStepPlaysBackToTheSameFile) {
  Workdir wd;
  const fs::path in = kSamples / "picture.png";
  Spit(wd / "ui", "set 1054 42\npress 1014\npress 1\n");
  Result r = wd.Filter(in, {"--ui", HostPath(wd / "ui"), "--save-as", HostPath(wd / "a.jpg"), "--record",
                            HostPath(wd / "rec.desc")});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string recorded = Slurp(wd / "rec.desc");
  EXPECT_TRUE(Has(recorded, "crQu long 42")) << recorded;
  EXPECT_TRUE(Has(recorded, "crPr bool true")) << recorded;
  EXPECT_TRUE(Has(recorded, "crSO enum tySO crSA")) << recorded;
  EXPECT_FALSE(Has(recorded, "crSz")) << "no target size was searched: " << recorded;
  r = wd.Filter(in, {"--descriptor", HostPath(wd / "rec.desc"), "--save-as", HostPath(wd / "b.jpg")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Slurp(wd / "a.jpg"), Slurp(wd / "b.jpg"));
  CrSettings s;
  s.quality = 42;
  s.progressive = 1;
  EXPECT_EQ(Slurp(wd / "a.jpg"), Reference(Flatten(plughost::ReadPng(in.string()), kWhite), s));
}

TEST(CoralinEndToEnd, RepeatWritesToTheStoredPathAndReplacesALongerFile) {
  Workdir wd;
  const fs::path in = kSamples / "picture.png";
  Result r = wd.Filter(in, {"--parameters", HostPath(wd / "params"), "--save-as", HostPath(wd / "shot")});
  ASSERT_EQ(r.status, 0) << r.err;
  // A name without extension gets ".JPG".
  const std::string first = Slurp(wd / "shot.JPG");
  ASSERT_FALSE(first.empty());
  Spit(wd / "shot.JPG", std::string(first.size() * 3, 'x'));
  r = wd.Filter(in, {"--parameters", HostPath(wd / "params"), "--repeat"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(Has(r.err, "dialog \"Coralin")) << r.err;
  EXPECT_FALSE(Has(r.err, "save dialog")) << r.err;
  EXPECT_EQ(Slurp(wd / "shot.JPG"), first);
  // A name with its own extension keeps it.
  r = wd.Filter(in, {"--save-as", HostPath(wd / "web.jpeg")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(wd / "web.jpeg"));
  // A repeat that never wrote a file says so.
  r = wd.Filter(in, {"--repeat"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_TRUE(Has(r.err, "message \"ALERT\": The operation could not be completed because a file was not specified. #4"))
      << r.err;
}

TEST(CoralinEndToEnd, TransparencyCropsFlattensOverTheBackgroundAndEmptyLayersWriteNothing) {
  Workdir wd;
  Image img;
  img.width = 40;
  img.height = 30;
  img.rgba.assign(40 * 30 * 4, 0);
  plughost::WritePng((wd / "empty.png").string(), img);
  Result r = wd.Filter(wd / "empty.png", {"--save-as", HostPath(wd / "e.jpg")});
  EXPECT_EQ(r.status, 4) << r.err;  // cancelled, silently
  EXPECT_FALSE(Has(r.err, "ALERT")) << r.err;
  EXPECT_FALSE(fs::exists(wd / "e.jpg"));

  // Opaque only in the left quarter, half transparent at the edge: the crop still reaches the
  // centre, and the transparent part takes the background colour.
  for (int32_t y = 5; y < 20; ++y)
    for (int32_t x = 2; x < 10; ++x) {
      uint8_t* p = img.Pixel(x, y);
      p[0] = uint8_t(x * 20);
      p[1] = uint8_t(y * 9);
      p[2] = 200;
      p[3] = x == 2 ? 128 : 255;
    }
  plughost::WritePng((wd / "left.png").string(), img);
  r = wd.Filter(wd / "left.png", {"--save-as", HostPath(wd / "l.jpg"), "--background-colour", "00C040"});
  ASSERT_EQ(r.status, 0) << r.err;
  const uint8_t green[3] = {0, 0xC0, 0x40};
  const Flat flat = Flatten(img, green);
  EXPECT_EQ(flat.width, 20 - 2);
  EXPECT_EQ(flat.height, 20 - 5);
  EXPECT_EQ(Slurp(wd / "l.jpg"), Reference(flat, CrSettings{}));

  // A grey layer becomes a one-component JPEG.
  for (size_t i = 0; i < img.rgba.size(); i += 4) img.rgba[i] = img.rgba[i + 1] = img.rgba[i + 2] = uint8_t(i / 7);
  plughost::WritePng((wd / "grey.png").string(), img);
  r = wd.Filter(wd / "grey.png", {"--save-as", HostPath(wd / "g.jpg"), "--background-colour", "808080"});
  ASSERT_EQ(r.status, 0) << r.err;
  crtest::Decoded d;
  const std::string g = Slurp(wd / "g.jpg");
  ASSERT_TRUE(crtest::Decode(std::vector<uint8_t>(g.begin(), g.end()), d));
  EXPECT_EQ(d.components, 1);
}

TEST(CoralinEndToEnd, HostChecksAndEveryRefusedAllocation) {
  Workdir wd;
  const fs::path in = kSamples / "picture.png";
  for (const char* withheld : {"--no-advance-state", "--no-handle-suite"}) {
    Result r = wd.Filter(in, {withheld, "--save-as", HostPath(wd / "x.jpg")});
    EXPECT_EQ(r.status, 7) << withheld << ": " << r.err;
  }
  // Every handle and buffer the run asks for, refused in turn: out of memory, reported once
  // or handed to the host, nothing left behind and no file.
  bool finished = false;
  for (int n = 1; n < 200 && !finished; ++n) {
    fs::remove(wd / "x.jpg");
    Result r = wd.Filter(in, {"--alloc-error", std::to_string(n), "--descriptor", HostPath(kSamples / "quality70.desc"),
                              "--save-as", HostPath(wd / "x.jpg")});
    if (r.status == 0) {
      finished = true;
      break;
    }
    EXPECT_TRUE(r.status == 5 ||
                (r.status == 1 && Has(r.err, "because there was not enough memory. #2")))
        << "allocation " << n << ": " << r.err;
    EXPECT_FALSE(Has(r.err, "left")) << "allocation " << n << ": " << r.err;
    EXPECT_FALSE(fs::exists(wd / "x.jpg")) << "allocation " << n;
  }
  EXPECT_TRUE(finished);
}

TEST(CoralinEndToEnd, AlphaChannelDrivesForegroundAndBackgroundSmoothing) {
  Workdir wd;
  const fs::path in = kSamples / "picture.png";
  std::vector<std::string> files;
  for (const char* op : {"crSA", "crSF", "crSB"}) {
    // Plane 1 is the alpha channel (plane 0 the layer's transparency).
    Spit(wd / "ui", std::string("pick 1093 1\n") + "press 1\n");
    Spit(wd / "step.desc", std::string("crSm long 80\ncrSO enum tySO ") + op + "\n");
    Result r = wd.Filter(in, {"--alpha", "Sun=" + HostPath(kSamples / "sun-alpha.png"), "--descriptor",
                              HostPath(wd / "step.desc"), "--show-dialog", "--ui", HostPath(wd / "ui"), "--save-as",
                              HostPath(wd / "s.jpg")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.err, "Layer Transparency")) << r.err;
    files.push_back(Slurp(wd / "s.jpg"));
  }
  EXPECT_TRUE(files[0] != files[1]) << "foreground smoothing changes nothing";
  EXPECT_TRUE(files[1] != files[2]) << "foreground and background smoothing agree";
  EXPECT_TRUE(files[0] != files[2]) << "background smoothing changes nothing";
}
