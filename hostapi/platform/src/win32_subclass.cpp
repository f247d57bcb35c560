#include "platform/win32_subclass.h"

#include <utility>

namespace qm::platform {
namespace {

// On each control: who handles it, and the procedure it had.
const char kOwnerProp[] = "qm.subclass.owner";
const char kProcProp[] = "qm.subclass.proc";

}  // namespace

SubclassedControls::SubclassedControls(Handler handler) : handler_(std::move(handler)) {}

SubclassedControls::~SubclassedControls() {
  for (HWND w : items_) {
    if (!IsWindow(w)) continue;
    SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GetPropA(w, kProcProp)));
    RemovePropA(w, kProcProp);
    RemovePropA(w, kOwnerProp);
  }
}

bool SubclassedControls::Add(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  if (!item) return false;
  SetPropA(item, kOwnerProp, this);
  SetPropA(item, kProcProp, reinterpret_cast<HANDLE>(GetWindowLongPtrA(item, GWLP_WNDPROC)));
  SetWindowLongPtrA(item, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassedControls::Proc));
  items_.push_back(item);
  return true;
}

LRESULT CALLBACK SubclassedControls::Proc(HWND item, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = static_cast<SubclassedControls*>(GetPropA(item, kOwnerProp));
  const auto old = reinterpret_cast<WNDPROC>(GetPropA(item, kProcProp));
  if (self && self->handler_) {
    LRESULT r = 0;
    if (self->handler_(item, GetDlgCtrlID(item), msg, wp, lp, r)) return r;
  }
  return old ? CallWindowProcA(old, item, msg, wp, lp) : DefWindowProcA(item, msg, wp, lp);
}

}  // namespace qm::platform
