#pragma once
// The contract between a native plug-in's headless UI and whoever runs it (plughost or a
// test): every dialog or message box is described to the host, which answers with what the
// user does. A plain C interface, because the host and the plug-in are separate modules.
#include <cstdint>

extern "C" {

enum {
  QM_ACTION_CLOSE = -1,    // the close box (or Escape)
  QM_ACTION_DEFAULT = -2,  // whatever Enter would do: the default button, else close
};

struct QmHeadlessItem {
  int32_t id;
  int32_t kind;      // qm::res::ItemKind, or -1 for message-box text
  const char* text;  // current text
  int32_t enabled;   // 0 when greyed
  int32_t checked;   // check boxes and radio buttons
  int32_t selected;  // lists: the selected entry, -1 for none
  int32_t entryCount;
  const char* const* entries;  // lists: the entries' texts
  int32_t left, top, width, height;  // placement in the dialog's client area (pixels)
};

struct QmHeadlessDialog {
  const char* name;  // template name; empty for message boxes
  const char* caption;
  int32_t isMessageBox;
  uint32_t style;  // message-box style bits
  int32_t itemCount;
  const QmHeadlessItem* items;
  int32_t fresh;  // 1 the first time this dialog asks the host
};

// What a scripted user does to the dialog on screen.
enum {
  QM_DO_NOTHING = 0,  // nothing now (only while the plug-in is busy)
  QM_DO_PRESS,        // click button, check box or radio `id`
  QM_DO_SET,          // replace the text of edit `id` with `text`
  QM_DO_PICK,         // choose entry `value` of list `id`
  QM_DO_MOUSE,        // mouse event `value` (QM_MOUSE_) at (x, y) in control `id`, keys `flags`
  QM_DO_SIZE,         // resize the dialog's client area to x by y pixels
  QM_DO_CLOSE,        // the close box (or Escape)
  QM_DO_DEFAULT,      // Enter
  QM_DO_MOVE,         // drag window `id` (0 the dialog, else one of its parts) to screen (x, y)
};
enum { QM_MOUSE_DOWN = 1, QM_MOUSE_MOVE = 2, QM_MOUSE_UP = 3 };
enum { QM_KEY_CTRL = 1, QM_KEY_SHIFT = 2 };

struct QmHeadlessAction {
  int32_t kind;  // QM_DO_
  int32_t id;
  int32_t value;
  int32_t x, y;
  int32_t flags;
  const char* text;  // owned by the host, valid until its next call
};

struct QmHeadlessHost {
  uint32_t size;  // sizeof(QmHeadlessHost), for growth
  void* context;
  // Called when the dialog is up and again after every action that left it open; returns a
  // control id to click or a QM_ACTION_ value.
  int32_t (*act)(void* context, const QmHeadlessDialog* shown);
  // Hosts that script whole sessions: fills the next action for the dialog shown. `busy` is 1
  // while the plug-in works in steps between messages; the host then answers QM_DO_NOTHING
  // unless its script asked to act during the work. Preferred over `act` when present.
  void (*next)(void* context, const QmHeadlessDialog* shown, int32_t busy, QmHeadlessAction* action);
  // The system's save-file dialog: copies the chosen path into `path` (room for `capacity`
  // bytes) and returns 1, or returns 0 when the user cancels. `filter` names the file types.
  int32_t (*saveFileName)(void* context, const char* caption, const char* filter, char* path, uint32_t capacity);
};

}  // extern "C"

namespace qm::platform::headless {
// Installs the host in this module (nullptr: answer every dialog with QM_ACTION_DEFAULT and
// describe it on stderr).
void Attach(const QmHeadlessHost* host);
}  // namespace qm::platform::headless
