// plughost's scripting options end to end, over a probe filter that reads, shows and records
// its parameters: what --record saves, --descriptor replays to the same pixels.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "PlughostRun.h"
#include "plughost/image.h"

namespace fs = std::filesystem;
using e2e::Result;
using e2e::Slurp;
using plughost::Image;

namespace {

class Scripting : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("qm_scripting_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    in_.width = 23;
    in_.height = 9;
    in_.rgba.resize(size_t(in_.width * in_.height * 4));
    for (size_t i = 0; i < in_.rgba.size(); ++i) in_.rgba[i] = uint8_t(i * 37 + 11);
    plughost::WritePng(Path("in.png"), in_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }

  Result Filter(const std::string& out, std::vector<std::string> args) const {
    args.insert(args.begin(), {"filter", QM_SCRIPT_PROBE, Path("in.png"), "-o", Path(out), "--progress", "quiet"});
    return e2e::PlughostRun(QM_NATIVE_PLUGHOST).In(dir_, args);
  }

  fs::path dir_;
  Image in_;
};

constexpr char kSettings[] = "levl long 30\ninvr bool true\nfact doub 0.5\nmode enum tyMd mdSu\nlabl TEXT two words\n";

TEST_F(Scripting, WhatIsRecordedReplaysToTheSameResult) {
  Write("step.txt", kSettings);
  Result first = Filter("a.png", {"--descriptor", Path("step.txt"), "--record", Path("rec1.txt")});
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.err.find("plughost: message"), std::string::npos) << "a played-back step asks for no dialog";
  EXPECT_EQ(Slurp(dir_ / "rec1.txt"), kSettings);

  Result again = Filter("b.png", {"--descriptor", Path("rec1.txt"), "--record", Path("rec2.txt")});
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(Slurp(dir_ / "rec2.txt"), Slurp(dir_ / "rec1.txt"));
  const Image a = plughost::ReadPng(Path("a.png")), b = plughost::ReadPng(Path("b.png"));
  EXPECT_EQ(a.rgba, b.rgba);
  // And the settings did what they say: red less 30, green inverted, blue halved.
  const uint8_t* src = in_.Pixel(5, 3);
  const uint8_t* got = a.Pixel(5, 3);
  EXPECT_EQ(got[0], std::max(0, src[0] - 30));
  EXPECT_EQ(got[1], 255 - src[1]);
  EXPECT_EQ(got[2], int(src[2] * 0.5 + 0.5));
}

TEST_F(Scripting, TheDialogShowsWhenTheUserRunsItOrAsksOrKeysAreMissing) {
  // From the menu: no descriptor, so the dialog, with the defaults; a recording follows.
  Result menu = Filter("m.png", {"--record", Path("menu.txt")});
  ASSERT_EQ(menu.status, 0) << menu.err;
  EXPECT_NE(menu.err.find("levl 10, label probe"), std::string::npos) << menu.err;
  EXPECT_EQ(Slurp(dir_ / "menu.txt"), "levl long 10\ninvr bool false\nfact doub 1\nmode enum tyMd mdAd\nlabl TEXT probe\n");

  Write("step.txt", kSettings);
  Result shown = Filter("s.png", {"--descriptor", Path("step.txt"), "--show-dialog", "--answer", "2"});
  EXPECT_EQ(shown.status, 4) << shown.err;  // cancelled in the dialog
  EXPECT_NE(shown.err.find("levl 30, label two words"), std::string::npos) << shown.err;
  EXPECT_FALSE(fs::exists(dir_ / "s.png"));

  Write("part.txt", "levl long 3\n");
  Result part = Filter("p.png", {"--descriptor", Path("part.txt")});
  ASSERT_EQ(part.status, 0) << part.err;
  EXPECT_NE(part.err.find("levl 3, label probe"), std::string::npos) << part.err;
}

TEST_F(Scripting, WithoutTheSuitesThePlugInFallsBack) {
  Result r = Filter("n.png", {"--no-scripting", "--record", Path("none.txt")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("plughost: message"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("recorded no scripting parameters"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "none.txt"));
}

TEST_F(Scripting, BadDescriptorFilesAndOptionsGetOneLineAndNoOutput) {
  Write("bad.txt", "levl long 30\nfact doub lots\n");
  Result bad = Filter("x.png", {"--descriptor", Path("bad.txt")});
  EXPECT_EQ(bad.status, 8);
  EXPECT_EQ(bad.err, "plughost: " + Path("bad.txt") + ": line 2: \"lots\" is not a finite number\n");

  Result missing = Filter("x.png", {"--descriptor", Path("nothing.txt")});
  EXPECT_EQ(missing.status, 8);
  EXPECT_NE(missing.err.find("nothing.txt: cannot be read"), std::string::npos) << missing.err;

  EXPECT_EQ(Filter("x.png", {"--descriptor"}).status, 2);
  Write("step.txt", kSettings);
  EXPECT_EQ(Filter("x.png", {"--descriptor", Path("step.txt"), "--no-scripting"}).status, 2);

  // A value of the wrong type fails the plug-in's read; it says so and nothing is written.
  Write("type.txt", "levl doub 3.5\n");
  Result type = Filter("x.png", {"--descriptor", Path("type.txt"), "--record", Path("r.txt")});
  EXPECT_EQ(type.status, 9) << type.err;
  EXPECT_NE(type.err.find("-50"), std::string::npos) << type.err;
  EXPECT_FALSE(fs::exists(dir_ / "x.png"));
  EXPECT_FALSE(fs::exists(dir_ / "r.txt"));

  Result unwritable = Filter("y.png", {"--record", Path("no/such/dir.txt"), "--answer", "1"});
  EXPECT_EQ(unwritable.status, 8);
  EXPECT_NE(unwritable.err.find("cannot be written"), std::string::npos) << unwritable.err;
  EXPECT_FALSE(fs::exists(dir_ / "y.png"));
}

}  // namespace
