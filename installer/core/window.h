#pragma once
// What the installer window does, apart from drawing it: its painted controls and how they
// answer the mouse, the folder list with its browse line, and the install command. The Win32
// window feeds it messages and paints what it holds; tests drive it directly.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "discovery.h"
#include "payload.h"
#include "system.h"

namespace installer {

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

enum class ControlKind { Button, Picture, Link, Option };

struct Control {
  ControlKind kind = ControlKind::Button;
  int id = 0;            // what the control posts to the window; 0 for none
  int bitmap = 0;        // resource id of its picture
  Rect area;             // where it answers the mouse
  std::string hint;
  std::string text;      // the link's address, the option's label
  std::string name;      // the option's exclusion word while unchecked
  bool visible = true;
  bool enabled = true;
  bool pressed = false;
  bool visited = false;  // the link, once clicked
  int state = 0;         // the option: 0 unchecked, 1 unchecked pressed, 2 checked, 3 checked pressed
  int stateBeforePress = 0;
};

struct TextLine {
  int x = 0, y = 0;
  std::string text;
};

enum class Action { None, Repaint, Close, OpenPage };

class SetupWindow {
 public:
  // Control and message ids of the dialog template and the painted controls.
  static constexpr int kNotifyMessage = 0x400 + 256;
  static constexpr int kListId = 1033, kHiddenButtonId = 1034;
  static constexpr int kCloseId = 2, kInstallId = 219, kLinkId = 1029, kOptionId = 2000;
  static constexpr int kTileBitmap = 117, kOptionBitmap = 128, kCloseBitmap = 203, kPictureBitmap = 213,
                       kInstallBitmap = 219, kDoneBitmap = 220, kLinkCursor = 120;
  static constexpr int kClientWidth = 383, kClientHeight = 270;
  static constexpr int kListX = 6, kListY = 210, kListWidth = 373;
  static constexpr Rect kHintLine{6, 242, 249, 262};
  static constexpr const char* kBrowseLine = "******** BROWS ********";
  static constexpr const char* kCaption = "Brannock Plugins : Installation";
  static constexpr const char* kBrowseTitle = "Please Select Your Plug-Ins Folder";
  static constexpr const char* kLinkText = "www.brannock.example";
  static constexpr const char* kInstallPage = "http://www.brannock.example/install.html";

  explicit SetupWindow(const std::vector<Folder>& folders);

  std::vector<Control>& Controls() { return controls_; }
  Control& Find(int id, ControlKind kind);
  // The window measures the link's text in its font and tells the clickable extent here.
  void SetLinkExtent(int width, int height);

  // Mouse messages in client pixels. Each returns the id the control posts, or 0.
  int MouseMove(int x, int y);
  int ButtonDown(int x, int y, bool right);
  int ButtonUp(int x, int y, bool right);
  const std::string& Hint() const { return hint_; }
  bool OverLink() const { return overLink_; }
  // Areas to redraw since the last call (pressed pictures, option frames, the hint line).
  std::vector<Rect> TakeDirty();

  // A posted control id.
  Action Notify(int id, System& sys, const std::vector<Payload>& payloads);

  // The list: its lines, the selected one, and a selection by the user. Choosing the browse
  // line asks the browser for a folder; nothing chosen, or nothing there, selects line 0.
  const std::vector<std::string>& Lines() const { return lines_; }
  int Selection() const { return selection_; }
  void Select(int line, System& sys, const std::function<std::optional<std::string>()>& browse);

  bool Installed() const { return installed_; }
  bool ListVisible() const { return !installed_; }
  int FontHeight() const { return installed_ ? 16 : 13; }
  std::vector<TextLine> Texts() const;

 private:
  bool Install(System& sys, const std::vector<Payload>& payloads);
  Control* Hit(int x, int y);
  void Dirty(const Rect& r) { dirty_.push_back(r); }
  void SetHint(const std::string& hint);

  std::vector<Control> controls_;
  std::vector<std::string> lines_;
  int selection_ = 0;
  int browsedLine_ = -1;
  bool installed_ = false;
  std::string hint_;
  bool overLink_ = false;
  int captured_ = -1;  // the control the pressed button went down on
  std::vector<Rect> dirty_;
};

}  // namespace installer
