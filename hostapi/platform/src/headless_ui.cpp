// Native builds: dialogs run against their templates without a window system.
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <utility>
#include <vector>

#include "platform/headless.h"
#include "platform/resources.h"
#include "platform/ui.h"
#include "platform/window_place.h"

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

bool HostScripts() { return g_host && g_host->size >= sizeof(QmHeadlessHost) && g_host->next; }

// The next action for what is shown: from a scripting host, else from the plain answer.
QmHeadlessAction Ask(const QmHeadlessDialog& d, bool busy) {
  QmHeadlessAction a{};
  if (HostScripts()) {
    g_host->next(g_host->context, &d, busy ? 1 : 0, &a);
    return a;
  }
  if (busy) return a;  // plain answers come only when the dialog waits for the user
  const int32_t r = g_host && g_host->act ? g_host->act(g_host->context, &d) : DescribeAndDefault(d);
  if (r == QM_ACTION_DEFAULT) a.kind = QM_DO_DEFAULT;
  else if (r == QM_ACTION_CLOSE) a.kind = QM_DO_CLOSE;
  else {
    a.kind = QM_DO_PRESS;
    a.id = r;
  }
  return a;
}

// Dialog units to pixels for the templates' 8-point font at 96 dots per inch.
int32_t UnitsToX(int32_t u) { return u * 6 / 4; }
int32_t UnitsToY(int32_t u) { return u * 13 / 8; }

class HeadlessView final : public DialogView {
 public:
  HeadlessView(const res::Dialog& tpl, DialogController& controller)
      : tpl_(tpl), controller_(controller), caption_(tpl.caption ? tpl.caption : "") {
    for (uint32_t i = 0; i < tpl.itemCount; ++i) {
      const res::DialogItem& it = tpl.items[i];
      Item& item = items_[it.id];
      item.text = it.text;
      item.place = {UnitsToX(it.x), UnitsToY(it.y), UnitsToX(it.cx), UnitsToY(it.cy)};
    }
    client_ = {0, 0, UnitsToX(tpl.cx), UnitsToY(tpl.cy)};
    own_ = client_;
    tpls_.push_back(&tpl);
  }
  void SetItemText(int id, const std::string& text) override { items_[id].text = text; }
  std::string ItemText(int id) const override {
    auto it = items_.find(id);
    return it == items_.end() ? std::string() : it->second.text;
  }
  void SetItemIcon(int, SystemIcon) override {}
  void EnableItem(int id, bool enabled) override { items_[id].enabled = enabled; }
  void End(intptr_t result) override {
    if (ended_) return;
    ended_ = true;
    result_ = result;
  }
  void ClearList(int id) override {
    items_[id].entries.clear();
    items_[id].selected = -1;
  }
  void AddListEntry(int id, const std::string& text) override { items_[id].entries.push_back(text); }
  void SelectListEntry(int id, int index) override {
    Item& it = items_[id];
    it.selected = index >= 0 && index < static_cast<int>(it.entries.size()) ? index : -1;
    // A drop list shows its selection as its text.
    it.text = it.selected >= 0 ? it.entries[static_cast<size_t>(it.selected)] : std::string();
  }
  int SelectedListEntry(int id) const override {
    auto it = items_.find(id);
    return it == items_.end() ? -1 : it->second.selected;
  }
  void LimitText(int id, int chars) override { items_[id].limit = chars; }
  void SetChecked(int id, bool on) override { items_[id].checked = on; }
  bool IsChecked(int id) const override {
    auto it = items_.find(id);
    return it != items_.end() && it->second.checked;
  }
  bool IsItemEnabled(int id) const override {
    auto it = items_.find(id);
    return it == items_.end() || it->second.enabled;
  }
  ItemRect ItemPlace(int id) const override {
    if (id == 0) return client_;
    auto it = items_.find(id);
    return it == items_.end() ? ItemRect{} : it->second.place;
  }
  void PlaceItem(int id, const ItemRect& r) override {
    if (id == 0) client_ = {0, 0, r.width, r.height};
    else items_[id].place = r;
  }
  void SetCaption(const std::string& text) override { caption_ = text; }
  bool OpenPart(int part, const char* templateName) override {
    if (part <= 0 || parts_.count(part) || !templateName) return false;
    const res::Dialog* tpl = res::ThisModule().FindDialog(templateName);
    if (!tpl) return false;
    for (uint32_t i = 0; i < tpl->itemCount; ++i) {
      const res::DialogItem& it = tpl->items[i];
      Item& item = items_[it.id];
      item.text = it.text;
      item.place = {UnitsToX(it.x), UnitsToY(it.y), UnitsToX(it.cx), UnitsToY(it.cy)};
    }
    parts_[part] = {tpl, {0, 0, UnitsToX(tpl->cx), UnitsToY(tpl->cy)}, false};
    tpls_.push_back(tpl);
    return true;
  }
  void ShowPart(int part, bool visible) override {
    if (auto it = parts_.find(part); it != parts_.end()) it->second.visible = visible;
  }
  ItemRect PartPlace(int part) const override {
    if (part == 0) return own_;
    auto it = parts_.find(part);
    return it == parts_.end() ? ItemRect{} : it->second.place;
  }
  void PlacePart(int part, const ItemRect& r) override {
    if (part == 0) own_ = r;
    else if (auto it = parts_.find(part); it != parts_.end()) it->second.place = r;
  }
  void Post(int message, intptr_t value) override { posted_.emplace_back(message, value); }
  void Pump() override {
    // Whatever the script does while the work goes on, then back to the work.
    for (int guard = 0; !ended_ && guard < 1000; ++guard) {
      QmHeadlessAction a = Ask(Describe(), true);
      if (a.kind == QM_DO_NOTHING) break;
      Apply(a);
    }
  }

