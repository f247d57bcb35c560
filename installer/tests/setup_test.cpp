#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_system.h"
#include "payload.h"
#include "switches.h"
#include "window.h"

using namespace installer;
using installer::testing::FakeSystem;

namespace {

const std::vector<Payload> kPayloads = {{"INKWRIGHT.8BF", std::string("MZ\0\x90 filter bytes", 17)}};

TEST(FileName, FromResourceNames) {
  EXPECT_EQ(FileNameFromResource("INKWRIGHT.8BF"), "Inkwright.8bf");
  EXPECT_EQ(FileNameFromResource("MY__COOL_FILTER.8BF"), "MyCool filter.8bf");
  EXPECT_EQ(FileNameFromResource("A:B-C2X.8BF"), "Ab-C2X.8bf");
  EXPECT_EQ(FileNameFromResource("O'NEIL 8X.8BF"), "O'neil 8x.8bf");
  EXPECT_EQ(FileNameFromResource("X-"), "X-");  // the last character is never looked at
  EXPECT_EQ(FileNameFromResource(""), "");
}

TEST(Payloads, WrittenUnchangedExceptExcludedAndUnwritable) {
  FakeSystem sys;
  sys.AddFolder("C:\\Target");
  std::vector<Payload> payloads = {{"INKWRIGHT.8BF", "ink"}, {"OTHER.8BF", "other"}, {"LOCKED.8BF", "x"}};
  sys.AddFile("C:\\Target\\Locked.8bf", "old");
  sys.MakeReadOnly("C:\\Target\\Locked.8bf");
  WriteReport r = WritePayloads(sys, "C:\\Target\\", payloads, {"Other"});
  EXPECT_EQ(r.written, 1);
  EXPECT_EQ(r.skipped, 1);
  EXPECT_EQ(r.failed, 1);
  EXPECT_EQ(sys.FileBytes("C:\\Target\\Inkwright.8bf"), "ink");
  EXPECT_FALSE(sys.HasFile("C:\\Target\\Other.8bf"));
  EXPECT_EQ(sys.FileBytes("C:\\Target\\Locked.8bf"), "old");
}

class Window : public ::testing::Test {
 protected:
  Window() {
    sys.AddFolder("C:\\Ps\\Plug-ins");
    sys.AddFolder("C:\\Other");
  }
  SetupWindow Make() {
    return SetupWindow({Folder{"C:\\Ps\\Plug-Ins\\", true}, Folder{"C:\\Igrafx\\", false}});
  }
  // A left click in the middle of a control; returns what it posts.
  static int Click(SetupWindow& w, const Control& c, bool right = false) {
    const int x = (c.area.left + c.area.right) / 2, y = (c.area.top + c.area.bottom) / 2;
    w.MouseMove(x, y);
    int posted = w.ButtonDown(x, y, right);
    int released = w.ButtonUp(x, y, right);
    return posted ? posted : released;
  }
  FakeSystem sys;
};

TEST_F(Window, ListShowsTheFoldersThenTheBrowseLine) {
  SetupWindow w = Make();
  EXPECT_EQ(w.Lines(), (std::vector<std::string>{"C:\\Ps\\Plug-Ins\\Brannock\\", "C:\\Igrafx\\",
                                                 "******** BROWS ********"}));
  EXPECT_EQ(w.Selection(), 0);
  ASSERT_EQ(w.Texts().size(), 1u);
  EXPECT_EQ(w.Texts()[0].text, "Setup will install Brannock Plugins to the folder:");
}

TEST_F(Window, OptionStepsThroughItsFourStates) {
  SetupWindow w = Make();
  Control& option = w.Find(SetupWindow::kOptionId, ControlKind::Option);
  const int x = option.area.left + 3, y = option.area.top + 3;
  EXPECT_EQ(option.state, 2);
  w.ButtonDown(x, y, false);
  EXPECT_EQ(option.state, 3);
  EXPECT_EQ(w.ButtonUp(x, y, false), SetupWindow::kOptionId);
  EXPECT_EQ(option.state, 0);
  // A right click steps backwards, wrapping below 0.
  w.ButtonDown(x, y, true);
  EXPECT_EQ(option.state, 3);
  EXPECT_EQ(w.ButtonUp(x, y, true), SetupWindow::kOptionId);
  EXPECT_EQ(option.state, 2);
  // Leaving the box while pressed undoes the press; the release posts nothing.
  w.ButtonDown(x, y, false);
  w.MouseMove(x + 40, y);
  EXPECT_EQ(option.state, 2);
  EXPECT_EQ(w.ButtonUp(x + 40, y, false), 0);
  EXPECT_EQ(option.state, 2);
}

TEST_F(Window, UncheckedOptionDisablesInstallAndInstallDoesNothing) {
  SetupWindow w = Make();
  Control& option = w.Find(SetupWindow::kOptionId, ControlKind::Option);
  Control& install = w.Find(SetupWindow::kInstallId, ControlKind::Button);
  EXPECT_EQ(w.Notify(Click(w, option), sys, kPayloads), Action::Repaint);
  EXPECT_EQ(option.state, 0);
  EXPECT_FALSE(install.enabled);
  EXPECT_EQ(Click(w, install), 0);  // a disabled button posts nothing
  EXPECT_EQ(w.Notify(SetupWindow::kInstallId, sys, kPayloads), Action::None);
  EXPECT_FALSE(w.Installed());
  EXPECT_FALSE(sys.HasFolder("C:\\Ps\\Plug-ins\\Brannock"));
  w.Notify(Click(w, option), sys, kPayloads);
  EXPECT_TRUE(install.enabled);
}

TEST_F(Window, ButtonsPostOnReleaseInsideOnly) {
  SetupWindow w = Make();
  Control& close = w.Find(SetupWindow::kCloseBitmap, ControlKind::Button);
  const int x = close.area.left + 5, y = close.area.top + 5;
  w.ButtonDown(x, y, false);
  EXPECT_TRUE(close.pressed);
  w.MouseMove(x - 20, y);
  EXPECT_FALSE(close.pressed);
  EXPECT_EQ(w.ButtonUp(x - 20, y, false), 0);
  EXPECT_EQ(Click(w, close), SetupWindow::kCloseId);
  EXPECT_EQ(w.Notify(SetupWindow::kCloseId, sys, kPayloads), Action::Close);
}

TEST_F(Window, LinkAndHints) {
  SetupWindow w = Make();
  Control& link = w.Find(SetupWindow::kLinkId, ControlKind::Link);
  w.SetLinkExtent(150, 13);
  w.MouseMove(link.area.left + 140, link.area.top + 2);
  EXPECT_TRUE(w.OverLink());
  EXPECT_EQ(w.Hint(), "Visit Brannock Plugins Home Page");
  w.TakeDirty();
  w.MouseMove(1, 260);
  EXPECT_FALSE(w.OverLink());
  EXPECT_EQ(w.Hint(), "");
  ASSERT_FALSE(w.TakeDirty().empty());  // the hint line is redrawn from the tile
  EXPECT_FALSE(link.visited);
  EXPECT_EQ(Click(w, link), SetupWindow::kLinkId);
  EXPECT_TRUE(link.visited);
  EXPECT_EQ(w.Notify(SetupWindow::kLinkId, sys, kPayloads), Action::OpenPage);
  Control& option = w.Find(SetupWindow::kOptionId, ControlKind::Option);
  w.MouseMove(option.area.left + 1, option.area.top + 1);
  EXPECT_EQ(w.Hint(), "Select to install Inkwright filter");
}

TEST_F(Window, BrowsingKeepsOnlyTheLatestBrowsedFolder) {
  SetupWindow w = Make();
  w.Select(2, sys, [] { return std::optional<std::string>("C:\\Other"); });
  EXPECT_EQ(w.Lines().size(), 4u);
  EXPECT_EQ(w.Lines()[2], "C:\\Other\\");
  EXPECT_EQ(w.Selection(), 2);
  w.Select(3, sys, [] { return std::optional<std::string>("C:\\Ps\\"); });
  EXPECT_EQ(w.Lines(), (std::vector<std::string>{"C:\\Ps\\Plug-Ins\\Brannock\\", "C:\\Igrafx\\", "C:\\Ps\\",
                                                 "******** BROWS ********"}));
  EXPECT_EQ(w.Selection(), 2);
  // Cancelled, or a folder that is not there: line 0, the list unchanged.
  w.Select(3, sys, [] { return std::nullopt; });
  EXPECT_EQ(w.Selection(), 0);
  w.Select(3, sys, [] { return std::optional<std::string>("C:\\Gone"); });
  EXPECT_EQ(w.Selection(), 0);
  EXPECT_EQ(w.Lines().size(), 4u);
  w.Select(1, sys, nullptr);
  EXPECT_EQ(w.Selection(), 1);
}

TEST_F(Window, InstallCreatesOneLevelWritesAndShowsTheCompletedView) {
  SetupWindow w = Make();
  EXPECT_EQ(w.Notify(SetupWindow::kInstallId, sys, kPayloads), Action::Repaint);
  EXPECT_TRUE(w.Installed());
  EXPECT_EQ(sys.FileBytes("C:\\Ps\\Plug-ins\\Brannock\\Inkwright.8bf"), kPayloads[0].bytes);
  EXPECT_FALSE(w.ListVisible());
  EXPECT_EQ(w.FontHeight(), 16);
  ASSERT_EQ(w.Texts().size(), 4u);
  EXPECT_EQ(w.Texts()[3].text, "install addition textures and presets.");
  for (const Control& c : w.Controls()) {
    const bool shown = c.kind == ControlKind::Link || c.bitmap == SetupWindow::kDoneBitmap;
    EXPECT_EQ(c.visible, shown) << c.bitmap;
  }
  Control& done = w.Find(SetupWindow::kDoneBitmap, ControlKind::Button);
  EXPECT_EQ(Click(w, done), SetupWindow::kCloseId);
  EXPECT_EQ(w.Notify(SetupWindow::kInstallId, sys, kPayloads), Action::Close);
}

TEST_F(Window, InstallIntoAFolderTwoLevelsMissingDoesNothing) {
  SetupWindow w({Folder{"C:\\Missing\\Deeper\\", false}});
  EXPECT_EQ(w.Notify(SetupWindow::kInstallId, sys, kPayloads), Action::None);
  EXPECT_FALSE(w.Installed());
  // The browse line itself is no folder.
  SetupWindow none({});
  EXPECT_EQ(none.Notify(SetupWindow::kInstallId, sys, kPayloads), Action::None);
}

TEST_F(Window, AnUnwritablePayloadStillCountsAsARun) {
  SetupWindow w({Folder{"C:\\Other\\", false}});
  sys.AddFile("C:\\Other\\Inkwright.8bf", "old");
  sys.MakeReadOnly("C:\\Other\\Inkwright.8bf");
  EXPECT_EQ(w.Notify(SetupWindow::kInstallId, sys, kPayloads), Action::Repaint);
  EXPECT_TRUE(w.Installed());
  EXPECT_EQ(sys.FileBytes("C:\\Other\\Inkwright.8bf"), "old");
}

TEST(Switches, Parse) {
  EXPECT_EQ(ParseSwitches({}).mode, Mode::Window);
  EXPECT_EQ(ParseSwitches({"/list"}).mode, Mode::List);
  EXPECT_EQ(ParseSwitches({"/LIST"}).mode, Mode::List);
  EXPECT_EQ(ParseSwitches({"/S"}).mode, Mode::Silent);
  Switches s = ParseSwitches({"/S", "/D=C:\\Program Files\\X"});
  EXPECT_EQ(s.mode, Mode::Silent);
  EXPECT_EQ(s.folder, "C:\\Program Files\\X");
  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {"/x"}, {"list"}, {"/D=C:\\X"}, {"/S", "/list"}, {"/S", "/D="}, {"/list", "/S"}}) {
    Switches b = ParseSwitches(bad);
    EXPECT_EQ(b.mode, Mode::Usage) << bad.front();
    EXPECT_FALSE(b.problem.empty());
  }
}

