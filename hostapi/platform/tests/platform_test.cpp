#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/headless.h"
#include "platform/memory.h"
#include "platform/placement.h"
#include "platform/resources.h"
#include "platform/ui.h"

using namespace qm::platform;

// A tiny template table standing in for a plug-in's generated one.
namespace {
const qm::res::DialogItem kAskItems[] = {
    {qm::res::ItemKind::Ltext, 10, "Question?", 0, 0, 10, 10},
    {qm::res::ItemKind::Pushbutton, 2, "No", 0, 0, 10, 10},
    {qm::res::ItemKind::Defpushbutton, 1, "Yes", 0, 0, 10, 10},
};
const qm::res::DialogItem kFormItems[] = {
    {qm::res::ItemKind::Edit, 20, "", 10, 10, 40, 12},
    {qm::res::ItemKind::Combobox, 21, "", 10, 30, 60, 50},
    {qm::res::ItemKind::Checkbox, 22, "Fast", 10, 50, 40, 10},
    {qm::res::ItemKind::Radio, 23, "A", 10, 60, 20, 10},
    {qm::res::ItemKind::Radio, 24, "B", 30, 60, 20, 10},
    {qm::res::ItemKind::Pushbutton, 25, "Work", 60, 60, 20, 10},
    {qm::res::ItemKind::Defpushbutton, 1, "OK", 80, 80, 20, 14},
};
const qm::res::Dialog kDialogs[] = {{"ASK", "Asking", 100, 50, true, kAskItems, 3},
                                    {"101", "Form", 120, 100, true, kFormItems, 7}};
}  // namespace
const qm::res::ModuleResources& qm::res::ThisModule() {
  static const ModuleResources table{nullptr, 0, kDialogs, 2, nullptr, 0};
  return table;
}

TEST(Placement, CentresLessCaptionButtonAndThirdDown) {
  ScreenRect parent{100, 50, 900, 650};  // 800 x 600
  EXPECT_EQ(PlaceDialog(parent, 200, 150, 18, true, 1920, 1080), (Point{100 + 300 - 18, 50 + 150}));
  // Without a system menu the offset is two thirds of the button width.
  EXPECT_EQ(PlaceDialog(parent, 200, 150, 18, false, 1920, 1080), (Point{100 + 300 - 12, 50 + 150}));
}

TEST(Placement, LargerThanParentAndPulledBackOnScreen) {
  // A dialog wider than its parent starts at the parent's left edge less the button.
  EXPECT_EQ(PlaceDialog({0, 0, 100, 100}, 300, 300, 18, true, 1920, 1080), (Point{-18, 0}));
  // Past the right and bottom edges: screen size less dialog size, never below zero.
  EXPECT_EQ(PlaceDialog({1700, 900, 1920, 1080}, 300, 200, 18, true, 1920, 1080), (Point{1620, 880}));
  EXPECT_EQ(PlaceDialog({0, 0, 640, 480}, 800, 600, 18, true, 640, 480), (Point{0, 0}));
}

TEST(Placement, SaveDialogAcrossTheMiddleAThirdDown) {
  EXPECT_EQ(PlaceHighCentreIn(1280, 1024, 600, 400), (Point{340, 208}));
  // Not smaller on an axis: that term is 0, never negative.
  EXPECT_EQ(PlaceHighCentreIn(500, 1024, 600, 400), (Point{0, 208}));
  EXPECT_EQ(PlaceHighCentreIn(1280, 400, 600, 400), (Point{340, 0}));
}

namespace {
struct Script {
  explicit Script(std::vector<int32_t> a = {}) : actions(std::move(a)) {}
  std::vector<int32_t> actions;
  size_t next = 0;
  std::vector<std::string> seen;
  static int32_t Act(void* ctx, const QmHeadlessDialog* d) {
    auto* s = static_cast<Script*>(ctx);
    std::string line = d->caption;
    for (int32_t i = 0; i < d->itemCount; ++i) line += std::string("|") + d->items[i].text;
    s->seen.push_back(line);
    return s->next < s->actions.size() ? s->actions[s->next++] : QM_ACTION_DEFAULT;
  }
};

class Counter : public DialogController {
 public:
  int closes = 0;
  void OnInit(DialogView& v) override { v.SetItemText(10, "Really?"); }
  void OnClose(DialogView&) override { ++closes; }
};

struct Attached {
  QmHeadlessHost host;
  explicit Attached(Script& s) : host{sizeof(QmHeadlessHost), &s, &Script::Act, nullptr, nullptr} { headless::Attach(&host); }
  ~Attached() { headless::Attach(nullptr); }
};
}  // namespace