  bool ended() const { return ended_; }
  intptr_t result() const { return result_; }

  // The dialog's own loop: queued messages first, then the user.
  void Run() {
    controller_.OnInit(*this);
    // A script that never ends the dialog must not hang the host.
    int asks = 0, messages = 0;
    while (!ended_ && asks < 1000 && messages < 1000000) {
      if (!posted_.empty()) {
        auto [message, value] = posted_.front();
        posted_.pop_front();
        ++messages;
        controller_.OnPosted(*this, message, value);
        continue;
      }
      ++asks;
      Apply(Ask(Describe(), false));
    }
  }

 private:
  struct Part {
    const res::Dialog* tpl = nullptr;
    ItemRect place;  // screen pixels
    bool visible = false;
  };
  struct Item {
    std::string text;
    bool enabled = true, checked = false;
    int selected = -1;
    int limit = 0;  // characters an edit field takes; 0: no limit
    std::vector<std::string> entries;
    ItemRect place;
  };

  // The id Enter would click: the default button, or none.
  int DefaultButton() const {
    for (uint32_t i = 0; i < tpl_.itemCount; ++i)
      if (tpl_.items[i].kind == res::ItemKind::Defpushbutton) return tpl_.items[i].id;
    return 0;
  }
  // The item and the template (the dialog's or a part's) that holds it.
  const res::DialogItem* Template(int id, const res::Dialog** in = nullptr) const {
    for (const res::Dialog* d : tpls_)
      for (uint32_t i = 0; i < d->itemCount; ++i)
        if (d->items[i].id == id) {
          if (in) *in = d;
          return &d->items[i];
        }
    return nullptr;
  }

  void Press(int id) {
    // A part's number stands for its close box.
    if (auto p = parts_.find(id); p != parts_.end()) {
      if (p->second.visible) controller_.OnPartClosed(*this, id);
      return;
    }
    const res::Dialog* holder = &tpl_;
    const res::DialogItem* t = Template(id, &holder);
    if (!IsItemEnabled(id)) return;
    if (t && t->kind == res::ItemKind::Checkbox) {
      items_[id].checked = !items_[id].checked;
    } else if (t && t->kind == res::ItemKind::Radio) {
      // Auto radio buttons: the neighbours in the template form the group.
      const res::DialogItem* first = t;
      while (first > holder->items && (first - 1)->kind == res::ItemKind::Radio) --first;
      for (const res::DialogItem* r = first; r < holder->items + holder->itemCount && r->kind == res::ItemKind::Radio;
           ++r)
        items_[r->id].checked = r->id == id;
    }
    controller_.OnCommand(*this, id, kNotifyClicked);
  }

