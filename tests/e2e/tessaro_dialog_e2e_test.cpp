// The Tessaro conversion dialog driven by plughost --ui scripts, as a user at the dialog
// would: what the session chooses is what the image gets.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "plughost/image.h"

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct Result {
  int status = -1;
  std::string out, err;
};

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
    std::string cmd = "'" QM_NATIVE_PLUGHOST "' open '" + plugin_.string() + "' '" QM_SAMPLE_MRW "' -o '" +
                      (dir_ / out).string() + "' --format png --progress quiet";
    if (!script.empty()) {
      Write(dir_ / "session.ui", script);
      cmd += " --ui '" + (dir_ / "session.ui").string() + "'";
    }
    for (const auto& a : options) cmd += " '" + a + "'";
    cmd += " >'" + (dir_ / "stdout").string() + "' 2>'" + (dir_ / "stderr").string() + "'";
    const int raw = std::system(cmd.c_str());
    Result r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = Slurp(dir_ / "stdout");
    r.err = Slurp(dir_ / "stderr");
    return r;
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

}  // namespace

TEST_F(DialogSession, PreviewFollowsSizeAndWarningsAndTheOptionsAreKept) {
  Result r = Open("p.png", "read 802\npress 812\npick 820 1\nread 802\npick 821 3\npress 824\nread 600\npress 1\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("ui read 802: Preview 8 x 6 (1/8)\n"), std::string::npos) << r.err;  // the bundled 64 x 48
  EXPECT_NE(r.err.find("ui read 802: Preview 16 x 12 (1/4), clipping shown\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("RIF values: 1 2 3 4 5 6 7 8 9 10 11 12"), std::string::npos);
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
