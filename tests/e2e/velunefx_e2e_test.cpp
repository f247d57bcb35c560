// plughost drives VeluneFx as a user would: info, a point of light, a two-depth scene, a
// copy, a frame sequence with a pick, and the mistakes a user can make.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "PlughostRun.h"
#include "plughost/image.h"

namespace fs = std::filesystem;
using e2e::Result;
using plughost::Image;

namespace {

const std::string kPlughost = QM_NATIVE_PLUGHOST;
const std::string kEffect = QM_NATIVE_VELUNEFX;

class Velune : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("qm_velune_e2e_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string at(const std::string& name) const { return (dir_ / name).string(); }
  Result run(const std::vector<std::string>& args) const { return e2e::PlughostRun(kPlughost).In(dir_, args); }
  static Image flat(int32_t w, int32_t h, uint8_t v) {
    Image img;
    img.width = w;
    img.height = h;
    img.rgba.assign(static_cast<size_t>(w) * h * 4, v);
    for (size_t i = 3; i < img.rgba.size(); i += 4) img.rgba[i] = 255;
    return img;
  }
  fs::path dir_;
};

TEST_F(Velune, InfoShowsThePiPLAndTheEighteenParameters) {
  const Result r = run({"info", kEffect});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("kind: eFKT"), std::string::npos);
  EXPECT_NE(r.out.find("name: Velune5.6"), std::string::npos);
  EXPECT_NE(r.out.find("category: Corvel Optical Lab."), std::string::npos);
  EXPECT_NE(r.out.find("entry: main"), std::string::npos);
  EXPECT_NE(r.out.find("parameters: 18 (num_params 18)"), std::string::npos);
  EXPECT_NE(r.out.find("\"Bokeh Amount\": fixed slider, 0 to 300, default 20"), std::string::npos);
  EXPECT_NE(r.out.find("\"Quality\": popup, 5 choices \"Auto (Speed)|Auto (Quality)|Low|Normal|High\""),
            std::string::npos);
}

TEST_F(Velune, PointBecomesTheIrisAndZeroBokehCopies) {
  Image in = flat(81, 81, 0);
  for (int c = 0; c < 3; ++c) in.Pixel(40, 40)[c] = 255;
  plughost::WritePng(at("in.png"), in);
  Result r = run({"effect", kEffect, at("in.png"), "-o", at("out.png"), "--param", "Bokeh Amount=20", "--param",
                  "Iris Shape=Disc", "--param", "Quality=High"});
  ASSERT_EQ(r.status, 0) << r.err;
  const Image out = plughost::ReadPng(at("out.png"));
  int lit = 0;
  for (int32_t x = 0; x < 81; ++x) lit += out.Pixel(x, 40)[0] != 0;
  EXPECT_NEAR(lit, 21, 1);  // diameter 21
  r = run({"effect", kEffect, at("in.png"), "-o", at("copy.png"), "--param", "Bokeh Amount=0"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(plughost::ReadPng(at("copy.png")).rgba, in.rgba);
}

TEST_F(Velune, FramesShareOneSequenceAndThePickFocusesTheSubject) {
  Image depth = flat(60, 40, 0);
  for (int32_t y = 0; y < 40; ++y)
    for (int32_t x = 30; x < 60; ++x)
      for (int c = 0; c < 3; ++c) depth.Pixel(x, y)[c] = 200;
  for (int f = 1; f <= 3; ++f) {
    Image in = flat(60, 40, 30);
    for (int32_t y = 0; y < 40; ++y)
      for (int32_t x = 0; x < 60; ++x) in.Pixel(x, y)[1] = static_cast<uint8_t>((x * 7 + y * 3 + f * 11) % 256);
    char name[32];
    std::snprintf(name, sizeof name, "in%04d.png", f);
    plughost::WritePng(at(name), in);
    std::snprintf(name, sizeof name, "d%04d.png", f);
    plughost::WritePng(at(name), depth);
  }
  const Result r = run({"effect", kEffect, at("in%04d.png"), "-o", at("out%04d.png"), "--frames", "1:3", "--layer",
                        "Distance Layer=" + at("d%04d.png"), "--param", "Bokeh Amount=20", "--pick", "50,20"});
  ASSERT_EQ(r.status, 0) << r.err;
  for (int f = 1; f <= 3; ++f) {
    char name[32];
    std::snprintf(name, sizeof name, "%04d.png", f);
    const Image in = plughost::ReadPng(at(std::string("in") + name));
    const Image out = plughost::ReadPng(at(std::string("out") + name));
    // The picked (far) half is sharp away from the edge; the near half is blurred.
    for (int32_t x = 45; x < 60; ++x) EXPECT_EQ(out.Pixel(x, 20)[1], in.Pixel(x, 20)[1]) << f << " " << x;
    int differ = 0;
    for (int32_t x = 0; x < 20; ++x) differ += out.Pixel(x, 20)[1] != in.Pixel(x, 20)[1];
    EXPECT_GT(differ, 10) << f;
  }
}

TEST_F(Velune, MistakesGetOneLineAndAStatus) {
  plughost::WritePng(at("in.png"), flat(20, 20, 100));
  plughost::WritePng(at("small.png"), flat(10, 10, 100));
  struct Case {
    std::vector<std::string> extra;
    int status;
    const char* says;
  } cases[] = {
      {{"--param", "Nope=1"}, 6, "has no parameter \"Nope\""},
      {{"--param", "Bokeh Amount=301"}, 6, "Bokeh Amount takes 0 to 300"},
      {{"--param", "Quality=Best"}, 6, "Quality takes one of"},
      {{"--layer", "Distance Layer=" + at("missing.png")}, 8, "cannot open"},
      {{"--layer", "Distance Layer=" + at("small.png")}, 1, "different image sizes"},
      {{"--param", "Preview Only=on"}, 1, "[Velune5.6] Preview Outside of Image"},
      {{"--fail-handle", "1"}, 5, "Can not allocate input buffer"},
      {{"--cancel-at", "10"}, 4, "cancelled"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"effect", kEffect, at("in.png"), "-o", at("out.png")};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    fs::remove(at("out.png"));
    const Result r = run(args);
    EXPECT_EQ(r.status, c.status) << c.extra[0] << " " << c.extra[1] << "\n" << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(at("out.png"))) << c.extra[1];
    EXPECT_EQ(r.err.find("warning"), std::string::npos) << r.err;  // nothing left held
  }
}

TEST_F(Velune, AboutBoxIsReportedAndAMissingSuiteRefused) {
  Result r = run({"about", kEffect, "--snapshot", at("about.png")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("plughost: dialog \"About Velune5.6\": OK | Help | "), std::string::npos) << r.err;
  const Image snap = plughost::ReadPng(at("about.png"));
  EXPECT_EQ(snap.width, 400);
  EXPECT_EQ(snap.height, 495);
  r = run({"about", kEffect, "--withhold-suite", "ADM Drawer Suite"});
  EXPECT_EQ(r.status, 7);
  EXPECT_NE(r.err.find("Couldn't load ADM Drawer suite."), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("warning"), std::string::npos) << r.err;
}

}  // namespace