  // A drag of the dialog (0) or of a part by its caption: the window keeps its size, and the
  // controller hears of the new place as from a user's drag.
  void Move(int part, int32_t x, int32_t y) {
    if (part != 0 && !parts_.count(part)) return;
    const ItemRect was = PartPlace(part);
    PlacePart(part, {x, y, was.width, was.height});
    controller_.OnPartMoved(*this, part, PartPlace(part));
  }

  void Apply(const QmHeadlessAction& a) {
    switch (a.kind) {
      case QM_DO_PRESS: Press(a.id); break;
      case QM_DO_SET:
        if (!IsItemEnabled(a.id)) break;
        items_[a.id].text = a.text ? a.text : "";
        // Typing stops at the field's limit.
        if (items_[a.id].limit > 0 && items_[a.id].text.size() > static_cast<size_t>(items_[a.id].limit))
          items_[a.id].text.resize(static_cast<size_t>(items_[a.id].limit));
        controller_.OnCommand(*this, a.id, kNotifyEditChange);
        break;
      case QM_DO_PICK:
        if (!IsItemEnabled(a.id)) break;
        SelectListEntry(a.id, a.value);
        controller_.OnCommand(*this, a.id, kNotifySelChange);
        break;
      case QM_DO_MOUSE: {
        const MouseEvent e = a.value == QM_MOUSE_DOWN ? MouseEvent::Down
                             : a.value == QM_MOUSE_UP ? MouseEvent::Up
                                                      : MouseEvent::Move;
        uint32_t keys = 0;
        if (a.flags & QM_KEY_CTRL) keys |= kKeyCtrl;
        if (a.flags & QM_KEY_SHIFT) keys |= kKeyShift;
        controller_.OnMouse(*this, a.id, e, a.x, a.y, keys);
        break;
      }
      case QM_DO_SIZE: controller_.OnSize(*this, a.x, a.y); break;
      case QM_DO_MOVE: Move(a.id, a.x, a.y); break;
      case QM_DO_DEFAULT:
        if (int id = DefaultButton()) Press(id);
        else controller_.OnClose(*this);
        break;
      case QM_DO_CLOSE: controller_.OnClose(*this); break;
      default: break;
    }
  }

  // What the user sees now, in template order.
  const QmHeadlessDialog& Describe() {
    shownItems_.clear();
    entryTexts_.clear();
    partTexts_.clear();
    size_t count = 0;
    for (const res::Dialog* d : tpls_) count += d->itemCount;
    entryTexts_.reserve(count);
    partTexts_.reserve(parts_.size());
    for (const res::Dialog* d : tpls_)
      for (uint32_t i = 0; i < d->itemCount; ++i) {
        const Item& it = items_[d->items[i].id];
        std::vector<const char*>& e = entryTexts_.emplace_back();
        for (const std::string& s : it.entries) e.push_back(s.c_str());
        shownItems_.push_back({d->items[i].id, static_cast<int32_t>(d->items[i].kind), it.text.c_str(),
                               it.enabled ? 1 : 0, it.checked ? 1 : 0, it.selected,
                               static_cast<int32_t>(e.size()), e.empty() ? nullptr : e.data(), it.place.left,
                               it.place.top, it.place.width, it.place.height});
      }
    // Each part as a control of its number: its caption, whether it shows, its screen place.
    for (const auto& [id, p] : parts_) {
      partTexts_.push_back(std::string(p.tpl->caption ? p.tpl->caption : "") + (p.visible ? "" : " [hidden]"));
      shownItems_.push_back({id, static_cast<int32_t>(res::ItemKind::Custom), partTexts_.back().c_str(), 1,
                             p.visible ? 1 : 0, -1, 0, nullptr, p.place.left, p.place.top, p.place.width,
                             p.place.height});
    }
    shown_ = {tpl_.name, caption_.c_str(), 0, 0, static_cast<int32_t>(shownItems_.size()), shownItems_.data(),
              asked_ ? 0 : 1};
    asked_ = true;
    return shown_;
  }

