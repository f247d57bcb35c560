#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "plughost/ui_script.h"

using plughost::ParseUiLine;
using plughost::UiAction;
using plughost::UiScript;

namespace {
UiAction Parse(const std::string& line) {
  std::optional<UiAction> a;
  std::string why;
  EXPECT_TRUE(ParseUiLine(line, a, why)) << line << ": " << why;
  return a.value_or(UiAction{});
}
std::string Refusal(const std::string& line) {
  std::optional<UiAction> a;
  std::string why;
  EXPECT_FALSE(ParseUiLine(line, a, why)) << line;
  return why;
}
}  // namespace

TEST(UiScriptLines, EveryActionAndItsArguments) {
  using K = UiAction::Kind;
  EXPECT_EQ(Parse("press 1084").kind, K::Press);
  EXPECT_EQ(Parse("press 1084").id, 1084);
  UiAction set = Parse("set 1083  50 K\r");
  EXPECT_EQ(set.kind, K::Set);
  EXPECT_EQ(set.text, " 50 K");  // the rest of the line after one separator, as typed
  EXPECT_EQ(Parse("set 1083").text, "");
  UiAction pick = Parse("  pick 1023 2");
  EXPECT_EQ(pick.kind, K::Pick);
  EXPECT_EQ(pick.value, 2);
  UiAction m = Parse("mouse 1000 down 10 -4 ctrl shift");
  EXPECT_EQ(m.value, QM_MOUSE_DOWN);
  EXPECT_EQ(m.y, -4);
  EXPECT_EQ(m.keys, QM_KEY_CTRL | QM_KEY_SHIFT);
  EXPECT_EQ(Parse("size 640 480").x, 640);
  EXPECT_TRUE(Parse("busy press 1").busy);
  EXPECT_EQ(Parse("default").kind, K::Default);
  std::optional<UiAction> none;
  std::string why;
  EXPECT_TRUE(ParseUiLine("# a comment", none, why));
  EXPECT_FALSE(none);
  EXPECT_TRUE(ParseUiLine("   ", none, why));
  EXPECT_FALSE(none);
}

TEST(UiScriptLines, BadLinesSayWhy) {
  EXPECT_EQ(Refusal("push 1"), "unknown action \"push\"");
  EXPECT_EQ(Refusal("press"), "press needs a control id");
  EXPECT_EQ(Refusal("press x1"), "press needs a control id, not \"x1\"");
  EXPECT_EQ(Refusal("pick 1023 -1"), "pick numbers entries from 0");
  EXPECT_EQ(Refusal("press 1 2"), "unexpected \"2\" after press");
  EXPECT_EQ(Refusal("mouse 1000 drag 1 2"), "mouse takes down, move or up");
  EXPECT_EQ(Refusal("size 0 10"), "size takes a positive width and height");
  EXPECT_EQ(Refusal("busy read 1063"), "reads wait until the dialog is idle; drop \"busy\"");
}

TEST(UiScriptSession, ReadsAnswerFromTheDialogShownAndBusyAsksWait) {
  std::FILE* report = std::tmpfile();
  ASSERT_NE(report, nullptr);
  std::vector<UiAction> actions{Parse("read 10"), Parse("list 11"), Parse("press 1"), Parse("busy press 2"),
                                Parse("place 10")};
  UiScript script(actions, report);
  const char* entries[] = {"Default", "Last settings"};
  QmHeadlessItem items[] = {{10, 7, "Progressive", 0, 1, -1, 0, nullptr, 4, 5, 60, 10},
                            {11, 11, "Default", 1, 0, 0, 2, entries, 0, 0, 0, 0}};
  QmHeadlessDialog shown{"101", "Coralin", 0, 0, 2, items, 1};
  // Busy: the press is not marked busy, so nothing yet (and the reads wait too).
  EXPECT_FALSE(script.NextAction(&shown, true));
  auto a = script.NextAction(&shown, false);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->id, 1);
  a = script.NextAction(&shown, true);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->id, 2);
  // Out of actions: Enter when idle, nothing while busy.
  EXPECT_EQ(script.NextAction(&shown, false)->kind, UiAction::Kind::Default);
  EXPECT_FALSE(script.NextAction(&shown, true));
  std::rewind(report);
  char buf[512] = {};
  std::string text(buf, std::fread(buf, 1, sizeof buf - 1, report));
  std::fclose(report);
  EXPECT_EQ(text,
            "plughost: ui read 10: Progressive [checked] [disabled]\n"
            "plughost: ui list 11: Default | Last settings\n"
            "plughost: ui place 10: 4 5 60 10\n");
}

TEST(UiScriptSession, ShotsGoToTheShooterOrSayAHeadlessDialogHasNoPixels) {
  EXPECT_EQ(Parse("shot Z:\\tmp\\a b.png").text, "Z:\\tmp\\a b.png");  // the rest of the line
  EXPECT_EQ(Refusal("shot"), "shot needs a file name");
  EXPECT_EQ(Refusal("busy shot a.png"), "reads wait until the dialog is idle; drop \"busy\"");
  std::FILE* report = std::tmpfile();
  ASSERT_NE(report, nullptr);
  UiScript script({Parse("shot one.png"), Parse("shot two.png"), Parse("shot three.png"), Parse("press 1")}, report);
  QmHeadlessDialog shown{"101", "Coralin", 0, 0, 0, nullptr, 1};
  // Without a shooter the shot is only reported; the press after it is the next action.
  std::vector<std::string> asked;
  auto a = script.NextAction(&shown, false);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->id, 1);
  UiScript taken({Parse("shot ok.png"), Parse("shot fails.png")}, report);
  taken.SetShooter([&asked](const std::string& path) {
    asked.push_back(path);
    return path == "ok.png";
  });
  a = taken.NextAction(&shown, false);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->kind, UiAction::Kind::Default) << "the script ran out: Enter";
  EXPECT_EQ(asked, (std::vector<std::string>{"ok.png", "fails.png"}));
  std::rewind(report);
  std::string text(4096, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), report));
  std::fclose(report);
  EXPECT_NE(text.find("plughost: ui shot one.png: a headless dialog has no pixels\n"), std::string::npos) << text;
  EXPECT_NE(text.find("plughost: ui shot three.png: a headless dialog has no pixels\n"), std::string::npos) << text;
  EXPECT_NE(text.find("plughost: ui shot ok.png: saved\n"), std::string::npos) << text;
  EXPECT_NE(text.find("plughost: ui shot fails.png: could not be saved\n"), std::string::npos) << text;
}
