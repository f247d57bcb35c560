#pragma once
// Modal dialogs and message boxes. Windows builds show real Win32 dialogs from the module's
// resource templates; native builds run the same controllers headlessly, report what would be
// shown and take the user's actions from a script the host supplies (see headless.h).
#include <cstdint>
#include <string>

namespace qm::platform {

using NativeWindow = void*;  // HWND on Windows

enum class SystemIcon { Warning, Error, Information, Question };

// What a controller may do to the dialog it drives.
class DialogView {
 public:
  virtual void SetItemText(int id, const std::string& text) = 0;
  virtual std::string ItemText(int id) const = 0;
  virtual void SetItemIcon(int id, SystemIcon icon) = 0;
  virtual void EnableItem(int id, bool enabled) = 0;
  virtual void End(intptr_t result) = 0;

 protected:
  ~DialogView() = default;
};

// Dialog behaviour lives here, so tests drive it without a window system.
class DialogController {
 public:
  virtual ~DialogController() = default;
  virtual void OnInit(DialogView&) {}
  // A command whose notification code is 0 (a click) ends the dialog with the control id.
  virtual void OnCommand(DialogView& view, int id, int notifyCode) {
    if (notifyCode == 0) view.End(id);
  }
  virtual void OnClose(DialogView&) {}
  virtual bool PaintsWhiteBackground() const { return false; }
};

// Resources come from this module unless a host tells the plug-in otherwise (for instance the
// module handle a suite returns).
void SetResourceModule(void* module);
void* ResourceModule();

// Shows the named dialog template modally and returns the value passed to End, or -1 when
// the dialog could not be created.
intptr_t RunModalDialog(const char* templateName, NativeWindow parent, DialogController& controller);

// Message box styles and answers use the Win32 values.
enum : uint32_t {
  kMbOk = 0x0, kMbOkCancel = 0x1, kMbYesNoCancel = 0x3, kMbYesNo = 0x4,
  kMbIconError = 0x10, kMbIconQuestion = 0x20, kMbIconWarning = 0x30, kMbIconInformation = 0x40,
};
enum : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

int ShowMessageBox(NativeWindow parent, const std::string& text, const std::string& caption, uint32_t style);

}  // namespace qm::platform