  const res::Dialog& tpl_;
  DialogController& controller_;
  std::string caption_;
  std::map<int, Item> items_;
  ItemRect client_;
  ItemRect own_;  // the dialog's own place on the screen
  std::vector<const res::Dialog*> tpls_;
  std::map<int, Part> parts_;
  std::vector<std::string> partTexts_;
  std::deque<std::pair<int, intptr_t>> posted_;
  bool ended_ = false;
  bool asked_ = false;
  intptr_t result_ = 0;
  QmHeadlessDialog shown_{};
  std::vector<QmHeadlessItem> shownItems_;
  std::vector<std::vector<const char*>> entryTexts_;
};

}  // namespace

void SetResourceModule(void* module) { g_module = module; }
void* ResourceModule() { return g_module; }

// Nothing here is drawn by a window system: the native part has no one to talk to.
intptr_t RunModalDialog(const char* templateName, NativeWindow parent, DialogController& controller,
                        NativeDialogPart*) {
  return RunModalDialog(templateName, parent, controller);
}

intptr_t RunModalDialog(const char* templateName, NativeWindow, DialogController& controller) {
  const res::Dialog* tpl = res::ThisModule().FindDialog(templateName);
  if (!tpl) return -1;
  HeadlessView view(*tpl, controller);
  view.Run();
  return view.ended() ? view.result() : intptr_t{kIdCancel};
}

std::string LoadResourceString(int id) {
  const char* text = res::ThisModule().FindString(id);
  return text ? std::string(text) : std::string();
}

// Natively the debugger's output is the error stream.
void DebugOutput(const char* text) { std::fputs(text, stderr); }

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
  std::vector<QmHeadlessItem> items{{-1, -1, text.c_str(), 1, 0, -1, 0, nullptr, 0, 0, 0, 0}};
  for (const Button& b : buttons)
    items.push_back({b.id, static_cast<int32_t>(res::ItemKind::Pushbutton), b.label, 1, 0, -1, 0, nullptr, 0, 0, 0, 0});
  QmHeadlessDialog d{"", caption.c_str(), 1, style, static_cast<int32_t>(items.size()), items.data(), 1};
  for (int step = 0; step < 1000; ++step) {
    QmHeadlessAction a = Ask(d, false);
    d.fresh = 0;
    if (a.kind == QM_DO_DEFAULT) return buttons.front().id;
    // Closing a box is its Cancel, or OK when it has no Cancel, as on Windows.
    if (a.kind == QM_DO_CLOSE) {
      for (const Button& b : buttons)
        if (b.id == kIdCancel) return kIdCancel;
      if (buttons.size() == 1) return buttons.front().id;
      continue;
    }
    if (a.kind == QM_DO_PRESS)
      for (const Button& b : buttons)
        if (b.id == a.id) return a.id;
  }
  return buttons.front().id;
}

bool AskSaveFileName(const SaveFileRequest& request, std::string& path) {
  if (!g_host || g_host->size < sizeof(QmHeadlessHost) || !g_host->saveFileName) {
    std::fprintf(stderr, "[save] %s (%s): cancelled, nobody to answer\n", request.filterName.c_str(),
                 request.patterns.c_str());
    return false;
  }
  const std::string filter = request.filterName + " (" + request.patterns + ")";
  std::vector<char> buf(request.capacity ? request.capacity : 1, '\0');
  std::strncpy(buf.data(), request.initialName.c_str(), buf.size() - 1);
  if (!g_host->saveFileName(g_host->context, "Save As", filter.c_str(), buf.data(), static_cast<uint32_t>(buf.size())))
    return false;
  buf.back() = '\0';
  path = buf.data();
  return true;
}

namespace headless {
void Attach(const QmHeadlessHost* host) { g_host = host; }
}  // namespace headless

}  // namespace qm::platform

// The host's way in, looked up by name in a loaded native plug-in.
extern "C" __attribute__((visibility("default"))) void QmHeadlessAttach(const QmHeadlessHost* host) {
  qm::platform::headless::Attach(host);
}

namespace qm::platform {

std::optional<ItemRect> WindowScreenRect(NativeWindow) { return std::nullopt; }
void MoveWindowTo(NativeWindow, const ItemRect&) {}
ItemRect ScreenWorkArea() { return {0, 0, 1024, 768}; }

}  // namespace qm::platform
