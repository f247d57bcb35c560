#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>
#include <string>

#include "plughost/ui_script.h"

using plughost::ParseUiLine;
using plughost::UiAction;
using plughost::UiScript;

namespace {
std::string Contents(std::FILE* f) {
  std::rewind(f);
  std::string text(8192, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), f));
  return text;
}
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
  const std::string text = Contents(report);
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
  const std::string text = Contents(report);
  std::fclose(report);
  EXPECT_NE(text.find("plughost: ui shot one.png: a headless dialog has no pixels\n"), std::string::npos) << text;
  EXPECT_NE(text.find("plughost: ui shot three.png: a headless dialog has no pixels\n"), std::string::npos) << text;
  EXPECT_NE(text.find("plughost: ui shot ok.png: saved\n"), std::string::npos) << text;
  EXPECT_NE(text.find("plughost: ui shot fails.png: could not be saved\n"), std::string::npos) << text;
}

// --- a person typing the session (plughost --interactive natively)
namespace {
std::FILE* Typed(const std::string& text) {
  std::FILE* f = std::tmpfile();
  std::fputs(text.c_str(), f);
  std::rewind(f);
  return f;
}
}  // namespace

TEST(UiScriptTyped, ActionsComeAsTypedAfterTheScriptAndTheEndOfInputCancels) {
  std::FILE* in = Typed("read 10\nset 10 0.5\n\n# thinking\nfrob 3\npress 1\n");
  std::FILE* report = std::tmpfile();
  UiScript script({Parse("pick 11 1")}, report);
  script.SetInteractive(in);
  EXPECT_TRUE(script.Interactive());
  QmHeadlessItem items[] = {{10, 7, "0.25", 1, 0, -1, 0, nullptr, 0, 0, 0, 0}};
  QmHeadlessDialog shown{"", "Tessaro", 0, 0, 1, items, 1};
  // The script's own action first, without waiting for the person.
  auto a = script.NextAction(&shown, false);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->kind, UiAction::Kind::Pick);
  EXPECT_EQ(std::ftell(in), 0) << "nothing read while the script has actions";
  // While the plug-in works nothing is read: the person's line waits for the idle dialog.
  EXPECT_FALSE(script.NextAction(&shown, true));
  EXPECT_EQ(std::ftell(in), 0);
  a = script.NextAction(&shown, false);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->kind, UiAction::Kind::Set);
  EXPECT_EQ(a->text, "0.5");
  // Blank and comment lines are skipped, a mistyped line refused and the next one taken.
  a = script.NextAction(&shown, false);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->kind, UiAction::Kind::Press);
  EXPECT_EQ(a->id, 1);
  // The end of the input: the close box, every time, never Enter.
  EXPECT_EQ(script.NextAction(&shown, false)->kind, UiAction::Kind::Close);
  EXPECT_EQ(script.NextAction(&shown, false)->kind, UiAction::Kind::Close);
  EXPECT_EQ(script.Next(), QM_ACTION_CLOSE);
  const std::string text = Contents(report);
  EXPECT_NE(text.find("type the actions"), std::string::npos) << text;
  EXPECT_NE(text.find("plughost: ui read 10: 0.25"), std::string::npos) << text;
  EXPECT_NE(text.find("plughost: ui: unknown action \"frob\"; type it again\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("end of input: cancel"), text.rfind("end of input: cancel")) << "said once: " << text;
  std::fclose(in);
  std::fclose(report);
}

TEST(UiScriptTyped, PlainDialogsTakeTypedButtonsAndALastLineWithoutNewline) {
  std::FILE* in = Typed("read 3\nclose\npress 2");
  std::FILE* report = std::tmpfile();
  UiScript script(std::vector<UiAction>{}, report);
  script.SetInteractive(in);
  EXPECT_EQ(script.Next(), QM_ACTION_CLOSE) << "a read means nothing to a message box";
  EXPECT_EQ(script.Next(), 2);
  EXPECT_EQ(script.Next(), QM_ACTION_CLOSE);
  EXPECT_NE(Contents(report).find("plughost: ui: this dialog takes only press ID, default or close\n"),
            std::string::npos);
  std::fclose(in);
  std::fclose(report);
  // Without typed input a session still ends with Enter.
  UiScript unattended(std::vector<UiAction>{}, nullptr);
  EXPECT_FALSE(unattended.Interactive());
  EXPECT_EQ(unattended.Next(), QM_ACTION_DEFAULT);
}

TEST(UiScriptTyped, TheSaveDialogTakesATypedNameAndCancelsOnEmptyOrEnd) {
  char path[16] = {};
  struct Case {
    const char* typed;
    int32_t chosen;
    const char* name;
  };
  for (const Case& c : {Case{"out dir/a.jpg \r\n", 1, "out dir/a.jpg"}, Case{"\nb.jpg\n", 0, ""}, Case{"", 0, ""},
                        Case{"a-name-longer-than-the-field.jpg", 1, "a-name-longer-t"}}) {
    std::FILE* in = Typed(c.typed);
    std::FILE* report = std::tmpfile();
    UiScript script(std::vector<UiAction>{}, report);
    script.SetInteractive(in);
    std::memset(path, 0, sizeof path);
    const QmHeadlessHost* host = script.HeadlessHost();
    EXPECT_EQ(host->saveFileName(host->context, "Save", "JPEG Files", path, sizeof path), c.chosen) << c.typed;
    EXPECT_STREQ(path, c.name) << c.typed;
    const std::string text = Contents(report);
    EXPECT_NE(text.find("plughost: save dialog \"JPEG Files\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find(c.chosen ? "plughost: save dialog: " : "plughost: save dialog: cancelled"), std::string::npos)
        << text;
    std::fclose(in);
    std::fclose(report);
  }
}

namespace {
struct Args {
  std::vector<std::string> words;
  std::vector<char*> argv;
  explicit Args(std::vector<std::string> w) : words(std::move(w)) {
    for (auto& s : words) argv.push_back(s.data());
  }
};
// Takes every argument the shared dialog options take; the first one refused says why.
std::string TakeAll(plughost::UiCommandLine& ui, const std::vector<std::string>& words, unsigned takes) {
  Args args(words);
  const int argc = static_cast<int>(args.argv.size());
  for (int i = 0; i < argc; ++i) {
    std::string why;
    const auto took = ui.Take(argc, args.argv.data(), i, why, takes);
    if (took == plughost::UiCommandLine::Arg::NotOurs) return "not ours: " + args.words[static_cast<size_t>(i)];
    if (took != plughost::UiCommandLine::Arg::Taken) return why;
  }
  return ui.Conflict();
}
}  // namespace

TEST(UiCommandLine, InteractiveIsRefusedBesideAScriptedAnswerNamingIt) {
  using plughost::UiCommandLine;
  {
    UiCommandLine ui;
    EXPECT_EQ(TakeAll(ui, {"--interactive"}, UiCommandLine::kAll), "");
    EXPECT_TRUE(ui.interactive);
    std::FILE* in = Typed("");
    UiScript script(ui.actions, nullptr);
    ui.Configure(script, in);
    EXPECT_TRUE(script.Interactive());
    std::fclose(in);
  }
  for (const char* other : {"--ui", "--answer", "--save-as"}) {
    UiCommandLine ui;
    const std::string value = std::string(other) == "--ui" ? "/dev/null" : "1";
    EXPECT_EQ(TakeAll(ui, {other, value, "--interactive"}, UiCommandLine::kAll),
              std::string("--interactive leaves the dialogs to the person at the screen; it cannot be combined with ") +
                  other);
  }
  {
    UiCommandLine ui;  // the first scripted option is the one named
    EXPECT_NE(TakeAll(ui, {"--interactive", "--save-as", "a.jpg", "--answer", "2"}, UiCommandLine::kAll).find("with --save-as"),
              std::string::npos);
  }
  {
    UiCommandLine ui;  // without --interactive the scripted options make a session as before
    EXPECT_EQ(TakeAll(ui, {"--answer", "close", "--save-as", "a.jpg"}, UiCommandLine::kAll), "");
    ASSERT_EQ(ui.actions.size(), 1u);
    EXPECT_EQ(ui.actions[0].kind, UiAction::Kind::Close);
    UiScript script(ui.actions, nullptr);
    ui.Configure(script);
    EXPECT_FALSE(script.Interactive());
    EXPECT_EQ(script.SaveAs(), std::optional<std::string>("a.jpg"));
  }
  UiCommandLine ui;
  EXPECT_EQ(TakeAll(ui, {"--save-as"}, UiCommandLine::kAll), "--save-as needs a file name");
  EXPECT_EQ(TakeAll(ui, {"--save-as", "x"}, UiCommandLine::kAnswer), "not ours: --save-as")
      << "a command without a save dialog does not take it";
  EXPECT_NE(TakeAll(ui, {"--ui", "/no/such/script.ui"}, UiCommandLine::kAll).find("/no/such/script.ui"),
            std::string::npos);
}

TEST(UiScriptSession, TipsComeFromTheReaderOrSayAHeadlessDialogHasNone) {
  EXPECT_EQ(Parse("tip 1084").kind, UiAction::Kind::Tip);
  EXPECT_EQ(Parse("tip 1084").id, 1084);
  EXPECT_EQ(Refusal("tip"), "tip needs a control id");
  EXPECT_EQ(Refusal("busy tip 1084"), "reads wait until the dialog is idle; drop \"busy\"");
  std::FILE* report = std::tmpfile();
  ASSERT_NE(report, nullptr);
  QmHeadlessDialog shown{"101", "Coralin", 0, 0, 0, nullptr, 1};
  UiScript headless({Parse("tip 1084"), Parse("press 2")}, report);
  auto a = headless.NextAction(&shown, false);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->id, 2) << "a tip is no answer";
  UiScript real({Parse("tip 1084"), Parse("tip 1")}, report);
  real.SetTipReader([](int32_t id) -> std::optional<std::string> {
    if (id == 1084) return std::string("Changes JPEG settings to approximate desired final file size");
    return std::nullopt;
  });
  a = real.NextAction(&shown, false);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->kind, UiAction::Kind::Default);
  const std::string text = Contents(report);
  std::fclose(report);
  EXPECT_EQ(text,
            "plughost: ui tip 1084: a headless dialog has no tooltips\n"
            "plughost: ui tip 1084: Changes JPEG settings to approximate desired final file size\n"
            "plughost: ui tip 1: (none)\n");
}

TEST(UiScriptSession, KeysHeadlesslyAreTheCloseBoxAndEnterAndTheFocusIsReadOnWindows) {
  EXPECT_EQ(Parse("key tab").value, plughost::kUiKeyTab);
  EXPECT_EQ(Parse("busy key escape").value, plughost::kUiKeyEscape);
  EXPECT_EQ(Refusal("key space"), "key takes tab, escape or enter");
  EXPECT_EQ(Refusal("key"), "key takes tab, escape or enter");
  EXPECT_EQ(Refusal("focus 3"), "unexpected \"3\" after focus");
  std::FILE* report = std::tmpfile();
  ASSERT_NE(report, nullptr);
  QmHeadlessDialog shown{"101", "Coralin", 0, 0, 0, nullptr, 1};
  UiScript headless({Parse("focus"), Parse("key tab"), Parse("key escape"), Parse("key enter")}, report);
  auto a = headless.NextAction(&shown, false);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->kind, UiAction::Kind::Close) << "Escape";
  a = headless.NextAction(&shown, false);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->kind, UiAction::Kind::Default) << "Enter";
  // With a focus to read (the real dialog) the keys go to it as they are.
  UiScript real({Parse("focus"), Parse("key tab"), Parse("focus")}, report);
  int32_t focus = 1054;
  real.SetFocusReader([&focus]() -> std::optional<int32_t> { return focus; });
  a = real.NextAction(&shown, false);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->kind, UiAction::Kind::Key);
  focus = 1056;
  a = real.NextAction(&shown, false);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->kind, UiAction::Kind::Default);
  const std::string text = Contents(report);
  std::fclose(report);
  EXPECT_EQ(text,
            "plughost: ui focus: a headless dialog has no focus\n"
            "plughost: ui key tab: a headless dialog has no focus\n"
            "plughost: ui focus: 1054\n"
            "plughost: ui focus: 1056\n");
}