TEST(Switches, ListAndSilentInstall) {
  FakeSystem sys;
  sys.AddFolder("C:\\Windows");
  sys.AddFolder("C:\\Ps\\Plug-ins");
  sys.AddFolder("C:\\iGrafx");
  sys.SetString(RegRoot::CurrentUser, "Software\\Adobe\\Photoshop\\7.0", "PluginPath", "C:\\Ps\\Plug-ins");
  sys.SetString(RegRoot::CurrentUser, "Software\\Brannock", "Plugins", "C:\\iGrafx");
  EXPECT_EQ(ListText(sys), "C:\\Igrafx\\\nC:\\Ps\\Plug-Ins\\Brannock\\\n");

  std::string problem;
  EXPECT_EQ(InstallSilently(sys, kPayloads, "", problem), 0) << problem;
  EXPECT_EQ(sys.FileBytes("C:\\iGrafx\\Inkwright.8bf"), kPayloads[0].bytes);
  EXPECT_EQ(InstallSilently(sys, kPayloads, "C:\\Ps\\Plug-ins\\New", problem), 0) << problem;
  EXPECT_EQ(sys.FileBytes("C:\\Ps\\Plug-ins\\New\\Inkwright.8bf"), kPayloads[0].bytes);

  EXPECT_NE(InstallSilently(sys, kPayloads, "C:\\Missing\\Deeper", problem), 0);
  EXPECT_NE(problem.find("C:\\Missing\\Deeper\\"), std::string::npos);
  sys.MakeReadOnly("C:\\Ps\\Plug-ins\\Inkwright.8bf");
  EXPECT_NE(InstallSilently(sys, kPayloads, "C:\\Ps\\Plug-ins", problem), 0);
  EXPECT_NE(InstallSilently(sys, {}, "C:\\Ps\\Plug-ins", problem), 0);
  FakeSystem empty;
  EXPECT_NE(InstallSilently(empty, kPayloads, "", problem), 0);
  EXPECT_NE(problem.find("/D="), std::string::npos);
}

}  // namespace
