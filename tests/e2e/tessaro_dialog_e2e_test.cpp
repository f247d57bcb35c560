// The Tessaro conversion dialog driven by plughost --ui scripts, as a user at the dialog
// would: what the session chooses is what the image gets.
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

#include "PlughostRun.h"
#include "plughost/image.h"

namespace fs = std::filesystem;
using e2e::Env;
using e2e::Result;
using e2e::Slurp;

namespace {

// A folder with a copy of the plug-in, so that its settings file is this test's alone.
class DialogSession : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("qm_tdialog_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    plugin_ = dir_ / fs::path(QM_NATIVE_TESSARO).filename();
    fs::copy_file(QM_NATIVE_TESSARO, plugin_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path Ini() const { return dir_ / "Tessaro.ini"; }
  void Write(const fs::path& p, const std::string& text) const { std::ofstream(p, std::ios::binary) << text; }

  Result Open(const std::string& out, const std::string& script, std::vector<std::string> options = {}) const {
    std::vector<std::string> args{"open", plugin_.string(), QM_SAMPLE_MRW, "-o", (dir_ / out).string(),
                                  "--format", "png", "--progress", "quiet"};
    if (!script.empty()) {
      Write(dir_ / "session.ui", script);
      args.insert(args.end(), {"--ui", (dir_ / "session.ui").string()});
    }
    args.insert(args.end(), options.begin(), options.end());
    return e2e::PlughostRun(QM_NATIVE_PLUGHOST).In(dir_, args);
  }
  plughost::Image Png(const std::string& name) const { return plughost::ReadPng((dir_ / name).string()); }

  fs::path dir_, plugin_;
};

// The settings of the session below, as a preset named "default" that read start applies.
constexpr char kSameAsPreset[] =
    "[GeneralSettings]\nDisplayUI = 0\n\n[default]\nWB = Camera\nCamera = Daylight\nExposure = 0.75\n"
    "Saturation = 0\nContrast = 0\nPreciseContrast = 50\nPreciseGamma = 2.64\nShadows = 0\nHighlights = 100\n"
    "Interpolation = 7\nColorDepth = 0\nColorSpace = 0\nExtraSize = 1\nClipValues = 0\nHighlightsFix = 1\n"
    "ConvertToMonitor = 0\n";

TEST_F(DialogSession, WhatTheSessionChoosesIsWhatTheImageGets) {
  // Daylight, exposure typed then one large step up, bilinear, extra size, OK.
  Result a = Open("a.png", "pick 200 2\nset 300 0.5\npress 304\nread 300\npick 401 7\npress 410\npress 1\n");
  ASSERT_EQ(a.status, 0) << a.err;
  EXPECT_NE(a.err.find("plughost: ui read 300: 0.75"), std::string::npos) << a.err;
  ASSERT_TRUE(fs::exists(Ini())) << "OK writes the settings file";

  Write(Ini(), kSameAsPreset);
  Result b = Open("b.png", "");
  ASSERT_EQ(b.status, 0) << b.err;
  EXPECT_EQ(b.err.find("dialog"), std::string::npos) << b.err;
  const plughost::Image pa = Png("a.png"), pb = Png("b.png");
  EXPECT_EQ(pa.width, 62);  // bilinear keeps all but one pixel each side
  EXPECT_EQ(pa.width, pb.width);
  EXPECT_EQ(pa.height, pb.height);
  EXPECT_EQ(pa.rgba, pb.rgba);

  Write(Ini(), "[GeneralSettings]\nDisplayUI = 0\n");
  ASSERT_EQ(Open("c.png", "").status, 0);
  EXPECT_NE(Png("c.png").rgba, pa.rgba) << "the defaults give another picture";
}

TEST_F(DialogSession, CancelKeepsEverythingAndTypingGarbageChangesNothing) {
  Result c = Open("x.png", "set 300 2\npress 2\n");
  EXPECT_EQ(c.status, 4) << c.err;
  EXPECT_FALSE(fs::exists(dir_ / "x.png"));
  EXPECT_FALSE(fs::exists(Ini())) << "a cancelled dialog writes no settings file";

  Result g = Open("g.png", "set 300 lots\nread 300\npress 302\nread 300\nset 310 -500\npress 312\nread 310\npress 1\n");
  ASSERT_EQ(g.status, 0) << g.err;
  EXPECT_NE(g.err.find("plughost: ui read 300: lots"), std::string::npos) << g.err;
  EXPECT_NE(g.err.find("plughost: ui read 300: 0.1\n"), std::string::npos) << "a step starts from the value kept";
  EXPECT_NE(g.err.find("plughost: ui read 310: -69\n"), std::string::npos) << "typed values are held in bounds";
}

TEST_F(DialogSession, OnlyA16BitHostIsOffered48Bits) {
  Result narrow = Open("n.png", "read 403\npick 403 1\npress 1\n", {"--no-16bit"});
  ASSERT_EQ(narrow.status, 0) << narrow.err;
  EXPECT_NE(narrow.err.find("plughost: ui read 403: 24 bits [entry 0 of 2] [disabled]"), std::string::npos)
      << narrow.err;
  Result wide = Open("w.tif", "pick 403 1\npress 1\n", {"--format", "tiff"});
  ASSERT_EQ(wide.status, 0) << wide.err;
  EXPECT_NE(wide.out.find("16 bits"), std::string::npos) << wide.out;
}

TEST_F(DialogSession, PresetsMadeInTheDialogAreSavedOnOk) {
  Result r = Open("p.png",
                  "set 370 3300\nset 201 Studio lamp\npress 202\nset 300 -0.5\nset 501 Night\npress 503\n"
                  "pick 500 0\npress 504\nset 501 Dusk\npress 503\nlist 500\npress 1\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("plughost: ui list 500: Dusk"), std::string::npos) << r.err;
  const std::string ini = Slurp(Ini());
  EXPECT_NE(ini.find("\nStudio lamp = 3300; 0\n"), std::string::npos) << ini;
  EXPECT_NE(ini.find("\n[Dusk]\nWB = Temp\nTemp = 3300\n"), std::string::npos) << ini;
  EXPECT_EQ(ini.find("[Night]"), std::string::npos) << ini;
}

// Every setting of the dialog, each on its own: a session that changes it and presses OK gives
// the picture a preset holding the built-in defaults and that change gives.
TEST_F(DialogSession, EveryControlGivesWhatItsPresetKeyGives) {
  constexpr char kDefaults[] =
      "WB = Camera\nCamera = CameraSetting\nExposure = 0\nSaturation = 0\nContrast = 0\nDIVUContrast = 0\n"
      "PreciseContrast = 50\nPreciseGamma = 2.64\nShadows = 0\nHighlights = 100\nInterpolation = 12\n"
      "ColorDepth = 0\nColorSpace = 0\nExtraSize = 0\nClipValues = 0\nHighlightsFix = 1\nConvertToMonitor = 0\n";
  struct Row {
    const char* what;
    const char* before;  // the settings file the session starts from, if any
    const char* script;
    const char* keys;  // what the change is as preset keys, after the defaults
    bool changesTheSample;
  };
  const std::string bright = std::string("[GeneralSettings]\n\n[Bright]\n") + kDefaults + "Exposure = 1\nSaturation = 20\n";
  const Row rows[] = {
      {"white-balance preset", nullptr, "pick 200 2\n", "Camera = Daylight\n", true},
      {"coefficient", nullptr, "set 210 2.5\n", "WB = Coef\nCoefR = 2.5\nCoefG1 = 1\nCoefG2 = 1\nCoefB = 1.5\n", true},
      {"temperature", nullptr, "set 370 4000\n", "WB = Temp\nTemp = 4000\n", true},
      {"CC index", nullptr, "set 370 5000\nset 380 20\n", "WB = Temp\nTemp = 5000\nCCIndex = 20\n", true},
      {"exposure", nullptr, "set 300 -1\n", "Exposure = -1\n", true},
      {"saturation", nullptr, "set 310 40\n", "Saturation = 40\n", true},
      {"DIVU tone", nullptr, "pick 400 1\nset 320 2\n", "Contrast = 1\nDIVUContrast = 2\n", true},
      {"precise contrast", nullptr, "set 330 70\n", "PreciseContrast = 70\n", true},
      {"gamma", nullptr, "set 340 1.8\n", "PreciseGamma = 1.8\n", true},
      {"shadows", nullptr, "set 350 10\n", "Shadows = 10\n", true},
      {"highlights", nullptr, "set 360 80\n", "Highlights = 80\n", true},
      {"method", nullptr, "pick 401 3\n", "Interpolation = 3\n", true},
      {"colour space", nullptr, "pick 402 2\n", "ColorSpace = 2\n", true},
      {"extra size", nullptr, "press 410\n", "ExtraSize = 1\n", true},
      // These two act on raw values near the top, which the sample never reaches.
      {"clip values", nullptr, "press 411\n", "ClipValues = 1\n", false},
      {"highlights fix", nullptr, "press 412\n", "HighlightsFix = 0\n", false},
      {"monitor colour space", nullptr, "press 413\n", "ConvertToMonitor = 1\n", true},
      {"conversion preset applied", bright.c_str(), "pick 500 0\npress 502\n", "Exposure = 1\nSaturation = 20\n", true},
      {"defaults button", nullptr, "set 300 1\npick 401 3\npress 412\npress 505\n", "", false},
  };

  Write(Ini(), "[GeneralSettings]\nDisplayUI = 0\n");
  ASSERT_EQ(Open("defaults.png", "").status, 0);
  const plughost::Image defaults = Png("defaults.png");
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    fs::remove(Ini());
    if (r.before) Write(Ini(), r.before);
    const Result a = Open("a.png", std::string(r.script) + "press 1\n");
    ASSERT_EQ(a.status, 0) << a.err;
    Write(Ini(), std::string("[GeneralSettings]\nDisplayUI = 0\n\n[default]\n") + kDefaults + r.keys);
    const Result b = Open("b.png", "");
    ASSERT_EQ(b.status, 0) << b.err;
    const plughost::Image pa = Png("a.png"), pb = Png("b.png");
    EXPECT_EQ(pa.width, pb.width);
    EXPECT_EQ(pa.height, pb.height);
    EXPECT_TRUE(pa.rgba == pb.rgba) << "the session's picture is not the preset's";
    EXPECT_EQ(pa.rgba != defaults.rgba, r.changesTheSample);
  }
}

}  // namespace

TEST_F(DialogSession, PreviewFollowsSizeAndWarningsAndTheOptionsAreKept) {
  Result r = Open("p.png", "read 802\npress 812\npick 820 1\nread 802\npick 821 3\npress 824\nread 600\npress 1\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("ui read 802: Preview 8 x 6 (1/8)\n"), std::string::npos) << r.err;  // the bundled 64 x 48
  EXPECT_NE(r.err.find("ui read 802: Preview 16 x 12 (1/4), clipping shown\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("RIF values: 0.300781 0.292969 0.113281 0.292969 -0.167969 -0.167969 0.5 -0.164062 "
                       "0.5 -0.207031 -0.0859375 -0.207031"), std::string::npos);
  EXPECT_NE(r.err.find("Profile: Dimage A1Mod (RAW g2200)"), std::string::npos);
  const std::string ini = Slurp(Ini());
  EXPECT_NE(ini.find("HighlightsWarningPost = 1\n"), std::string::npos) << ini;
  EXPECT_NE(ini.find("PreviewSize = 2\n"), std::string::npos);
  EXPECT_NE(ini.find("HistogramColor = 3\n"), std::string::npos);
  EXPECT_NE(ini.find("HistogramScale = 1\n"), std::string::npos);
  // Cancel keeps the file's options as they were.
  Result c = Open("c.png", "press 813\npress 2\n");
  EXPECT_NE(c.status, 0);
  EXPECT_NE(Slurp(Ini()).find("FocusArea = 1\n"), std::string::npos);
}

// --- The dialog on screen: with QM_WINE set, the Windows plughost opens the Windows plug-in
// and plays the same scripts on the real dialog under Wine; natively the same sessions run
// headless. Screenshots are kept in QM_ARTEFACTS when it is set.
namespace {

const std::string kWine = Env("QM_WINE", "");
const std::string kHost = Env("QM_PLUGHOST", QM_NATIVE_PLUGHOST);
const std::string kPlugin = Env("QM_TESSARO", QM_NATIVE_TESSARO);
const std::string kArtefacts = Env("QM_ARTEFACTS", "");

// One run of plughost open in a folder of its own, with its own copy of the plug-in (whose
// settings file lands beside it).
class Screen {
 public:
  Screen(const std::string& name, bool windows) : windows_(windows) {
    dir_ = fs::temp_directory_path() / ("qm_tscreen_" + std::to_string(::getpid()) + "_" + name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    plugin_ = dir_ / fs::path(windows ? kPlugin : QM_NATIVE_TESSARO).filename();
    fs::copy_file(windows ? kPlugin : QM_NATIVE_TESSARO, plugin_);
  }
  ~Screen() { fs::remove_all(dir_); }
  fs::path operator/(const std::string& n) const { return dir_ / n; }
  // The name the host is given for a file here.
  std::string Host(const fs::path& p) const {
    return windows_ ? e2e::WinePath(p) : p.string();
  }
  Result Open(const std::string& script, const std::string& out) const {
    std::ofstream(dir_ / "session.ui", std::ios::binary) << script;
    return e2e::PlughostRun(windows_ ? kHost : QM_NATIVE_PLUGHOST)
        .Wine(windows_ ? kWine : "", 240)
        .In(dir_, {"open", Host(plugin_), Host(QM_SAMPLE_MRW), "-o", Host(dir_ / out), "--format", "png", "--progress",
                   "quiet", "--ui", Host(dir_ / "session.ui")});
  }
  bool Windows() const { return windows_; }

 private:
  bool windows_;
  fs::path dir_, plugin_;
};

bool Has(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }

void KeepArtefact(const fs::path& shot, const std::string& name) {
  if (kArtefacts.empty() || !fs::exists(shot)) return;
  fs::create_directories(kArtefacts);
  fs::copy_file(shot, fs::path(kArtefacts) / name, fs::copy_options::overwrite_existing);
}

// "plughost: ui place ID: L T W H".
std::vector<int> Placed(const std::string& report, int id) {
  const std::string key = "plughost: ui place " + std::to_string(id) + ": ";
  const size_t at = report.find(key);
  if (at == std::string::npos) return {};
  std::vector<int> v(4, 0);
  if (std::sscanf(report.c_str() + at + key.size(), "%d %d %d %d", &v[0], &v[1], &v[2], &v[3]) != 4) return {};
  return v;
}

// Every "plughost: ui place ID" reading of a report, in order: left and top.
std::vector<std::pair<int, int>> Corners(const std::string& report, int id) {
  const std::string key = "plughost: ui place " + std::to_string(id) + ": ";
  std::vector<std::pair<int, int>> v;
  for (size_t at = report.find(key); at != std::string::npos; at = report.find(key, at + 1)) {
    int l = 0, t = 0;
    if (std::sscanf(report.c_str() + at + key.size(), "%d %d", &l, &t) == 2) v.emplace_back(l, t);
  }
  return v;
}

// The numbers of a settings file's "KEY = N" lines.
int Setting(const std::string& ini, const std::string& key) {
  const std::string k = "\n" + key + " = ";
  const size_t at = ini.find(k);
  return at == std::string::npos ? -99999 : std::atoi(ini.c_str() + at + k.size());
}

// A session of drags, for a dialog `width` pixels wide from the corner (100, 50): the dialog
// to (20, 30), the glued preview beside it 6 pixels off (it snaps back), then 250 pixels left
// and down (it stays and comes loose), the dialog to (60, 40) without it, and OK.
std::string DragSession(int width, const std::string& ok) {
  const int gx = 20 + width;
  return "place 900\nmove 0 20 30\nplace 900\nmove 900 " + std::to_string(gx + 6) + " 26\nplace 900\nmove 900 " +
         std::to_string(gx - 250) + " 280\nplace 900\nmove 0 60 40\nplace 900\n" + ok;
}
constexpr char kDialogAt100And50[] = "[GeneralSettings]\nDialogPositionX = 100\nDialogPositionY = 50\n";

// What the preview painter puts around a picture that does not fill its control.
bool Surround(const uint8_t* p) { return p[0] == 48 && p[1] == 48 && p[2] == 48; }
// The system's face colours (Wine's and the classic one): what an unpainted control shows.
bool Face(const uint8_t* p) {
  return p[0] == p[1] && p[1] == p[2] && (p[0] == 240 || p[0] == 192 || p[0] == 212);
}

}  // namespace

TEST(TessaroDialogOnScreen, OpensWithAPictureInItsPreview) {
  Screen s("open", !kWine.empty());
  // The half-size preview (32 x 24 of the bundled 64 x 48 frame), without a colour matrix and
  // two stops down, then a look at it.
  const std::string shot = s.Host(s / "open.png");
  Result r = s.Open("pick 820 0\npick 402 1\nset 300 -2\nread 802\nplace 800\nshot " + shot + "\npress 2\n", "x.png");
  EXPECT_NE(r.status, 0) << "cancelled";
  EXPECT_NE(r.status, 124) << "left waiting: " << r.err;
  EXPECT_TRUE(Has(r.err, "plughost: dialog \"Tessaro\"")) << r.err;
  EXPECT_TRUE(Has(r.err, "plughost: ui read 802: Preview 32 x 24 (1/2)")) << r.err;
  EXPECT_FALSE(fs::exists(s / "x.png"));
  if (!s.Windows()) {
    EXPECT_TRUE(Has(r.err, "a headless dialog has no pixels")) << r.err;
    return;
  }
  ASSERT_TRUE(Has(r.err, "open.png: saved")) << r.err;
  KeepArtefact(s / "open.png", "dialog-open.png");
  const std::vector<int> place = Placed(r.err, 800);
  ASSERT_EQ(place.size(), 4u) << r.err;
  const plughost::Image img = plughost::ReadPng((s / "open.png").string());
  // The painted preview: its first surround pixel is the control's top left corner (the
  // wider control leaves bands left and right of the picture), and the control's size reaches
  // the other corners of the surround, no further.
  int l = -1, t = -1;
  for (int32_t y = 0; y < img.height && l < 0; ++y)
    for (int32_t x = 0; x < img.width; ++x)
      if (Surround(img.Pixel(x, y))) {
        l = x;
        t = y;
        break;
      }
  ASSERT_GE(l, 0) << "no preview control painted";
  const int rt = l + place[2] - 1, b = t + place[3] - 1;
  ASSERT_LT(rt + 1, img.width);
  ASSERT_LT(b + 1, img.height);
  EXPECT_TRUE(Surround(img.Pixel(rt, t)));
  EXPECT_TRUE(Surround(img.Pixel(l, b)));
  EXPECT_TRUE(Surround(img.Pixel(rt, b)));
  EXPECT_FALSE(Surround(img.Pixel(rt + 1, t)));
  EXPECT_FALSE(Surround(img.Pixel(l, b + 1)));
  // Inside it a picture: no face grey, and many colours.
  int face = 0, picture = 0;
  std::vector<uint32_t> colours;
  for (int32_t y = t; y <= b; ++y)
    for (int32_t x = l; x <= rt; ++x) {
      const uint8_t* p = img.Pixel(x, y);
      if (Surround(p)) continue;
      ++picture;
      face += Face(p);
      const uint32_t c = uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
      if (std::find(colours.begin(), colours.end(), c) == colours.end()) colours.push_back(c);
    }
  EXPECT_GT(picture, place[2] * place[3] / 2) << "the picture fills most of the control";
  EXPECT_EQ(face, 0);
  EXPECT_GE(colours.size(), 16u) << "a picture, not a flat fill";
}

TEST(TessaroDialogOnScreen, TheInformationWindowReadsAsTheNativeOne) {
  // The information window and the 100% view shown beside the preview. The information is a
  // scrolled multi-line edit on Windows: its lines read with plain line ends, as headlessly.
  const std::string script = "press 831\npress 815\nread 600\n";
  Screen s("info", !kWine.empty());
  const std::string shot = s.Host(s / "info.png");
  Result r = s.Open(script + "shot " + shot + "\npress 2\n", "x.png");
  EXPECT_EQ(r.status, 4) << r.err;
  Screen n("info_native", false);
  Result rn = n.Open(script + "press 2\n", "x.png");
  const auto info = [](const std::string& err) {
    const size_t from = err.find("plughost: ui read 600: "), to = err.find("Last conversion: ", from);
    return from == std::string::npos || to == std::string::npos ? std::string() : err.substr(from, to - from);
  };
  EXPECT_NE(info(rn.err), "") << rn.err;
  EXPECT_EQ(info(r.err), info(rn.err));
  if (s.Windows()) KeepArtefact(s / "info.png", "dialog-info.png");
}

TEST(TessaroDialogOnScreen, ScriptedSessionWritesTheNativePixels) {
  // Daylight, exposure typed and one large step up, bilinear, OK.
  const std::string script = "pick 200 2\nset 300 0.5\npress 304\nread 300\npick 401 7\npress 1\n";
  Screen s("session", !kWine.empty());
  Result r = s.Open(script, "out.png");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.err, "plughost: ui read 300: 0.75")) << r.err;
  EXPECT_TRUE(fs::exists(s / "Tessaro.ini")) << "OK writes the settings file beside the plug-in";
  Screen n("session_native", false);
  Result rn = n.Open(script, "out.png");
  ASSERT_EQ(rn.status, 0) << rn.err;
  const plughost::Image a = plughost::ReadPng((s / "out.png").string());
  const plughost::Image b = plughost::ReadPng((n / "out.png").string());
  EXPECT_EQ(a.width, 56);  // bilinear, four pixels cut each side
  EXPECT_EQ(a.width, b.width);
  EXPECT_EQ(a.height, b.height);
  EXPECT_TRUE(a.rgba == b.rgba) << "the session gives the native pixels";
  // The same settings file but for the windows' places (the system's frames and fonts size
  // them) and the line ends of a text file there.
  const auto settings = [](const fs::path& p) {
    std::string kept, line;
    std::istringstream in(Slurp(p));
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.find("Position") == std::string::npos) kept += line + "\n";
    }
    return kept;
  };
  EXPECT_EQ(settings(s / "Tessaro.ini"), settings(n / "Tessaro.ini"));
}

