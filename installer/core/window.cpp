#include "window.h"

#include <algorithm>

namespace installer {
namespace {

constexpr int kButtonWidth = 58, kButtonHeight = 20;
constexpr int kOptionBox = 13;

Control Button(int bitmap, int id, int x, int y) {
  Control c;
  c.kind = ControlKind::Button;
  c.id = id;
  c.bitmap = bitmap;
  c.area = Rect{x, y, x + kButtonWidth, y + kButtonHeight};
  return c;
}

}  // namespace

SetupWindow::SetupWindow(const std::vector<Folder>& folders) {
  controls_.push_back(Button(kCloseBitmap, kCloseId, 319, 240));
  controls_.push_back(Button(kInstallBitmap, kInstallId, 249, 240));
  Control picture;
  picture.kind = ControlKind::Picture;
  picture.bitmap = kPictureBitmap;
  picture.area = Rect{4, 2, 4 + 170, 2 + 106};
  controls_.push_back(picture);
  Control link;
  link.kind = ControlKind::Link;
  link.id = kLinkId;
  link.text = kLinkText;
  link.hint = "Visit Brannock Plugins Home Page";
  link.area = Rect{96, 14, 96 + 6 * int(link.text.size()), 14 + 13};  // until the window measures it
  controls_.push_back(link);
  Control option;
  option.kind = ControlKind::Option;
  option.id = kOptionId;
  option.bitmap = kOptionBitmap;
  option.text = "Inkwright";
  option.hint = "Select to install Inkwright filter";
  option.name = "Inkwright";
  option.state = 2;
  option.area = Rect{230, 10, 230 + kOptionBox, 10 + kOptionBox};
  controls_.push_back(option);
  Control done = Button(kDoneBitmap, kCloseId, 161, 210);
  done.visible = false;
  controls_.push_back(done);

  for (const Folder& f : folders) lines_.push_back(f.Display());
  lines_.push_back(kBrowseLine);
}

Control& SetupWindow::Find(int id, ControlKind kind) {
  for (Control& c : controls_)
    if (c.kind == kind && (c.id == id || c.bitmap == id)) return c;
  return controls_.front();
}

void SetupWindow::SetLinkExtent(int width, int height) {
  Control& link = Find(kLinkId, ControlKind::Link);
  link.area.right = link.area.left + width;
  link.area.bottom = link.area.top + height;
}

Control* SetupWindow::Hit(int x, int y) {
  for (Control& c : controls_)
    if (c.visible && c.kind != ControlKind::Picture && c.area.Contains(x, y)) return &c;
  return nullptr;
}

void SetupWindow::SetHint(const std::string& hint) {
  if (hint == hint_) return;
  hint_ = hint;
  Dirty(kHintLine);
}

std::vector<Rect> SetupWindow::TakeDirty() {
  std::vector<Rect> out;
  out.swap(dirty_);
  return out;
}

int SetupWindow::MouseMove(int x, int y) {
  Control* over = Hit(x, y);
  SetHint(over ? over->hint : std::string());
  overLink_ = over && over->kind == ControlKind::Link;
  if (captured_ >= 0) {
    Control& c = controls_[size_t(captured_)];
    const bool inside = c.area.Contains(x, y);
    if (c.kind == ControlKind::Button && c.pressed != inside) {
      c.pressed = inside;
      Dirty(c.area);
    } else if (c.kind == ControlKind::Option && c.pressed && !inside) {
      // Leaving the box undoes the press.
      c.pressed = false;
      c.state = c.stateBeforePress;
      Dirty(c.area);
    }
  }
  return 0;
}

int SetupWindow::ButtonDown(int x, int y, bool right) {
  Control* c = Hit(x, y);
  if (!c || !c->enabled) return 0;
  captured_ = int(c - controls_.data());
  switch (c->kind) {
    case ControlKind::Button:
      if (right) {
        captured_ = -1;
        return 0;
      }
      c->pressed = true;
      Dirty(c->area);
      return 0;
    case ControlKind::Option:
      c->stateBeforePress = c->state;
      c->state = (c->state + (right ? 3 : 1)) % 4;
      c->pressed = true;
      Dirty(c->area);
      return 0;
    case ControlKind::Link:
      captured_ = -1;
      if (right) return 0;
      c->visited = true;
      Dirty(c->area);
      return c->id;
    case ControlKind::Picture:
      break;
  }
  captured_ = -1;
  return 0;
}

int SetupWindow::ButtonUp(int x, int y, bool right) {
  if (captured_ < 0) return 0;
  Control& c = controls_[size_t(captured_)];
  captured_ = -1;
  if (!c.pressed) return 0;
  c.pressed = false;
  Dirty(c.area);
  if (!c.area.Contains(x, y)) {
    if (c.kind == ControlKind::Option) c.state = c.stateBeforePress;
    return 0;
  }
  if (c.kind == ControlKind::Option) c.state = (c.state + (right ? 3 : 1)) % 4;
  return c.id;
}

Action SetupWindow::Notify(int id, System& sys, const std::vector<Payload>& payloads) {
  switch (id) {
    case kCloseId:
      return Action::Close;
    case kInstallId:
      if (installed_) return Action::Close;
      return Install(sys, payloads) ? Action::Repaint : Action::None;
    case kLinkId:
      return Action::OpenPage;
    case kOptionId: {
      bool any = false;
      for (const Control& c : controls_)
        if (c.kind == ControlKind::Option && c.state >= 2) any = true;
      Control& install = Find(kInstallId, ControlKind::Button);
      if (install.enabled != any) {
        install.enabled = any;
        Dirty(install.area);
      }
      return Action::Repaint;
    }
    default:
      return Action::None;
  }
}

bool SetupWindow::Install(System& sys, const std::vector<Payload>& payloads) {
  if (!Find(kInstallId, ControlKind::Button).enabled) return false;
  int states = 0;
  std::vector<std::string> excluded;
  for (const Control& c : controls_) {
    if (c.kind != ControlKind::Option) continue;
    states += c.state;
    if (c.state == 0 && excluded.size() < 20) excluded.push_back(c.name);
  }
  if (states == 0 || selection_ < 0 || size_t(selection_) >= lines_.size()) return false;
  if (lines_[size_t(selection_)] == kBrowseLine) return false;
  const std::string folder = AsFolder(lines_[size_t(selection_)]);
  if (!EnterOrCreate(sys, folder)) return false;
  WritePayloads(sys, folder, payloads, excluded);
  installed_ = true;
  for (Control& c : controls_) c.visible = c.kind == ControlKind::Link;
  Find(kDoneBitmap, ControlKind::Button).visible = true;
  captured_ = -1;
  SetHint({});
  return true;
}

void SetupWindow::Select(int line, System& sys, const std::function<std::optional<std::string>()>& browse) {
  if (line < 0 || size_t(line) >= lines_.size()) return;
  if (lines_[size_t(line)] != kBrowseLine) {
    selection_ = line;
    return;
  }
  std::optional<std::string> chosen = browse ? browse() : std::nullopt;
  if (!chosen || chosen->empty() || !sys.SetCurrentFolder(*chosen)) {
    selection_ = 0;
    return;
  }
  std::string folder = AsFolder(*chosen);
  if (browsedLine_ >= 0) lines_.erase(lines_.begin() + browsedLine_);
  const auto at = std::find(lines_.begin(), lines_.end(), std::string(kBrowseLine));
  browsedLine_ = int(at - lines_.begin());
  lines_.insert(at, folder);
  selection_ = browsedLine_;
}

std::vector<TextLine> SetupWindow::Texts() const {
  if (!installed_) return {{6, 190, "Setup will install Brannock Plugins to the folder:"}};
  return {{20, 50, "Installation completed. In some cases you have to"},
          {20, 67, "restart your image editor to activate the filters installed."},
          {20, 84, "Filter category name is \"Brannock\". Do not forget to"},
          {20, 101, "install addition textures and presets."}};
}

}  // namespace installer