TEST(HeadlessDialog, ReportsTextsAfterInitAndFollowsTheScript) {
  Script script{{QM_ACTION_CLOSE, 2}};
  Attached a(script);
  Counter c;
  EXPECT_EQ(RunModalDialog("ASK", nullptr, c), 2);
  EXPECT_EQ(c.closes, 1);  // the controller decides what closing does; here nothing
  ASSERT_EQ(script.seen.size(), 2u);
  EXPECT_EQ(script.seen[0], "Asking|Really?|No|Yes");
}

TEST(HeadlessDialog, DefaultActionPressesTheDefaultButtonAndUnknownTemplatesFail) {
  Script script;
  Attached a(script);
  Counter c;
  EXPECT_EQ(RunModalDialog("ASK", nullptr, c), 1);
  EXPECT_EQ(RunModalDialog("MISSING", nullptr, c), -1);
}

TEST(HeadlessDialog, ScriptThatNeverEndsTheDialogDoesNotHang) {
  Script script{std::vector<int32_t>(5000, QM_ACTION_CLOSE)};
  Attached a(script);
  Counter c;
  EXPECT_EQ(RunModalDialog("ASK", nullptr, c), kIdCancel);
}

TEST(HeadlessMessageBox, AnswersFromScriptAndClosingMeansCancel) {
  Script script{{kIdNo, QM_ACTION_CLOSE, 99, QM_ACTION_DEFAULT}};
  Attached a(script);
  EXPECT_EQ(ShowMessageBox(nullptr, "Save?", "ALERT", kMbYesNo), kIdNo);
  EXPECT_EQ(ShowMessageBox(nullptr, "Go on?", "ALERT", kMbOkCancel), kIdCancel);
  // An id the box does not have is ignored, and the next answer counts.
  EXPECT_EQ(ShowMessageBox(nullptr, "Done", "ALERT", kMbOk), kIdOk);
  EXPECT_EQ(script.seen[0], "ALERT|Save?|Yes|No");
}

namespace {
// A scripting host: hands out actions, the busy ones only while the plug-in works.
struct Session {
  struct Step {
    QmHeadlessAction action;
    bool busy;
    std::string text;
  };
  std::vector<Step> steps;
  size_t next = 0;
  int busyAsks = 0;
  std::vector<std::string> fresh;
  static void Next(void* ctx, const QmHeadlessDialog* d, int32_t busy, QmHeadlessAction* out) {
    auto* s = static_cast<Session*>(ctx);
    if (d->fresh) s->fresh.push_back(d->caption);
    *out = QmHeadlessAction{};
    if (busy) ++s->busyAsks;
    if (s->next < s->steps.size() && (!busy || s->steps[s->next].busy)) {
      *out = s->steps[s->next].action;
      out->text = s->steps[s->next].text.c_str();
      ++s->next;
    } else if (!busy) {
      out->kind = QM_DO_DEFAULT;
    }
  }
  static int32_t Save(void*, const char*, const char* filter, char* path, uint32_t capacity) {
    std::snprintf(path, capacity, "%s", std::string(filter).find("JPEG") != std::string::npos ? "out.jpg" : "");
    return path[0] != 0;
  }
};

// Records what a scripted session did; "Work" runs a job in steps that pumps between them.
class Form : public DialogController {
 public:
  std::vector<std::string> log;
  void OnInit(DialogView& v) override {
    v.AddListEntry(21, "one");
    v.AddListEntry(21, "two");
    v.SelectListEntry(21, 0);
    v.SetChecked(23, true);
    v.Post(7, 1);
  }
  void OnCommand(DialogView& v, int id, int code) override {
    if (id == 20 && code == kNotifyEditChange) log.push_back("edit " + v.ItemText(20));
    else if (id == 21 && code == kNotifySelChange) log.push_back("pick " + v.ItemText(21));
    else if (id == 22) log.push_back(std::string("fast ") + (v.IsChecked(22) ? "on" : "off"));
    else if (id == 23 || id == 24) log.push_back(std::string("radio ") + (v.IsChecked(23) ? "A" : "B"));
    else if (id == 25) {
      for (int step = 0; step < 3; ++step) {
        log.push_back("step " + std::to_string(step));
        v.Pump();
      }
      v.Post(8, 0);
    } else if (id == 1) {
      log.push_back("ok");
      v.End(1);
    }
  }
  void OnPosted(DialogView&, int message, intptr_t value) override {
    log.push_back("posted " + std::to_string(message) + " " + std::to_string(value));
  }
  void OnMouse(DialogView&, int id, MouseEvent e, int32_t x, int32_t y, uint32_t keys) override {
    log.push_back("mouse " + std::to_string(id) + " " + std::to_string(static_cast<int>(e)) + " " + std::to_string(x) +
                  "," + std::to_string(y) + " " + std::to_string(keys));
  }
  void OnSize(DialogView&, int32_t w, int32_t h) override {
    log.push_back("size " + std::to_string(w) + "x" + std::to_string(h));
  }
};
}  // namespace