// --- The dialog's own place and its preview and information windows. Headlessly every window
// is as large as its template (dialog units at 96 dots per inch: the dialog 687 x 425, the
// preview 309 x 455, the information 300 x 195) on a 1024 x 768 screen.
TEST_F(DialogSession, WindowsOpenWhereTheOptionsSayAndTheirPlacesAreKeptOnOk) {
  Write(Ini(), "[GeneralSettings]\nDialogPositionX = 100\nDialogPositionY = 50\n");
  Result r = Open("w.png",
                  "place 900\nread 900\nread 901\nread 832\npress 832\nplace 900\npress 830\npress 831\nplace 901\n"
                  "read 900\nread 600\npress 1\n");
  ASSERT_EQ(r.status, 0) << r.err;
  // Glued beside the dialog: to its right while across, below it once upright.
  EXPECT_NE(r.err.find("ui place 900: 787 50 309 455\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("ui read 900: Tessaro preview\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("ui read 901: Tessaro information [hidden]\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("ui read 832: Windows beside the dialog [checked]\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("ui place 900: 100 475 309 455\n"), std::string::npos) << r.err;
  // The information window takes the hidden preview's place.
  EXPECT_NE(r.err.find("ui place 901: 100 475 300 195\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("ui read 900: Tessaro preview [hidden]\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("ui read 600: Model: "), std::string::npos) << "the information is in its window: " << r.err;
  const std::string ini = Slurp(Ini());
  for (const char* line : {"DialogOrientation = 0\n", "DialogPositionX = 100\n", "DialogPositionY = 50\n",
                           "PreviewVisible = 0\n", "PreviewGlued = 1\n", "PreviewPositionX = 100\n",
                           "PreviewPositionY = 475\n", "PreviewPositionXend = 409\n", "PreviewPositionYend = 930\n",
                           "InfoVisible = 1\n", "InfoPositionX = 100\n", "InfoPositionY = 475\n",
                           "InfoPositionXend = 400\n", "InfoPositionYend = 670\n"})
    EXPECT_NE(ini.find(std::string("\n") + line), std::string::npos) << line << ini;
}

TEST_F(DialogSession, APlaceOffTheScreenIsPulledBackALooseWindowStaysAndCancelKeepsTheFile) {
  const std::string options =
      "[GeneralSettings]\nDialogPositionX = 5000\nDialogPositionY = -300\nInfoVisible = 1\nInfoGlued = 0\n"
      "InfoPositionX = 10\nInfoPositionY = 20\nInfoPositionXend = 310\nInfoPositionYend = 215\n";
  Write(Ini(), options);
  Result c = Open("c.png", "place 900\nplace 901\nread 901\npress 2\n");
  EXPECT_NE(c.status, 0);
  EXPECT_NE(c.err.find("ui place 900: 1024 0 309 455\n"), std::string::npos) << c.err;  // dialog at 337, 0
  EXPECT_NE(c.err.find("ui place 901: 10 20 300 195\n"), std::string::npos) << c.err;
  EXPECT_NE(c.err.find("ui read 901: Tessaro information\n"), std::string::npos) << c.err;
  EXPECT_EQ(Slurp(Ini()), options) << "Cancel writes nothing";
  // Its close box hides a window; OK keeps that.
  Result ok = Open("o.png", "press 900\nread 830\npress 1\n");
  ASSERT_EQ(ok.status, 0) << ok.err;
  EXPECT_NE(ok.err.find("ui read 830: Preview window [unchecked]\n"), std::string::npos) << ok.err;
  const std::string ini = Slurp(Ini());
  EXPECT_NE(ini.find("\nPreviewVisible = 0\n"), std::string::npos) << ini;
  EXPECT_NE(ini.find("\nDialogPositionX = 337\nDialogPositionY = 0\n"), std::string::npos) << ini;
  EXPECT_NE(ini.find("\nInfoGlued = 0\nInfoPositionX = 10\nInfoPositionY = 20\n"), std::string::npos) << ini;
}

TEST_F(DialogSession, DraggedWindowsFollowSnapBackOrComeLooseAndOkKeepsWhereTheyAre) {
  Write(Ini(), kDialogAt100And50);
  Result r = Open("d.png", DragSession(687, "press 1\n"));
  ASSERT_EQ(r.status, 0) << r.err;
  // Glued beside the dialog, following it; back beside it from 6 pixels off; left where it
  // was dropped 250 pixels away, and no longer following.
  EXPECT_EQ(Corners(r.err, 900),
            (std::vector<std::pair<int, int>>{{787, 50}, {707, 30}, {707, 30}, {457, 280}, {457, 280}}))
      << r.err;
  const std::string ini = Slurp(Ini());
  for (const char* line : {"DialogPositionX = 60\n", "DialogPositionY = 40\n", "PreviewGlued = 0\n",
                           "PreviewPositionX = 457\n", "PreviewPositionY = 280\n", "PreviewPositionXend = 766\n",
                           "PreviewPositionYend = 735\n", "InfoGlued = 1\n", "InfoPositionX = 457\n",
                           "InfoPositionY = 735\n"})
    EXPECT_NE(ini.find(std::string("\n") + line), std::string::npos) << line << ini;
}

namespace {

// One drag session on one system, with what it depends on there: the dialog's outer width
// (where the glued preview opens beside it) and the preview's outer size.
struct Drags {
  int width = 0, previewWidth = 0, previewHeight = 0;
  std::vector<std::pair<int, int>> corners;  // the preview's, less the dialog's width
  std::vector<int> keys;                     // the settings file's window keys, likewise relative
};

void Drag(bool windows, const std::string& name, Drags& d) {
  Screen s(name, windows);
  std::ofstream(s / "Tessaro.ini", std::ios::binary) << kDialogAt100And50;
  Result probe = s.Open("place 900\npress 2\n", "p.png");
  ASSERT_NE(probe.status, 124) << "left waiting: " << probe.err;
  const std::vector<int> glued = Placed(probe.err, 900);
  ASSERT_EQ(glued.size(), 4u) << probe.err;
  EXPECT_EQ(glued[1], 50) << probe.err;
  d.width = glued[0] - 100;
  d.previewWidth = glued[2];
  d.previewHeight = glued[3];
  ASSERT_GT(d.width, 0) << probe.err;
  Result r = s.Open(DragSession(d.width, "press 1\n"), "d.png");
  ASSERT_EQ(r.status, 0) << r.err;
  for (auto [l, t] : Corners(r.err, 900)) d.corners.emplace_back(l - d.width, t);
  const std::string ini = Slurp(s / "Tessaro.ini");
  const int px = Setting(ini, "PreviewPositionX"), pyEnd = Setting(ini, "PreviewPositionYend");
  d.keys = {Setting(ini, "DialogPositionX"), Setting(ini, "DialogPositionY"), Setting(ini, "DialogOrientation"),
            Setting(ini, "PreviewVisible"), Setting(ini, "PreviewGlued"), px - d.width,
            Setting(ini, "PreviewPositionY"), Setting(ini, "PreviewPositionXend") - px - d.previewWidth,
            pyEnd - Setting(ini, "PreviewPositionY") - d.previewHeight, Setting(ini, "InfoVisible"),
            Setting(ini, "InfoGlued"), Setting(ini, "InfoPositionX") - px, Setting(ini, "InfoPositionY") - pyEnd};
}

// "plughost: ui focus: N" readings in order.
std::vector<int> Focus(const std::string& report) {
  const std::string key = "plughost: ui focus: ";
  std::vector<int> v;
  for (size_t at = report.find(key); at != std::string::npos; at = report.find(key, at + 1))
    v.push_back(std::atoi(report.c_str() + at + key.size()));
  return v;
}

}  // namespace

TEST(TessaroDialogOnScreen, DraggedWindowsFollowSnapBackOrComeLooseAsInTheNativeSession) {
  Drags here;
  Drag(!kWine.empty(), "drag", here);
  if (HasFatalFailure()) return;
  // The system's frames and fonts size the windows; where they go for the drags does not
  // depend on it.
  const std::vector<std::pair<int, int>> followed{{100, 50}, {20, 30}, {20, 30}, {-230, 280}, {-230, 280}};
  EXPECT_EQ(here.corners, followed);
  const std::vector<int> kept{60, 40, 1, 1, 0, -230, 280, 0, 0, 0, 1, 0, 0};
  EXPECT_EQ(here.keys, kept);
  if (kWine.empty()) return;
  Drags native;
  Drag(false, "drag_native", native);
  EXPECT_EQ(here.corners, native.corners);
  EXPECT_EQ(here.keys, native.keys);
}

TEST(TessaroDialogOnScreen, TabMovesInsideThePreviewWindowWhereEnterAndEscapeAreTheDialogs) {
  // A click on a switch of the preview window gives it the focus (clicked twice, the switch
  // stays as it was): then Tab, and Enter, which is the dialog's OK, so the Cancel after it
  // is never taken.
  const std::string into = "press 813\npress 813\n";
  Screen s("keys", !kWine.empty());
  Result ok = s.Open(into + "focus\nkey tab\nfocus\nkey tab\nfocus\nkey enter\npress 2\n", "k.png");
  EXPECT_NE(ok.status, 124) << "left waiting: " << ok.err;
  EXPECT_EQ(ok.status, 0) << "Enter in the preview window is OK: " << ok.err;
  EXPECT_TRUE(fs::exists(s / "k.png"));
  Result cancel = s.Open(into + "key escape\npress 1\n", "c.png");
  EXPECT_EQ(cancel.status, 4) << "Escape in the preview window is Cancel: " << cancel.err;
  EXPECT_FALSE(fs::exists(s / "c.png"));
  if (!s.Windows()) {
    EXPECT_TRUE(Has(ok.err, "plughost: ui key tab: a headless dialog has no focus\n")) << ok.err;
    return;
  }
  // The switches in the order of the window's template: focus area, colour managed, 100% view.
  EXPECT_EQ(Focus(ok.err), (std::vector<int>{813, 814, 815})) << ok.err;
}
