#pragma once
// Modal dialogs and message boxes. Windows builds show real Win32 dialogs from the module's
// resource templates; native builds run the same controllers headlessly, report what would be
// shown and take the user's actions from a script the host supplies (see headless.h).
#include <cstdint>
#include <string>

namespace qm::platform {

using NativeWindow = void*;  // HWND on Windows

enum class SystemIcon { Warning, Error, Information, Question };

struct ItemRect {
  int32_t left = 0, top = 0, width = 0, height = 0;
  bool Empty() const { return width <= 0 || height <= 0; }
  bool operator==(const ItemRect&) const = default;
};

// Notification codes a controller sees in OnCommand (the Win32 values).
enum : int { kNotifyClicked = 0, kNotifySelChange = 1, kNotifyEditChange = 0x300 };

enum class MouseEvent { Down, Move, Up };
enum : uint32_t { kKeyCtrl = 1, kKeyShift = 2 };

// What a controller may do to the dialog it drives.
class DialogView {
 public:
  virtual void SetItemText(int id, const std::string& text) = 0;
  virtual std::string ItemText(int id) const = 0;
  virtual void SetItemIcon(int id, SystemIcon icon) = 0;
  virtual void EnableItem(int id, bool enabled) = 0;
  virtual void End(intptr_t result) = 0;

  // Drop lists: entries from 0, -1 for no selection.
  virtual void ClearList(int /*id*/) {}
  virtual void AddListEntry(int /*id*/, const std::string& /*text*/) {}
  virtual void SelectListEntry(int /*id*/, int /*index*/) {}
  virtual int SelectedListEntry(int /*id*/) const { return -1; }
  // The most characters an edit field takes.
  virtual void LimitText(int /*id*/, int /*chars*/) {}
  // Check boxes and radio buttons.
  virtual void SetChecked(int /*id*/, bool /*on*/) {}
  virtual bool IsChecked(int /*id*/) const { return false; }
  virtual bool IsItemEnabled(int /*id*/) const { return true; }
  // Where a control sits in the dialog's client area, in pixels; the dialog's own client
  // size for id 0.
  virtual ItemRect ItemPlace(int /*id*/) const { return {}; }
  virtual void PlaceItem(int /*id*/, const ItemRect& /*r*/) {}
  // Asks for part of a custom-drawn control to be drawn again (the whole control when empty).
  virtual void Redraw(int /*id*/, const ItemRect& /*r*/ = {}) {}
  // Queues a message for the controller's OnPosted, after what is already queued.
  virtual void Post(int /*message*/, intptr_t /*value*/) {}
  // Lets the dialog handle what the user did meanwhile (the message queue's drain), for work
  // done in steps while the dialog stays live. Messages posted during the drain wait for the
  // dialog's own loop.
  virtual void Pump() {}
  // The window's caption (a progress window shows its progress there).
  virtual void SetCaption(const std::string& /*text*/) {}
  // The dialog's own window, to own the windows it opens (none headlessly).
  virtual NativeWindow Window() const { return nullptr; }
  // Windows of the dialog's own beside it (tool windows from templates of their own, owned by
  // the dialog and hidden until shown), numbered by the controller from 1; their controls are
  // reached by id like the dialog's, so ids must differ across them. Places are outer
  // rectangles in screen pixels; part 0 is the dialog itself. Headlessly each part is listed
  // as a control of its number, placed where the window would be.
  virtual bool OpenPart(int /*part*/, const char* /*templateName*/) { return false; }
  virtual void ShowPart(int /*part*/, bool /*visible*/) {}
  virtual ItemRect PartPlace(int /*part*/) const { return {}; }
  virtual void PlacePart(int /*part*/, const ItemRect& /*r*/) {}

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
  // A message the controller posted itself (DialogView::Post).
  virtual void OnPosted(DialogView&, int /*message*/, intptr_t /*value*/) {}
  // Mouse over control `id` at (x, y) in that control's pixels; keys are kKey bits.
  virtual void OnMouse(DialogView&, int /*id*/, MouseEvent, int32_t /*x*/, int32_t /*y*/, uint32_t /*keys*/) {}
  // The dialog's client area was resized by the user to width by height pixels.
  virtual void OnSize(DialogView&, int32_t /*width*/, int32_t /*height*/) {}
  // The user moved part `part` (0: the dialog itself; see DialogView::OpenPart) to `r`, or
  // closed it with its close box.
  virtual void OnPartMoved(DialogView&, int /*part*/, const ItemRect& /*r*/) {}
  virtual void OnPartClosed(DialogView&, int /*part*/) {}
};

// Resources come from this module unless a host tells the plug-in otherwise (for instance the
// module handle a suite returns).
void SetResourceModule(void* module);
void* ResourceModule();

// Windows builds: the window property a dialog carries while its controller drains the queue
// in the middle of work (DialogView::Pump), so that a watching host knows it is busy.
inline constexpr char kDialogBusyProperty[] = "qm.dialog.busy";
// Windows builds: the window property a dialog's part carries (its number), so that a
// watching host answers the dialog and not its parts.
inline constexpr char kDialogPartProperty[] = "qm.dialog.part";

// Windows builds: what of a dialog the window system itself draws and feeds (custom-drawn
// controls, the mouse over them, cursors, the smallest size). The dialog procedure offers it
// each message before the controller (WM_INITDIALOG included, before OnInit); headless
// dialogs never call it.
class NativeDialogPart {
 public:
  // True when handled; `result` is then what the dialog procedure returns.
  virtual bool OnMessage(DialogView& view, NativeWindow dialog, uint32_t message, uintptr_t wparam, intptr_t lparam,
                         intptr_t& result) = 0;

 protected:
  ~NativeDialogPart() = default;
};

// Shows the named dialog template modally and returns the value passed to End, or -1 when
// the dialog could not be created.
intptr_t RunModalDialog(const char* templateName, NativeWindow parent, DialogController& controller);
intptr_t RunModalDialog(const char* templateName, NativeWindow parent, DialogController& controller,
                        NativeDialogPart* part);

// Message box styles and answers use the Win32 values.
enum : uint32_t {
  kMbOk = 0x0, kMbOkCancel = 0x1, kMbYesNoCancel = 0x3, kMbYesNo = 0x4,
  kMbIconError = 0x10, kMbIconQuestion = 0x20, kMbIconWarning = 0x30, kMbIconInformation = 0x40,
};
enum : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

int ShowMessageBox(NativeWindow parent, const std::string& text, const std::string& caption, uint32_t style);

// The system's save-file dialog. `filterName` and `patterns` ("*.JPG;*.JPEG") name the file
// types offered. Returns false when the user cancels; `path` then stays as it was.
struct SaveFileRequest {
  NativeWindow owner = nullptr;
  std::string filterName, patterns;
  std::string initialName;
  uint32_t capacity = 260;  // longest path the caller takes, terminator included
  // Windows: once open, the dialog moves to the middle across and a third down the window
  // above its owner (the work area when there is none).
  bool placeHighCentre = false;
};
bool AskSaveFileName(const SaveFileRequest& request, std::string& path);

// A string resource of the resource module; empty when it has none of that id.
std::string LoadResourceString(int id);

// A line for the debugger (OutputDebugString on Windows, the error stream natively).
void DebugOutput(const char* text);

}  // namespace qm::platform
