#include <gtest/gtest.h>

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
const qm::res::Dialog kDialogs[] = {{"ASK", "Asking", 100, 50, true, kAskItems, 3}};
}  // namespace
const qm::res::ModuleResources& qm::res::ThisModule() {
  static const ModuleResources table{nullptr, 0, kDialogs, 1, nullptr, 0};
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
  explicit Attached(Script& s) : host{sizeof(QmHeadlessHost), &s, &Script::Act} { headless::Attach(&host); }
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

TEST(MovableMemory, ZeroFilledAndSized) {
  void* b = NewMovable(1000);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(MovableSize(b), 1000u);
  auto* p = static_cast<unsigned char*>(LockMovable(b));
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(p[i], 0);
  UnlockMovable(b);
  FreeMovable(b);
}
