// plughost --interactive natively: there is no screen, so a person types the session on
// standard input. Piped sessions here must give what the same choices give scripted.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "PlughostRun.h"

namespace fs = std::filesystem;
using e2e::Result;
using e2e::Slurp;

namespace {

bool Has(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

class Interactive : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("qm_interactive_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "config");
    fs::create_directories(dir_ / "plugin");
    // The Tessaro settings file lives beside the plug-in and Coralin's presets file beside the
    // host: copies of their own for each test, so that tests running at the same time cannot
    // change the settings a session starts from.
    fs::copy_file(QM_NATIVE_TESSARO, dir_ / "plugin" / fs::path(QM_NATIVE_TESSARO).filename());
    fs::copy_file(QM_NATIVE_PLUGHOST, dir_ / "plughost");
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path operator/(const std::string& name) const { return dir_ / name; }
  fs::path Tessaro() const { return dir_ / "plugin" / fs::path(QM_NATIVE_TESSARO).filename(); }

  // plughost ARGS, with `typed` (when given) on standard input.
  Result Run(const std::vector<std::string>& args, const std::optional<std::string>& typed) const {
    if (typed) std::ofstream(dir_ / "typed", std::ios::binary | std::ios::trunc) << *typed;
    return e2e::PlughostRun((dir_ / "plughost").string())
        .Env("XDG_CONFIG_HOME", dir_ / "config")
        .Input(typed ? dir_ / "typed" : fs::path("/dev/null"))
        .In(dir_, args);
  }
  Result Coralin(std::vector<std::string> options, const std::optional<std::string>& typed) const {
    std::vector<std::string> args{"filter", QM_NATIVE_CORALIN, QM_SAMPLES "/coralin/picture.png", "--progress", "quiet"};
    args.insert(args.end(), options.begin(), options.end());
    return Run(args, typed);
  }
  Result Open(const std::string& out, std::vector<std::string> options, const std::optional<std::string>& typed) const {
    std::vector<std::string> args{"open", Tessaro().string(), QM_SAMPLES "/tessaro/sample.mrw", "-o", (dir_ / out).string(),
                                  "--format", "png", "--progress", "quiet"};
    args.insert(args.end(), options.begin(), options.end());
    return Run(args, typed);
  }

  fs::path dir_;
};

TEST_F(Interactive, ATypedCoralinSessionAndNameWriteWhatTheScriptedOneWrites) {
  const std::string typed = (dir_ / "typed.jpg").string();
  // A mistyped line is refused and typed again; reads report as in a script.
  Result r = Coralin({"--interactive"}, "set 1054 75\nread 1054\npres 1\ndefault\n" + typed + "\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.err, "plughost: dialog \"Coralin[tm] 6.0\"")) << "what would be shown comes first: " << r.err;
  EXPECT_LT(r.err.find("dialog \"Coralin"), r.err.find("type the actions")) << r.err;
  EXPECT_TRUE(Has(r.err, "plughost: ui read 1054: 75")) << r.err;
  EXPECT_TRUE(Has(r.err, "plughost: ui: unknown action \"pres\"; type it again")) << r.err;
  EXPECT_TRUE(Has(r.err, "plughost: save dialog: " + typed)) << r.err;

  std::ofstream(dir_ / "session.ui") << "set 1054 75\ndefault\n";
  const fs::path scripted = dir_ / "scripted.jpg";
  Result s = Coralin({"--ui", (dir_ / "session.ui").string(), "--save-as", scripted.string()}, std::nullopt);
  ASSERT_EQ(s.status, 0) << s.err;
  const std::string a = Slurp(typed), b = Slurp(scripted);
  ASSERT_GT(a.size(), 2u);
  EXPECT_EQ(a.substr(0, 2), "\xFF\xD8");
  EXPECT_EQ(a, b);
}

TEST_F(Interactive, TheEndOfInputCancelsTheDialogOrTheSaveDialogAndWritesNothing) {
  Result cancelled = Coralin({"--interactive"}, std::nullopt);
  EXPECT_EQ(cancelled.status, 4) << cancelled.err;
  EXPECT_TRUE(Has(cancelled.err, "plughost: end of input: cancel")) << cancelled.err;
  // OK typed, then no name: the save dialog is cancelled and nothing is written.
  Result noName = Coralin({"--interactive"}, "press 1\n\n");
  EXPECT_NE(noName.status, 0) << noName.err;
  EXPECT_TRUE(Has(noName.err, "plughost: save dialog: cancelled")) << noName.err;
  for (const auto& e : fs::directory_iterator(dir_)) EXPECT_NE(e.path().extension(), ".jpg") << e.path();

  Result tessaro = Open("never.png", {"--interactive"}, std::nullopt);
  EXPECT_EQ(tessaro.status, 4) << tessaro.err;
  EXPECT_FALSE(fs::exists(dir_ / "never.png"));
  EXPECT_FALSE(fs::exists(Tessaro().parent_path() / "Tessaro.ini")) << "a cancelled dialog keeps no settings";
}

TEST_F(Interactive, ATypedTessaroOkGivesTheDefaultsImageAndKeepsTheSettingsBesideThePlugIn) {
  Result r = Open("typed.png", {"--interactive"}, "read 300\npress 1\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.err, "plughost: dialog \"Tessaro\"")) << r.err;
  EXPECT_TRUE(Has(r.err, "plughost: ui read 300: 0")) << r.err;
  const fs::path ini = Tessaro().parent_path() / "Tessaro.ini";
  ASSERT_TRUE(fs::exists(ini)) << "OK writes the settings file";
  fs::remove(ini);
  Result d = Open("defaults.png", {}, std::nullopt);  // unanswered: Enter
  ASSERT_EQ(d.status, 0) << d.err;
  EXPECT_EQ(Slurp(dir_ / "typed.png"), Slurp(dir_ / "defaults.png"));
}

