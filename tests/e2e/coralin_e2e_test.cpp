// Runs plughost on Coralin as a user would, natively or (with QM_WINE set) the Windows builds
// under Wine, and compares the JPEG files with what libjpeg writes for the same pixels and
// settings.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "JpegReference.h"
#include "PlughostRun.h"
#include "plughost/image.h"

namespace fs = std::filesystem;
using e2e::Env;
using e2e::Result;
using e2e::Slurp;
using plughost::Image;

namespace {

const std::string kWine = Env("QM_WINE", "");
const std::string kPlughost = Env("QM_PLUGHOST", QM_NATIVE_PLUGHOST);
const std::string kCoralin = Env("QM_CORALIN", QM_NATIVE_CORALIN);
const fs::path kSamples = QM_SAMPLES;

std::string HostPath(const fs::path& p) { return kWine.empty() ? p.string() : e2e::WinePath(p); }

void Spit(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << text;
}

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
    return e2e::PlughostRun(host_.string()).Env("XDG_CONFIG_HOME", dir_ / "config").Wine(kWine, 240).In(dir_, args);
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

// A name the save dialog cannot take ends the run with an error and no file, never with a
// dialog left open (under Wine the system dialog refuses a folder that does not exist).
TEST(CoralinEndToEnd, SaveNameInAMissingFolderEndsTheRun) {
  Workdir wd;
  Spit(wd / "step.desc", "crQu long 85\n");
  const fs::path out = wd / "no such folder" / "out.jpg";
  Result r = wd.Filter(kSamples / "picture.png", {"--descriptor", HostPath(wd / "step.desc"), "--save-as", HostPath(out)});
  EXPECT_NE(r.status, 0) << r.err;
  EXPECT_NE(r.status, 124) << "the run was left waiting: " << r.err;
  EXPECT_FALSE(fs::exists(out));
  EXPECT_FALSE(fs::exists(out.parent_path()));
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

namespace {
// Runs the dialog with a script; the report lines it asked for come back in order.
Result Session(const Workdir& wd, const std::string& script, std::vector<std::string> more = {}) {
  Spit(wd / "session.ui", script);
  std::vector<std::string> options{"--ui", HostPath(wd / "session.ui"), "--save-as", HostPath(wd / "dialog.jpg")};
  options.insert(options.end(), more.begin(), more.end());
  return wd.Filter(kSamples / "picture.png", options);
}
std::string Line(const std::string& err, const std::string& prefix, int nth = 0) {
  size_t at = 0;
  for (int i = 0; i <= nth; ++i) {
    at = err.find("plughost: ui " + prefix, i ? at + 1 : 0);
    if (at == std::string::npos) return "(missing: " + prefix + ")";
  }
  return err.substr(at + 13, err.find('\n', at) - at - 13);
}
}  // namespace

TEST(CoralinDialog, ZoomLevelsLabelsAndTheirLimits) {
  Workdir wd;
  std::string s;
  for (int i = 0; i < 7; ++i) s += "press 1051\n";
  s += "read 1066\nread 1069\nread 1051\nread 1052\n";
  for (int i = 0; i < 14; ++i) s += "press 1052\n";
  s += "read 1066\nread 1052\nread 1051\n";
  // Ctrl-click zooms both panes in, with Shift out; the mask thumbnail ignores the mouse.
  s += "press 1051\npress 1051\npress 1051\npress 1051\npress 1051\npress 1051\npress 1051\n";
  s += "mouse 1000 down 5 5 ctrl shift\nread 1066\nmouse 1003 down 5 5 ctrl\nread 1069\nmouse 1094 down 5 5 ctrl\nread 1066\n";
  s += "press 1\n";
  Result r = Session(wd, s);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Line(r.err, "read 1066"), "read 1066: Original 800.0%");
  EXPECT_EQ(Line(r.err, "read 1069"), "read 1069: JPEG 800.0%");
  EXPECT_EQ(Line(r.err, "read 1051"), "read 1051: + [disabled]");
  EXPECT_EQ(Line(r.err, "read 1052"), "read 1052: --");
  EXPECT_EQ(Line(r.err, "read 1066", 1), "read 1066: Original  12.5%");
  EXPECT_EQ(Line(r.err, "read 1052", 1), "read 1052: -- [disabled]");
  EXPECT_EQ(Line(r.err, "read 1051", 1), "read 1051: +");
  EXPECT_EQ(Line(r.err, "read 1066", 2), "read 1066: Original  50.0%");
  EXPECT_EQ(Line(r.err, "read 1069", 1), "read 1069: JPEG 100.0%");
  EXPECT_EQ(Line(r.err, "read 1066", 3), "read 1066: Original 100.0%");
}

TEST(CoralinDialog, WithoutExtraPlanesTheSmoothingControlsAreOff) {
  Workdir wd;
  Result r = Session(wd, "read 1085\nread 1086\nread 1087\nread 1093\nlist 1093\npress 1\n", {"--background"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Line(r.err, "read 1085"), "read 1085: Fore [unchecked] [disabled]");
  EXPECT_EQ(Line(r.err, "read 1086"), "read 1086: Back [unchecked] [disabled]");
  EXPECT_EQ(Line(r.err, "read 1087"), "read 1087: Both [checked] [disabled]");
  EXPECT_EQ(Line(r.err, "read 1093"), "read 1093:  [entry -1 of 0] [disabled]");
  // With an alpha channel the mask list follows the operation.
  r = Session(wd, "read 1093\npress 1085\nread 1093\nlist 1093\npress 1087\nread 1093\npress 1\n",
              {"--alpha", "Sun=" + HostPath(kSamples / "sun-alpha.png")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Line(r.err, "read 1093"), "read 1093: Layer Transparency [entry 0 of 2] [disabled]");
  EXPECT_EQ(Line(r.err, "read 1093", 1), "read 1093: Layer Transparency [entry 0 of 2]");
  EXPECT_EQ(Line(r.err, "list 1093"), "list 1093: Layer Transparency | Alpha Channel");
  EXPECT_EQ(Line(r.err, "read 1093", 2), "read 1093: Layer Transparency [entry 0 of 2] [disabled]");
}

TEST(CoralinDialog, PresetsAndTheDeleteButton) {
  Workdir wd;
  Result r = Session(wd,
                     "list 1023\nread 1028\npick 1023 0\nread 1028\nread 1054\npick 1023 1\nread 1028\n"
                     "set 1054 33\npress 1026\nset 1002 Web small\npress 1\nlist 1023\nread 1028\n"
                     "pick 1023 0\nread 1054\npick 1023 2\nread 1054\nread 1028\npress 1028\nlist 1023\nread 1028\n"
                     "press 1\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Line(r.err, "list 1023"), "list 1023: Default | Last settings");
  EXPECT_EQ(Line(r.err, "read 1028"), "read 1028: Delete Preset [disabled]");
  EXPECT_EQ(Line(r.err, "read 1028", 1), "read 1028: Delete Preset [disabled]");
  EXPECT_EQ(Line(r.err, "read 1028", 2), "read 1028: Delete Preset [disabled]");
  EXPECT_TRUE(Has(r.err, "dialog \"New Preset\": Enter name for new preset")) << r.err;
  EXPECT_EQ(Line(r.err, "list 1023", 1), "list 1023: Default | Last settings | Web small");
  EXPECT_EQ(Line(r.err, "read 1028", 3), "read 1028: Delete Preset");
  EXPECT_EQ(Line(r.err, "read 1054", 1), "read 1054: 60");
  EXPECT_EQ(Line(r.err, "read 1054", 2), "read 1054: 33");
  EXPECT_EQ(Line(r.err, "read 1028", 4), "read 1028: Delete Preset");
  EXPECT_EQ(Line(r.err, "list 1023", 2), "list 1023: Default | Last settings");
  EXPECT_EQ(Line(r.err, "read 1028", 5), "read 1028: Delete Preset [disabled]");
}

TEST(CoralinDialog, EditsSlidersAndSwitchesChangeTheFileAndOkWaitsForThePass) {
  Workdir wd;
  const Flat flat = Flatten(plughost::ReadPng((kSamples / "picture.png").string()), kWhite);
  // Typed values are clamped and cut to the field's three characters; the slider's thumb
  // follows the mouse 18 pixels in.
  Result r = Session(wd,
                     "set 1054 2500\nread 1054\nmouse 1079 down 30 15\nmouse 1079 up 9999 15\nread 1056\n"
                     "mouse 1079 down 76 15\nmouse 1079 move 40 15\nmouse 1079 up 9999 15\n"
                     "read 1056\nmouse 1055 down 316 15\nmouse 1055 up 258 15\nread 1054\npress 1016\n"
                     "read 1063\nbusy press 1\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Line(r.err, "read 1054"), "read 1054: 100");
  EXPECT_EQ(Line(r.err, "read 1056"), "read 1056: 20") << "a press beside the thumb takes nothing";
  EXPECT_EQ(Line(r.err, "read 1056", 1), "read 1056: 100");
  EXPECT_EQ(Line(r.err, "read 1054", 1), "read 1054: 80");
  CrSettings s;
  s.quality = 80;
  s.smoothing = 100;
  s.betterSampling = 1;
  const std::string expected = Reference(flat, s);
  EXPECT_EQ(Slurp(wd / "dialog.jpg"), expected);
  // The measured size is the file's.
  EXPECT_EQ(Line(r.err, "read 1063"),
            "read 1063: File Size:  " + std::to_string(expected.size()) + " bytes - " +
                std::to_string((128000 + 8 * expected.size()) / 256000) + " seconds @ 256 kbps");
  // Cancel writes nothing.
  fs::remove(wd / "dialog.jpg");
  r = Session(wd, "set 1054 10\npress 2\n");
  EXPECT_EQ(r.status, 4) << r.err;
  EXPECT_FALSE(fs::exists(wd / "dialog.jpg"));
}

TEST(CoralinDialog, ResizingMovesControlsByTheirAnchors) {
  Workdir wd;
  Result r = Session(wd,
                     "place 1\nplace 1014\nplace 1026\nplace 1000\nplace 1003\nsize 900 600\n"
                     "place 1\nplace 1014\nplace 1026\nplace 1000\nplace 1003\nsize 10 10\nplace 1\npress 1\n");
  ASSERT_EQ(r.status, 0) << r.err;
  auto rect = [&](const std::string& id, int nth) {
    std::istringstream in(Line(r.err, "place " + id + ":", nth).substr(7 + id.size()));
    std::vector<int> v(4);
    in >> v[0] >> v[1] >> v[2] >> v[3];
    return v;
  };
  const auto ok0 = rect("1", 0), ok1 = rect("1", 1), ok2 = rect("1", 2);
  // The headless dialog is 600 x 396 pixels (400 x 244 dialog units).
  const int dw = 900 - 600, dh = 600 - 396;
  EXPECT_EQ(ok1[0], ok0[0] + dw);
  EXPECT_EQ(ok1[1], ok0[1] + dh);
  EXPECT_EQ(ok2, ok0) << "never below the initial size";
  EXPECT_EQ(rect("1014", 1)[0], rect("1014", 0)[0] + dw);
  EXPECT_EQ(rect("1014", 1)[1], rect("1014", 0)[1]);
  EXPECT_EQ(rect("1026", 1)[0], rect("1026", 0)[0]);
  EXPECT_EQ(rect("1026", 1)[1], rect("1026", 0)[1] + dh);
  EXPECT_EQ(rect("1000", 1)[2], rect("1000", 0)[2] + dw / 2);
  EXPECT_EQ(rect("1000", 1)[3], rect("1000", 0)[3] + dh);
  EXPECT_EQ(rect("1003", 1)[0], rect("1003", 0)[0] + dw / 2);
  EXPECT_EQ(rect("1003", 1)[2], rect("1003", 0)[2] + dw / 2);
}

TEST(CoralinEndToEnd, AMaskThatIsGoneForcesTheDialogOnARepeat) {
  Workdir wd;
  const fs::path in = kSamples / "picture.png";
  Spit(wd / "step.desc", "crSO enum tySO crSF\n");
  Spit(wd / "ui", "pick 1093 1\npress 1\n");
  Result r = wd.Filter(in, {"--alpha", "Sun=" + HostPath(kSamples / "sun-alpha.png"), "--descriptor",
                            HostPath(wd / "step.desc"), "--show-dialog", "--ui", HostPath(wd / "ui"), "--parameters",
                            HostPath(wd / "params"), "--save-as", HostPath(wd / "a.jpg")});
  ASSERT_EQ(r.status, 0) << r.err;
  // The same repeat with the alpha channel still there shows nothing.
  r = wd.Filter(in, {"--alpha", "Sun=" + HostPath(kSamples / "sun-alpha.png"), "--parameters",
                     HostPath(wd / "params"), "--repeat"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(Has(r.err, "dialog \"Coralin")) << r.err;
  // Without it, mask 1 is gone: the dialog comes up, on the first plane.
  Spit(wd / "ui", "read 1093\npress 1\n");
  r = wd.Filter(in, {"--parameters", HostPath(wd / "params"), "--repeat", "--ui", HostPath(wd / "ui")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.err, "dialog \"Coralin[tm] 6.0\"")) << r.err;
  EXPECT_EQ(Line(r.err, "read 1093"), "read 1093: Layer Transparency [entry 0 of 1]");
  EXPECT_FALSE(Has(r.err, "save dialog")) << "a repeat keeps its path: " << r.err;
}

TEST(CoralinDialog, FindSetsTheTargetAndOkKeepsItOnlyWhenNothingChangedSince) {
  Workdir wd;
  // Find 10 KB, OK: the step records the target size.
  Result r = Session(wd, "set 1083 10\npress 1084\nread 1054\npress 1\n", {"--record", HostPath(wd / "a.desc")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.err, "dialog \"Targeting File Size")) << r.err;
  EXPECT_TRUE(Has(Slurp(wd / "a.desc"), "crSz long 10")) << Slurp(wd / "a.desc");
  const std::string found = Line(r.err, "read 1054");
  const size_t size = Slurp(wd / "dialog.jpg").size();
  EXPECT_LE(size, 10u * 1024 + 2048) << found;
  // A change after the search: the target is off again.
  r = Session(wd, "set 1083 10\npress 1084\npress 1014\npress 1\n", {"--record", HostPath(wd / "b.desc")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(Has(Slurp(wd / "b.desc"), "crSz")) << Slurp(wd / "b.desc");
  // Played back, the target size is searched before the write, to the same quality.
  r = wd.Filter(kSamples / "picture.png", {"--descriptor", HostPath(wd / "a.desc"), "--save-as", HostPath(wd / "c.jpg")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Slurp(wd / "c.jpg").size(), size);
}

TEST(CoralinDialog, PresetsAndPreferencesOutliveTheRun) {
  Workdir wd;
  Result r = Session(wd, "set 1054 44\npress 1026\nset 1002 Small\npress 1\npick 1010 4\npress 1019\npress 1\n");
  ASSERT_EQ(r.status, 0) << r.err;
  r = Session(wd, "list 1023\nread 1010\nread 1019\nread 1054\npick 1023 2\nread 1054\nread 1028\npress 1\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Line(r.err, "list 1023"), "list 1023: Default | Last settings | Small");
  EXPECT_EQ(Line(r.err, "read 1010"), "read 1010: 56K [entry 4 of 9]");
  EXPECT_EQ(Line(r.err, "read 1019"), "read 1019: Show [unchecked]");
  // "Last settings" are those of the last run; the preset its own.
  EXPECT_EQ(Line(r.err, "read 1054"), "read 1054: 44");
  EXPECT_EQ(Line(r.err, "read 1054", 1), "read 1054: 44");
  EXPECT_EQ(Line(r.err, "read 1028"), "read 1028: Delete Preset");
  // A foreign preset file is ignored (and rewritten).
  const fs::path presets = fs::path(wd / fs::path(kPlughost).filename().string()).parent_path() / "Cr6preffile.dat";
  ASSERT_TRUE(fs::exists(presets));
  Spit(presets, "NotCoralinPrefs and more");
  r = Session(wd, "list 1023\npress 1\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Line(r.err, "list 1023"), "list 1023: Default | Last settings");
  EXPECT_EQ(Slurp(presets).substr(0, 14), "Coralin400Pref");
}

// --- dialog sessions: the same --ui script natively and, with QM_WINE, on the real Win32
// dialog under Wine; screenshots kept in QM_ARTEFACTS when it is set.
namespace {

const std::string kArtefacts = Env("QM_ARTEFACTS", "");

// The same session with the native build, in a folder of its own (the preset file lives
// beside the host program): what the Windows build must match.
Result NativeFilter(const fs::path& dir, const fs::path& in, const std::vector<std::string>& options) {
  fs::create_directories(dir / "config");
  const fs::path host = dir / "plughost";
  if (!fs::exists(host)) fs::copy_file(QM_NATIVE_PLUGHOST, host);
  std::vector<std::string> args{"filter", QM_NATIVE_CORALIN, in.string(), "--progress", "quiet"};
  args.insert(args.end(), options.begin(), options.end());
  return e2e::PlughostRun(host.string()).Env("XDG_CONFIG_HOME", dir / "config").In(dir, args);
}

// "plughost: ui place ID: L T W H" from a report.
std::vector<int> Placed(const std::string& report, int id, int nth = 0) {
  const std::string key = "plughost: ui place " + std::to_string(id) + ": ";
  size_t at = 0;
  for (int i = 0; i <= nth; ++i) {
    at = report.find(key, i ? at + 1 : 0);
    if (at == std::string::npos) return {};
  }
  std::istringstream in(report.substr(at + key.size()));
  std::vector<int> v(4, 0);
  for (int& n : v) in >> n;
  return v;
}

// Pixels of a screenshot matching a test, in the left and the right half.
template <typename Pred>
std::pair<int, int> CountHalves(const Image& img, Pred pred) {
  int left = 0, right = 0;
  for (int32_t y = 0; y < img.height; ++y)
    for (int32_t x = 0; x < img.width; ++x)
      if (pred(img.Pixel(x, y))) (x < img.width / 2 ? left : right)++;
  return {left, right};
}

bool Sunny(const uint8_t* p) { return p[0] > 200 && p[1] > 150 && p[2] < 120; }
bool Sky(const uint8_t* p) { return p[2] > 170 && p[0] < 170 && p[2] > p[0] + 40; }

void KeepArtefact(const fs::path& shot, const std::string& name) {
  if (kArtefacts.empty() || !fs::exists(shot)) return;
  fs::create_directories(kArtefacts);
  fs::copy_file(shot, fs::path(kArtefacts) / name, fs::copy_options::overwrite_existing);
}

}  // namespace

TEST(CoralinDialogSession, OpensWithBothPanesShowingPicturesAndTheSizeFilledIn) {
  Workdir wd;
  Spit(wd / "ui", "read 1063\nread 1082\nshot " + HostPath(wd / "open.png") + "\npress 2\n");
  Result r = wd.Filter(kSamples / "picture.png", {"--ui", HostPath(wd / "ui"), "--save-as", HostPath(wd / "x.jpg")});
  EXPECT_NE(r.status, 0) << "cancelled";
  EXPECT_TRUE(Has(r.err, "dialog \"Coralin[tm] 6.0\"")) << r.err;
  EXPECT_TRUE(Has(r.err, "plughost: ui read 1063: ")) << r.err;
  EXPECT_TRUE(Has(r.err, " bytes")) << "the size text is filled in: " << r.err;
  if (kWine.empty()) {
    EXPECT_TRUE(Has(r.err, "a headless dialog has no pixels")) << r.err;
    return;
  }
  ASSERT_TRUE(Has(r.err, "open.png: saved")) << r.err;
  const Image shot = plughost::ReadPng((wd / "open.png").string());
  KeepArtefact(wd / "open.png", "dialog-open.png");
  // The sample's sun and sky in the original pane (left) and in the JPEG pane (right).
  const auto sun = CountHalves(shot, Sunny), sky = CountHalves(shot, Sky);
  EXPECT_GT(sun.first, 200) << "original pane";
  EXPECT_GT(sun.second, 200) << "JPEG pane";
  EXPECT_GT(sky.first, 2000) << "original pane";
  EXPECT_GT(sky.second, 2000) << "JPEG pane";
}

TEST(CoralinDialogSession, QualityFindPresetAndOkWriteTheNativeBytes) {
  Workdir wd;
  const fs::path in = kSamples / "picture.png";
  const std::string script = "set 1054 80\nset 1083 50\npress 1084\nread 1054\npress 1026\nset 1002 Web fifty\npress 1\n"
                             "read 1023\npress 1\n";
  Spit(wd / "ui", script);
  Result r = wd.Filter(in, {"--ui", HostPath(wd / "ui"), "--save-as", HostPath(wd / "out.jpg")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.err, "dialog \"New Preset\"")) << r.err;
  EXPECT_TRUE(Has(r.err, "plughost: ui read 1023: Web fifty [entry 2 of 3]")) << r.err;
  const fs::path native = wd / "native";
  Spit(wd / "native.ui", script);
  Result n = NativeFilter(native, in, {"--ui", (wd / "native.ui").string(), "--save-as", (native / "out.jpg").string()});
  ASSERT_EQ(n.status, 0) << n.err;
  const std::string bytes = Slurp(wd / "out.jpg");
  EXPECT_FALSE(bytes.empty());
  EXPECT_EQ(bytes, Slurp(native / "out.jpg")) << "the session writes what it writes natively";
  // The quality the search settled on is the one both read back.
  const auto quality = [](const std::string& err) {
    const size_t at = err.find("plughost: ui read 1054: ");
    return at == std::string::npos ? std::string() : err.substr(at, err.find('\n', at) - at);
  };
  EXPECT_EQ(quality(r.err), quality(n.err));
}

TEST(CoralinDialogSession, ZoomingInSevenTimesReads800PercentAndCtrlShiftClickZoomsOut) {
  Workdir wd;
  std::string ui;
  for (int i = 0; i < 7; ++i) ui += "press 1051\n";
  ui += "read 1066\nread 1069\nread 1051\nshot " + HostPath(wd / "zoom.png") + "\n";
  ui += "mouse 1003 down 20 20 ctrl shift\nmouse 1003 up 20 20 ctrl shift\nread 1066\nread 1051\npress 2\n";
  Spit(wd / "ui", ui);
  Result r = wd.Filter(kSamples / "picture.png", {"--ui", HostPath(wd / "ui"), "--save-as", HostPath(wd / "x.jpg")});
  EXPECT_TRUE(Has(r.err, "plughost: ui read 1066: Original 800.0%\n")) << r.err;
  EXPECT_TRUE(Has(r.err, "plughost: ui read 1069: JPEG 800.0%\n")) << r.err;
  EXPECT_TRUE(Has(r.err, "plughost: ui read 1051: + [disabled]\n")) << r.err;
  EXPECT_TRUE(Has(r.err, "plughost: ui read 1066: Original 700.0%\n")) << "a Ctrl+Shift click zooms out: " << r.err;
  EXPECT_TRUE(Has(r.err, "plughost: ui read 1051: +\n")) << r.err;
  KeepArtefact(wd / "zoom.png", "dialog-zoom-800.png");
  EXPECT_FALSE(fs::exists(wd / "x.jpg"));
}

TEST(CoralinDialogSession, ResizingMovesTheAnchoredControls) {
  Workdir wd;
  // A size below the first one is grown back to it (a stored larger placement is undone).
  Spit(wd / "ui", "size 400 200\nplace 1\nplace 1000\nplace 1003\nplace 1014\nplace 1026\nsize 900 560\nplace 1\nplace 1000\n"
                  "place 1003\nplace 1014\nplace 1026\nshot " + HostPath(wd / "resized.png") +
                  // Back to the first size, which is kept for the sessions after this one.
                  "\nsize 400 200\npress 2\n");
  Result r = wd.Filter(kSamples / "picture.png", {"--ui", HostPath(wd / "ui"), "--save-as", HostPath(wd / "x.jpg")});
  const auto ok0 = Placed(r.err, 1), ok1 = Placed(r.err, 1, 1);
  ASSERT_EQ(ok1.size(), 4u) << r.err;
  const int dw = ok1[0] - ok0[0], dh = ok1[1] - ok0[1];
  EXPECT_GT(dw, 100) << r.err;
  EXPECT_GT(dh, 50) << r.err;
  // OK moves with both edges; the original pane widens by half; the JPEG pane moves right by
  // half and widens by half; the switches move right only; the preset buttons down only.
  const auto o0 = Placed(r.err, 1000), o1 = Placed(r.err, 1000, 1);
  const auto j0 = Placed(r.err, 1003), j1 = Placed(r.err, 1003, 1);
  const auto p0 = Placed(r.err, 1014), p1 = Placed(r.err, 1014, 1);
  const auto a0 = Placed(r.err, 1026), a1 = Placed(r.err, 1026, 1);
  ASSERT_FALSE(o1.empty() || j1.empty() || p1.empty() || a1.empty()) << r.err;
  EXPECT_EQ(o1[0], o0[0]);
  EXPECT_EQ(o1[2], o0[2] + dw / 2);
  EXPECT_EQ(o1[3], o0[3] + dh);
  EXPECT_EQ(j1[0], j0[0] + dw / 2);
  EXPECT_EQ(j1[2], j0[2] + dw / 2);
  EXPECT_EQ(p1[0], p0[0] + dw);
  EXPECT_EQ(p1[1], p0[1]);
  EXPECT_EQ(a1[0], a0[0]);
  EXPECT_EQ(a1[1], a0[1] + dh);
  KeepArtefact(wd / "resized.png", "dialog-resized.png");
}

TEST(CoralinDialogSession, CancelWritesNothing) {
  Workdir wd;
  Spit(wd / "ui", "set 1054 90\npress 2\n");
  Result r = wd.Filter(kSamples / "picture.png", {"--ui", HostPath(wd / "ui"), "--save-as", HostPath(wd / "x.jpg")});
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.status, 124) << "left waiting: " << r.err;
  EXPECT_FALSE(Has(r.err, "save dialog")) << r.err;
  EXPECT_FALSE(fs::exists(wd / "x.jpg"));
}

namespace {

// Where a pane sits in a shot of the whole window: the client area begins after the frame,
// which Wine without a window manager leaves black. A margin keeps the comparison inside the
// pane whatever the frame is.
struct Crop {
  int x0 = 0, y0 = 0, w = 0, h = 0;
};
Crop PaneInShot(const Image& shot, const std::vector<int>& pane) {
  auto black = [](const uint8_t* p) { return p[0] < 8 && p[1] < 8 && p[2] < 8; };
  int fx = 0, fy = 0;
  while (fx < 40 && fx < shot.width && black(shot.Pixel(fx, shot.height / 2))) ++fx;
  while (fy < 60 && fy < shot.height && black(shot.Pixel(shot.width / 2, fy))) ++fy;
  const int margin = 12;
  Crop c{fx + pane[0] + margin, fy + pane[1] + margin, pane[2] - 2 * margin, pane[3] - 2 * margin};
  c.w = std::min(c.w, shot.width - c.x0);
  c.h = std::min(c.h, shot.height - c.y0);
  return c;
}

// The share of a pane's pixels after a drag by (dx, dy) that show what was (-dx, -dy) away before.
double Shifted(const Image& before, const Image& after, const Crop& c, int dx, int dy) {
  int same = 0, all = 0;
  for (int y = std::max(0, dy); y < c.h + std::min(0, dy); ++y)
    for (int x = std::max(0, dx); x < c.w + std::min(0, dx); ++x) {
      const uint8_t* a = after.Pixel(c.x0 + x, c.y0 + y);
      const uint8_t* b = before.Pixel(c.x0 + x - dx, c.y0 + y - dy);
      ++all;
      if (a[0] == b[0] && a[1] == b[1] && a[2] == b[2]) ++same;
    }
  return all ? static_cast<double>(same) / all : 0.0;
}

}  // namespace

TEST(CoralinDialogSession, TooltipsOfEveryControlThatHasOne) {
  const std::vector<std::pair<int, std::string>> tips = {
      {1019, "Toggle to show the original image"},
      {1020, "Toggle to show the JPEG as it will appear with the current configuration"},
      {1010, "Select the simulated download speed"},
      {1014, "Toggle to save the JPEG in a progressive format"},
      {1016, "Toggle to increse image sampling"},
      {1018, "Use Huffman optimization"},
      {1054, "Quality scale (0 - 100)"},
      {1055, "Adjust quality factor"},
      {1056, "Smoothing scale (0 - 100)"},
      {1079, "Adjust smoothing factor"},
      {1087, "Smoothing alters the entire image"},
      {1085, "Smoothing only alters areas that are foreground in the alpha channel"},
      {1086, "Smoothing only alters areas that are background in the alpha channel"},
      {1083, "Enter a desired file size (in Kb) and press the 'Find' Button"},
      {1084, "Changes JPEG settings to approximate desired final file size"},
      {1023, "Available configuration presets"},
      {1026, "Remember the current configuration for later use"},
      {1028, "Delete the current configuration"},
  };
  std::string ui;
  for (const auto& t : tips) ui += "tip " + std::to_string(t.first) + "\n";
  ui += "tip 1051\ntip 1\npress 2\n";
  Workdir wd;
  Spit(wd / "ui", ui);
  Result r = wd.Filter(kSamples / "picture.png", {"--alpha", "Sun=" + HostPath(kSamples / "sun-alpha.png"), "--ui",
                                                 HostPath(wd / "ui")});
  if (kWine.empty()) {
    EXPECT_TRUE(Has(r.err, "plughost: ui tip 1084: a headless dialog has no tooltips\n")) << r.err;
    return;
  }
  for (const auto& t : tips)
    EXPECT_TRUE(Has(r.err, "plughost: ui tip " + std::to_string(t.first) + ": " + t.second + "\n")) << r.err;
  EXPECT_TRUE(Has(r.err, "plughost: ui tip 1051: (none)\n")) << r.err;
  EXPECT_TRUE(Has(r.err, "plughost: ui tip 1: (none)\n")) << r.err;
  // Without extra planes the disabled Fore and Back radios say why.
  Spit(wd / "ui", "tip 1085\ntip 1086\ntip 1087\npress 2\n");
  r = wd.Filter(kSamples / "picture.png", {"--background", "--ui", HostPath(wd / "ui")});
  EXPECT_TRUE(Has(r.err, "plughost: ui tip 1085: Availible only for images with alpha channels\n")) << r.err;
  EXPECT_TRUE(Has(r.err, "plughost: ui tip 1086: Availible only for images with alpha channels\n")) << r.err;
  EXPECT_TRUE(Has(r.err, "plughost: ui tip 1087: Smoothing alters the entire image\n")) << r.err;
}

TEST(CoralinDialogSession, DraggingPansBothPanesTogether) {
  Workdir wd;
  // At 300% the 320 x 240 picture is larger than either pane, even in a dialog an earlier session
  // left enlarged (its size is kept); the drag goes 60 left and 40 up.
  Spit(wd / "ui", "press 1051\npress 1051\nplace 1000\nplace 1003\nshot " + HostPath(wd / "before.png") +
                      "\nmouse 1003 down 100 100\nmouse 1003 move 70 80\nmouse 1003 up 40 60\nshot " +
                      HostPath(wd / "after.png") + "\npress 2\n");
  Result r = wd.Filter(kSamples / "picture.png", {"--ui", HostPath(wd / "ui")});
  EXPECT_NE(r.status, 124) << "left waiting: " << r.err;
  if (kWine.empty()) return;  // the panning arithmetic is the controller's, tested natively
  ASSERT_TRUE(Has(r.err, "after.png: saved")) << r.err;
  const Image before = plughost::ReadPng((wd / "before.png").string());
  const Image after = plughost::ReadPng((wd / "after.png").string());
  KeepArtefact(wd / "after.png", "dialog-panned.png");
  const auto original = Placed(r.err, 1000), jpeg = Placed(r.err, 1003);
  ASSERT_FALSE(original.empty() || jpeg.empty()) << r.err;
  ASSERT_EQ(before.width, after.width);
  ASSERT_EQ(before.height, after.height);
  for (const auto& pane : {original, jpeg}) {
    const Crop c = PaneInShot(before, pane);
    EXPECT_GT(Shifted(before, after, c, -60, -40), 0.95) << "the pane at " << pane[0] << " moved with the drag";
    EXPECT_LT(Shifted(before, after, c, 0, 0), 0.8) << "the pane at " << pane[0] << " did not move";
  }
}

TEST(CoralinDialogSession, TabMovesTheFocusAndEscapeCancelsWritingNothing) {
  Workdir wd;
  Spit(wd / "ui", "focus\nkey tab\nfocus\nkey tab\nfocus\nset 1054 90\nkey escape\n");
  Result r = wd.Filter(kSamples / "picture.png", {"--ui", HostPath(wd / "ui"), "--save-as", HostPath(wd / "x.jpg")});
  EXPECT_EQ(r.status, 4) << "cancelled: " << r.err;
  EXPECT_FALSE(Has(r.err, "save dialog")) << r.err;
  EXPECT_FALSE(fs::exists(wd / "x.jpg"));
  if (kWine.empty()) {
    EXPECT_TRUE(Has(r.err, "plughost: ui key tab: a headless dialog has no focus\n")) << r.err;
    return;
  }
  std::vector<int> focus;
  for (int i = 0; i < 3; ++i) {
    const std::string line = Line(r.err, "focus:", i);
    focus.push_back(std::atoi(line.substr(line.find(':') + 1).c_str()));
  }
  EXPECT_GT(focus[0], 0) << r.err;
  EXPECT_NE(focus[1], focus[0]) << r.err;
  EXPECT_NE(focus[2], focus[1]) << r.err;
  EXPECT_NE(focus[2], 0) << r.err;
}

TEST(CoralinDialogSession, FindShowsItsProgressWindowAtOnceAndCancelStopsTheSearch) {
  Workdir wd;
  // Noise compresses slowly, so the search is still running when the user's Cancel comes.
  Image img;
  img.width = 1600;
  img.height = 1200;
  img.hasAlpha = false;
  img.rgba.resize(static_cast<size_t>(img.width) * img.height * 4, 255);
  uint32_t seed = 12345;
  for (size_t i = 0; i < img.rgba.size(); ++i) {
    if (i % 4 == 3) continue;
    seed = seed * 1664525u + 1013904223u;
    img.rgba[i] = static_cast<uint8_t>(seed >> 24);
  }
  plughost::WritePng((wd / "noise.png").string(), img);
  Spit(wd / "ui", "set 1054 70\nset 1083 50\npress 1084\nbusy press 2\nread 1054\npress 2\n");
  // The Windows host answers each dialog after 20 ms instead of 300, well inside the search.
  setenv("QM_ANSWER_DELAY_MS", "20", 1);
  Result r = wd.Filter(wd / "noise.png", {"--ui", HostPath(wd / "ui"), "--save-as", HostPath(wd / "x.jpg")});
  unsetenv("QM_ANSWER_DELAY_MS");
  EXPECT_EQ(r.status, 4) << r.err;
  EXPECT_TRUE(Has(r.err, "dialog \"Targeting File Size")) << r.err;
  EXPECT_TRUE(Has(r.err, "plughost: ui read 1054: 70\n")) << "the quality from before the search: " << r.err;
  EXPECT_FALSE(fs::exists(wd / "x.jpg"));
  // On screen the search has begun by the time the window is first seen: its caption carries
  // the progress.
  if (!kWine.empty()) {
    EXPECT_TRUE(Has(r.err, "dialog \"Targeting File Size : ")) << r.err;
  }
}

TEST(CoralinDialogSession, AHostWithoutDescriptorSuitesStillGetsTheDialogAndAWorkingRun) {
  Workdir wd;
  Spit(wd / "ui", "set 1054 70\nread 1054\npress 1\n");
  Result r = wd.Filter(kSamples / "picture.png",
                       {"--no-scripting", "--ui", HostPath(wd / "ui"), "--save-as", HostPath(wd / "out.jpg")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.err, "dialog \"Coralin[tm] 6.0\"")) << r.err;
  EXPECT_TRUE(Has(r.err, "plughost: ui read 1054: 70\n")) << r.err;
  const std::string bytes = Slurp(wd / "out.jpg");
  ASSERT_GT(bytes.size(), 4u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xD8") << "a JPEG";
  // The same session with the suites there writes the same file.
  Spit(wd / "ui", "set 1054 70\npress 1\n");
  r = wd.Filter(kSamples / "picture.png", {"--ui", HostPath(wd / "ui"), "--save-as", HostPath(wd / "with.jpg")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Slurp(wd / "with.jpg"), bytes);
}

TEST(CoralinDialogSession, AboutBoxShowsItsSplash) {
  Workdir wd;
  Spit(wd / "ui", "place 0\nshot " + HostPath(wd / "about.png") + "\ndefault\npress 2\n");
  Result r = wd.Filter(kSamples / "picture.png", {"--about", "--ui", HostPath(wd / "ui")});
  EXPECT_TRUE(Has(r.err, "dialog \"About Coralin\"")) << r.err;
  if (kWine.empty()) return;
  ASSERT_TRUE(Has(r.err, "about.png: saved")) << r.err;
  const Image shot = plughost::ReadPng((wd / "about.png").string());
  KeepArtefact(wd / "about.png", "about-box.png");
  // The splash's navy-to-teal sea and its coral branch.
  const auto sea = CountHalves(shot, [](const uint8_t* p) { return p[2] > p[0] + 30 && p[1] > p[0]; });
  const auto coral = CountHalves(shot, [](const uint8_t* p) { return p[0] > 220 && p[1] > 100 && p[1] < 160 && p[2] < 130; });
  EXPECT_GT(sea.first + sea.second, 470 * 316 / 2) << "most of the box is the splash";
  EXPECT_GT(coral.first, 100) << "the coral branch sits in the left half";
  EXPECT_GE(shot.width, 472);
  EXPECT_GE(shot.height, 318);
}