TEST(HeadlessDialog, ScriptedSessionSetsPicksChecksAndActsWhileBusy) {
  Session s;
  auto step = [](int32_t kind, int32_t id, int32_t value = 0, bool busy = false, std::string text = {}) {
    return Session::Step{QmHeadlessAction{kind, id, value, 0, 0, 0, nullptr}, busy, std::move(text)};
  };
  s.steps = {step(QM_DO_SET, 20, 0, false, "80"),
             step(QM_DO_PICK, 21, 1),
             step(QM_DO_PRESS, 22),
             step(QM_DO_PRESS, 24),
             step(QM_DO_PRESS, 25),
             step(QM_DO_PRESS, 22, 0, true),  // while "Work" runs
             Session::Step{QmHeadlessAction{QM_DO_MOUSE, 20, QM_MOUSE_DOWN, 3, 4, QM_KEY_CTRL, nullptr}, false, ""},
             Session::Step{QmHeadlessAction{QM_DO_SIZE, 0, 0, 300, 200, 0, nullptr}, false, ""}};
  QmHeadlessHost host{sizeof(QmHeadlessHost), &s, nullptr, &Session::Next, &Session::Save};
  headless::Attach(&host);
  Form f;
  EXPECT_EQ(RunModalDialog("#101", nullptr, f), 1);
  std::string path;
  EXPECT_TRUE(AskSaveFileName({nullptr, "JPEG Files", "*.JPG;*.JPEG", "", 260}, path));
  EXPECT_EQ(path, "out.jpg");
  headless::Attach(nullptr);
  const std::vector<std::string> want{"posted 7 1", "edit 80",   "pick two", "fast on",  "radio B",
                                      "step 0",     "fast off",  "step 1",   "step 2",   "posted 8 0",
                                      "mouse 20 0 3,4 1",        "size 300x200",         "ok"};
  EXPECT_EQ(f.log, want);
  EXPECT_EQ(s.fresh, std::vector<std::string>{"Form"});  // reported once, however often it asks
  EXPECT_GE(s.busyAsks, 3);
}

TEST(HeadlessDialog, DisabledControlsIgnoreTheScript) {
  Session s;
  s.steps = {Session::Step{QmHeadlessAction{QM_DO_PRESS, 22, 0, 0, 0, 0, nullptr}, false, ""},
             Session::Step{QmHeadlessAction{QM_DO_SET, 20, 0, 0, 0, 0, nullptr}, false, "x"}};
  QmHeadlessHost host{sizeof(QmHeadlessHost), &s, nullptr, &Session::Next, nullptr};
  headless::Attach(&host);
  class Greyed : public Form {
    void OnInit(DialogView& v) override {
      v.EnableItem(22, false);
      v.EnableItem(20, false);
    }
  } g;
  EXPECT_EQ(RunModalDialog("101", nullptr, g), 1);
  std::string path = "kept";
  EXPECT_FALSE(AskSaveFileName({}, path));  // nobody answers: cancelled
  EXPECT_EQ(path, "kept");
  headless::Attach(nullptr);
  EXPECT_EQ(g.log, std::vector<std::string>{"ok"});
}

TEST(MovableMemory, ZeroFilledAndSized) {
  void* b = NewMovable(1000);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(MovableSize(b), 1000u);
  auto* p = static_cast<unsigned char*>(LockMovable(b));
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(p[i], 0);
  UnlockMovable(b);
  FreeMovable(b);
}