TEST_F(Interactive, RefusedBesideAScriptedAnswerWithOneLineNamingIt) {
  std::ofstream(dir_ / "s.ui") << "press 1\n";
  const std::string ui = (dir_ / "s.ui").string(), jpg = (dir_ / "x.jpg").string();
  struct Case {
    std::vector<std::string> args;
    std::string named;
  };
  const std::vector<Case> cases{
      {{"filter", QM_NATIVE_CORALIN, QM_SAMPLES "/coralin/picture.png", "--interactive", "--ui", ui}, "--ui"},
      {{"filter", QM_NATIVE_CORALIN, QM_SAMPLES "/coralin/picture.png", "--answer", "1", "--interactive"}, "--answer"},
      {{"filter", QM_NATIVE_CORALIN, QM_SAMPLES "/coralin/picture.png", "--save-as", jpg, "--interactive"}, "--save-as"},
      {{"open", Tessaro().string(), QM_SAMPLES "/tessaro/sample.mrw", "-o", (dir_ / "o.png").string(), "--interactive",
        "--answer", "1"},
       "--answer"},
      {{"about", QM_NATIVE_CORALIN, "--interactive", "--answer", "1"}, "--answer"},
  };
  for (const Case& c : cases) {
    Result r = Run(c.args, "press 1\n");
    EXPECT_EQ(r.status, 2) << c.named << ": " << r.err;
    EXPECT_EQ(r.err, "plughost: --interactive leaves the dialogs to the person at the screen; it cannot be combined with " +
                         c.named + "\n");
  }
  EXPECT_FALSE(fs::exists(jpg));
  EXPECT_FALSE(fs::exists(dir_ / "o.png"));
  Result j = Run({"open", Tessaro().string(), QM_SAMPLES "/tessaro/sample.mrw", QM_SAMPLES "/tessaro/sample.mrw", "-o",
                  dir_.string(), "-j", "2", "--interactive"},
                 std::nullopt);
  EXPECT_EQ(j.status, 2) << j.err;
  EXPECT_EQ(j.err, "plughost: --interactive reads the files one at a time; drop -j\n");
  Result help = Run({"--help"}, std::nullopt);
  EXPECT_TRUE(Has(help.out, "--interactive")) << help.out;
}

#ifdef QM_NATIVE_VELUNEFX
TEST_F(Interactive, AnEffectsAboutBoxTakesTheTypedButtonAndItsRenderAsksNothing) {
  Result ok = Run({"about", QM_NATIVE_VELUNEFX, "--interactive"}, "read 1\ndefault\n");
  EXPECT_EQ(ok.status, 0) << ok.err;
  EXPECT_TRUE(Has(ok.err, "plughost: dialog \"About Velune")) << ok.err;
  EXPECT_TRUE(Has(ok.err, "this dialog takes only press ID, default or close")) << ok.err;
  EXPECT_FALSE(Has(ok.err, "end of input: cancel")) << "the typed Enter closed it: " << ok.err;
  // A render shows no dialog: nothing is read, and the frame is what an unattended run gives.
  const std::string in = QM_SAMPLES "/coralin/picture.png";
  Result a = Run({"effect", QM_NATIVE_VELUNEFX, in, "-o", (dir_ / "a.png").string(), "--interactive", "--progress", "quiet"},
                 std::nullopt);
  Result b = Run({"effect", QM_NATIVE_VELUNEFX, in, "-o", (dir_ / "b.png").string(), "--progress", "quiet"}, std::nullopt);
  ASSERT_EQ(a.status, 0) << a.err;
  ASSERT_EQ(b.status, 0) << b.err;
  EXPECT_FALSE(Has(a.err, "type the actions")) << a.err;
  EXPECT_EQ(Slurp(dir_ / "a.png"), Slurp(dir_ / "b.png"));
}
#endif

}  // namespace
