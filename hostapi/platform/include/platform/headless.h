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
};

struct QmHeadlessDialog {
  const char* name;  // template name; empty for message boxes
  const char* caption;
  int32_t isMessageBox;
  uint32_t style;  // message-box style bits
  int32_t itemCount;
  const QmHeadlessItem* items;
};

struct QmHeadlessHost {
  uint32_t size;  // sizeof(QmHeadlessHost), for growth
  void* context;
  // Called when the dialog is up and again after every action that left it open; returns a
  // control id to click or a QM_ACTION_ value.
  int32_t (*act)(void* context, const QmHeadlessDialog* shown);
};

}  // extern "C"

namespace qm::platform::headless {
// Installs the host in this module (nullptr: answer every dialog with QM_ACTION_DEFAULT and
// describe it on stderr).
void Attach(const QmHeadlessHost* host);
}  // namespace qm::platform::headless
