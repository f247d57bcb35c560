// Native builds: dialogs run against their templates without a window system.
#include <cstdio>
#include <map>
#include <vector>

#include "platform/headless.h"
#include "platform/resources.h"
#include "platform/ui.h"

namespace qm::platform {
namespace {

const QmHeadlessHost* g_host = nullptr;
void* g_module = nullptr;

// Describes a dialog on stderr when no host is attached, so a user still sees what happened.
int32_t DescribeAndDefault(const QmHeadlessDialog& d) {
  std::fprintf(stderr, "[%s] %s", d.isMessageBox ? "message" : "dialog", d.caption);
  for (int32_t i = 0; i < d.itemCount; ++i)
    if (d.items[i].text && *d.items[i].text) std::fprintf(stderr, " | %s", d.items[i].text);
  std::fputc('\n', stderr);
  return QM_ACTION_DEFAULT;
}

int32_t Ask(const QmHeadlessDialog& d) {
  return g_host && g_host->act ? g_host->act(g_host->context, &d) : DescribeAndDefault(d);
}

class HeadlessView final : public DialogView {
 public:
  explicit HeadlessView(const res::Dialog& tpl) : tpl_(tpl) {
    for (uint32_t i = 0; i < tpl.itemCount; ++i) texts_[tpl.items[i].id] = tpl.items[i].text;
  }
  void SetItemText(int id, const std::string& text) override { texts_[id] = text; }
  std::string ItemText(int id) const override {
    auto it = texts_.find(id);
    return it == texts_.end() ? std::string() : it->second;
  }
  void SetItemIcon(int, SystemIcon) override {}
  void EnableItem(int id, bool enabled) override { disabled_[id] = !enabled; }
  void End(intptr_t result) override {
    ended_ = true;
    result_ = result;
  }

  bool ended() const { return ended_; }
  intptr_t result() const { return result_; }
  bool IsEnabled(int id) const {
    auto it = disabled_.find(id);
    return it == disabled_.end() || !it->second;
  }

  // The id Enter would click: the default button, or none.
  int DefaultButton() const {
    for (uint32_t i = 0; i < tpl_.itemCount; ++i)
      if (tpl_.items[i].kind == res::ItemKind::Defpushbutton) return tpl_.items[i].id;
    return 0;
  }

  int32_t AskHost() {
    std::vector<QmHeadlessItem> items;
    std::vector<std::string> keep;
    keep.reserve(tpl_.itemCount);
    for (uint32_t i = 0; i < tpl_.itemCount; ++i) {
      keep.push_back(ItemText(tpl_.items[i].id));
      items.push_back({tpl_.items[i].id, static_cast<int32_t>(tpl_.items[i].kind), keep.back().c_str()});
    }
    QmHeadlessDialog d{tpl_.name, tpl_.caption, 0, 0, static_cast<int32_t>(items.size()), items.data()};
    return Ask(d);
  }

 private:
  const res::Dialog& tpl_;
  std::map<int, std::string> texts_;
  std::map<int, bool> disabled_;
  bool ended_ = false;
  intptr_t result_ = 0;
};

}  // namespace

void SetResourceModule(void* module) { g_module = module; }
void* ResourceModule() { return g_module; }

intptr_t RunModalDialog(const char* templateName, NativeWindow, DialogController& controller) {
  const res::Dialog* tpl = res::ThisModule().FindDialog(templateName);
  if (!tpl) return -1;
  HeadlessView view(*tpl);
  controller.OnInit(view);
  // A script that never ends the dialog must not hang the host.
  for (int step = 0; !view.ended() && step < 1000; ++step) {
    int32_t action = view.AskHost();
    if (action == QM_ACTION_DEFAULT) action = view.DefaultButton() ? view.DefaultButton() : QM_ACTION_CLOSE;
    if (action == QM_ACTION_CLOSE)
      controller.OnClose(view);
    else if (view.IsEnabled(action))
      controller.OnCommand(view, action, 0);
  }
  return view.ended() ? view.result() : intptr_t{kIdCancel};
}

int ShowMessageBox(NativeWindow, const std::string& text, const std::string& caption, uint32_t style) {
  struct Button {
    int id;
    const char* label;
  };
  std::vector<Button> buttons;
  switch (style & 0xF) {
    case kMbOkCancel: buttons = {{kIdOk, "OK"}, {kIdCancel, "Cancel"}}; break;
    case kMbYesNoCancel: buttons = {{kIdYes, "Yes"}, {kIdNo, "No"}, {kIdCancel, "Cancel"}}; break;
    case kMbYesNo: buttons = {{kIdYes, "Yes"}, {kIdNo, "No"}}; break;
    default: buttons = {{kIdOk, "OK"}}; break;
  }
  std::vector<QmHeadlessItem> items{{-1, -1, text.c_str()}};
  for (const Button& b : buttons)
    items.push_back({b.id, static_cast<int32_t>(res::ItemKind::Pushbutton), b.label});
  QmHeadlessDialog d{"", caption.c_str(), 1, style, static_cast<int32_t>(items.size()), items.data()};
  for (int step = 0; step < 1000; ++step) {
    int32_t action = Ask(d);
    if (action == QM_ACTION_DEFAULT) return buttons.front().id;
    // Closing a box is its Cancel, or OK when it has no Cancel, as on Windows.
    if (action == QM_ACTION_CLOSE) {
      for (const Button& b : buttons)
        if (b.id == kIdCancel) return kIdCancel;
      if (buttons.size() == 1) return buttons.front().id;
      continue;
    }
    for (const Button& b : buttons)
      if (b.id == action) return action;
  }
  return buttons.front().id;
}

namespace headless {
void Attach(const QmHeadlessHost* host) { g_host = host; }
}  // namespace headless

}  // namespace qm::platform

// The host's way in, looked up by name in a loaded native plug-in.
extern "C" __attribute__((visibility("default"))) void QmHeadlessAttach(const QmHeadlessHost* host) {
  qm::platform::headless::Attach(host);
}