TEST(UiScriptSession, MoveReachesThePlugInAsADragOfTheWindowNotAsEnter) {
  const UiAction m = Parse("move 900 -20 35");
  EXPECT_EQ(m.kind, UiAction::Kind::Move);
  EXPECT_EQ(m.id, 900);
  EXPECT_EQ(m.x, -20);  // a window may be dragged partly off the screen
  EXPECT_EQ(m.y, 35);
  EXPECT_TRUE(Parse("busy move 0 10 10").busy);
  EXPECT_EQ(Refusal("move 900 10"), "move needs y");
  EXPECT_EQ(Refusal("move dialog 10 10"), "move needs a window id, not \"dialog\"");
  EXPECT_EQ(Refusal("move 0 1 2 3"), "unexpected \"3\" after move");
  // Through the headless interface: the window and its new corner, and the session goes on.
  UiScript script({Parse("move 0 140 60"), Parse("press 2")}, nullptr);
  const QmHeadlessHost* host = script.HeadlessHost();
  QmHeadlessDialog shown{"CONVERSION", "Tessaro", 0, 0, 0, nullptr, 0};
  QmHeadlessAction out{};
  host->next(host->context, &shown, 0, &out);
  EXPECT_EQ(out.kind, QM_DO_MOVE);
  EXPECT_EQ(out.id, 0);
  EXPECT_EQ(out.x, 140);
  EXPECT_EQ(out.y, 60);
  host->next(host->context, &shown, 0, &out);
  EXPECT_EQ(out.kind, QM_DO_PRESS);
  EXPECT_EQ(out.id, 2);
}
